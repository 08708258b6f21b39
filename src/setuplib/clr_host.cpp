#include "setuplib/clr_host.h"

#include <utility>

#include "platform/handles.h"

namespace OxSetupLib {
namespace {

using ondex::platform::ComPtr;
using ondex::platform::UniqueBstr;

struct ModuleCloser {
    void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
using UniqueModule = ondex::platform::UniqueResource<HMODULE, nullptr, ModuleCloser>;

// Names are looked up in the system default locale.
constexpr LCID kDispatchLocale = 2048;
constexpr IID kNoInterface = {};

void ThrowIfFailed(HRESULT result) {
    if (FAILED(result)) throw OxComError(result);
}

BSTR AllocateBstr(const std::wstring& text) {
    const BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value) throw OxComError(E_OUTOFMEMORY);
    return value;
}

UniqueBstr MakeBstr(const std::wstring& text) { return UniqueBstr(AllocateBstr(text)); }

ComPtr<ICorRuntimeHost> BindRuntime(const std::wstring& version) {
    // Only for the binding: a started runtime keeps mscoree.dll loaded itself.
    // From the system folder alone: an elevated phase must not take one from
    // the current folder or the path, where a standard user may plant it.
    UniqueModule mscoree(::LoadLibraryExW(L"mscoree.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!mscoree) throw OxWinError(::GetLastError());
    const FARPROC found = ::GetProcAddress(mscoree.get(), "CorBindToRuntimeEx");
    if (!found) throw OxWinError(::GetLastError());
    // Through the generic function type, which converts to any other.
    const auto bind = reinterpret_cast<clr::CorBindToRuntimeExFn>(reinterpret_cast<void (*)()>(found));
    ComPtr<ICorRuntimeHost> host;
    const HRESULT result = bind(version.c_str(), L"wks", clr::kStartupLoaderSafeMode,
                                clr::kClsidCorRuntimeHost, clr::kIidICorRuntimeHost, host.put_void());
    mscoree.reset();
    ThrowIfFailed(result);
    return host;
}

// The error of a failed Invoke; a managed exception brings its code and text.
OxComError MethodError(HRESULT result, UINT argumentIndex, EXCEPINFO& info) {
    if (result != DISP_E_EXCEPTION) return OxComError(result, argumentIndex);
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    const UniqueBstr source(info.bstrSource);
    const UniqueBstr description(info.bstrDescription);
    const UniqueBstr helpFile(info.bstrHelpFile);
    std::wstring text = description ? std::wstring(description.get(), ::SysStringLen(description.get()))
                                    : std::wstring();
    return OxComError(result, argumentIndex, info.scode, std::move(text));
}

}  // namespace

OxVariant::OxVariant(OxVariant&& other) noexcept : value_(other.value_) {
    ::VariantInit(&other.value_);
}

OxVariant& OxVariant::operator=(OxVariant&& other) noexcept {
    if (this != &other) {
        ::VariantClear(&value_);
        value_ = other.value_;
        ::VariantInit(&other.value_);
    }
    return *this;
}

OxVariant OxVariant::Int(int value) {
    OxVariant result;
    result.value_.vt = VT_INT;
    result.value_.intVal = value;
    return result;
}

OxVariant OxVariant::Text(const std::wstring& value) {
    OxVariant result;
    result.value_.bstrVal = AllocateBstr(value);
    result.value_.vt = VT_BSTR;
    return result;
}

OxVariant OxVariant::Bool(bool value) {
    OxVariant result;
    result.value_.vt = VT_BOOL;
    result.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return result;
}

VARIANT* OxVariant::Put() {
    ::VariantClear(&value_);
    return &value_;
}

OxClrHost::OxClrHost(std::wstring assemblyPath, std::wstring applicationBase, std::wstring runtimeVersion)
    : assemblyPath_(std::move(assemblyPath)),
      applicationBase_(std::move(applicationBase)),
      runtimeVersion_(std::move(runtimeVersion)) {
    host_ = BindRuntime(runtimeVersion_);
    try {
        ThrowIfFailed(host_->Start());
        started_ = true;
        ComPtr<IUnknown> setupObject;
        ThrowIfFailed(host_->CreateDomainSetup(setupObject.put()));
        ComPtr<clr::IAppDomainSetup> setup;
        ThrowIfFailed(setupObject->QueryInterface(clr::kIidIAppDomainSetup, setup.put_void()));
        if (!applicationBase_.empty()) ThrowIfFailed(setup->put_ApplicationBase(MakeBstr(applicationBase_).get()));
        const std::wstring name = L"OndexSetup" + runtimeVersion_;
        ComPtr<IUnknown> domainObject;
        ThrowIfFailed(host_->CreateDomainEx(name.c_str(), setup.get(), nullptr, domainObject.put()));
        ThrowIfFailed(domainObject->QueryInterface(clr::kIidAppDomain, domain_.put_void()));
    } catch (...) {
        Shutdown();
        throw;
    }
}

OxClrHost::~OxClrHost() { Shutdown(); }

void OxClrHost::Shutdown() noexcept {
    if (domain_) {
        host_->UnloadDomain(domain_.get());
        domain_.reset();
    }
    if (started_) {
        host_->Stop();
        started_ = false;
    }
    host_.reset();
}

ComPtr<IDispatch> OxClrHost::CreateInstance(const std::wstring& typeName) const {
    ComPtr<clr::_ObjectHandle> handle;
    ThrowIfFailed(domain_->CreateInstanceFrom(MakeBstr(assemblyPath_).get(), MakeBstr(typeName).get(), handle.put()));
    OxVariant wrapped;
    ThrowIfFailed(handle->Unwrap(wrapped.Put()));
    const VARIANT& value = wrapped.Get();
    if ((value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN) || !value.punkVal) throw OxComError(E_NOINTERFACE);
    ComPtr<IDispatch> object;
    ThrowIfFailed(value.punkVal->QueryInterface(__uuidof(IDispatch), object.put_void()));
    return object;
}

OxVariant OxClrHost::CallMethod(const std::wstring& typeName, const std::wstring& method,
                                const std::vector<OxVariant>& arguments) const {
    const ComPtr<IDispatch> object = CreateInstance(typeName);
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(method.c_str());
    ThrowIfFailed(object->GetIDsOfNames(kNoInterface, &name, 1, kDispatchLocale, &id));

    // The dispatch convention takes the last argument first.
    std::vector<VARIANT> reversed;
    reversed.reserve(arguments.size());
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) reversed.push_back(it->Get());
    DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};

    OxVariant result;
    EXCEPINFO info{};
    UINT argumentIndex = 0;
    const HRESULT invoked = object->Invoke(id, kNoInterface, kDispatchLocale, DISPATCH_METHOD, &parameters,
                                           result.Put(), &info, &argumentIndex);
    if (FAILED(invoked)) throw MethodError(invoked, argumentIndex, info);
    return result;
}

}  // namespace OxSetupLib
