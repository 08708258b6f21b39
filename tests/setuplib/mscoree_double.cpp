// Test double of mscoree.dll: its runtime host, domain setup, application
// domain and "managed" objects append each call the host makes, one UTF-8
// line, to the file named by OXCLR_DOUBLE_LOG, and are scripted by
//   OXCLR_DOUBLE_FAIL    "<call>=<hresult>[@<argument index>];..."  a call fails
//   OXCLR_DOUBLE_RETURN  "<type>.<method>=true|false;..."  the method returns that boolean
//   OXCLR_DOUBLE_THROW   "<type>.<method>=<hresult>:<description>;..."  a managed exception
// read at each call. A test program may also hand it its fault-injection
// hook (OxClrDoubleSetFaultHook), asked first by each call the host checks.
// Any type of any assembly can be created. Once bound it
// pins itself, as the real runtime keeps mscoree.dll loaded. In-process tests
// find it beside the program (WINEDLLOVERRIDES mscoree=n: Wine's builtin must
// not load beside it); msiexec runs copy it over the prefix's system32 one.
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "setuplib/clr_interfaces.h"

namespace {

using namespace OxSetupLib::clr;

std::atomic<long> liveObjects{0};
std::atomic<bool (*)(const char*)> faultHook{nullptr};

// The calls the host checks, by the interface that carries them; the
// others (Stop, UnloadDomain) are never asked.
const char* HookedName(const std::wstring& call) {
    static const struct { const wchar_t* call; const char* name; } kHooked[] = {
        {L"CorBindToRuntimeEx", "mscoree::CorBindToRuntimeEx"},
        {L"Start", "ICorRuntimeHost::Start"},
        {L"CreateDomainSetup", "ICorRuntimeHost::CreateDomainSetup"},
        {L"CreateDomainEx", "ICorRuntimeHost::CreateDomainEx"},
        {L"put_ApplicationBase", "IAppDomainSetup::put_ApplicationBase"},
        {L"CreateInstanceFrom", "_AppDomain::CreateInstanceFrom"},
        {L"Unwrap", "_ObjectHandle::Unwrap"},
        {L"GetIDsOfNames", "IDispatch::GetIDsOfNames"},
        {L"Invoke", "IDispatch::Invoke"},
    };
    for (const auto& hooked : kHooked)
        if (call == hooked.call) return hooked.name;
    return nullptr;
}

std::wstring Variable(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 4096);
    return length > 0 && length < 4096 ? std::wstring(buffer, length) : std::wstring();
}

// The value of `key` in a "key=value;key=value;" list; false when absent.
bool Lookup(const wchar_t* variable, const std::wstring& key, std::wstring& value) {
    const std::wstring list = L";" + Variable(variable);
    const size_t at = list.find(L";" + key + L"=");
    if (at == std::wstring::npos) return false;
    const size_t start = at + key.size() + 2;
    value = list.substr(start, list.find(L';', start) - start);
    return true;
}

HRESULT ParseHresult(const std::wstring& text) {
    return static_cast<HRESULT>(std::wcstoul(text.c_str(), nullptr, 16));
}

// The HRESULT a test asked `call` to fail with, or S_OK.
HRESULT Injected(const std::wstring& call, UINT* argumentIndex = nullptr) {
    const auto hook = faultHook.load();
    const char* hooked = HookedName(call);
    if (hook && hooked && hook(hooked)) return E_ACCESSDENIED;
    std::wstring value;
    if (!Lookup(L"OXCLR_DOUBLE_FAIL", call, value)) return S_OK;
    const size_t at = value.find(L'@');
    if (at != std::wstring::npos && argumentIndex) *argumentIndex = std::wcstoul(value.c_str() + at + 1, nullptr, 10);
    return ParseHresult(value.substr(0, at));
}

void Record(const std::wstring& line) {
    const std::wstring path = Variable(L"OXCLR_DOUBLE_LOG");
    if (path.empty()) return;
    const std::wstring text = line + L"\n";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

HRESULT RecordCall(const std::wstring& call, const std::wstring& details = {}) {
    Record(details.empty() ? call : call + L" " + details);
    return Injected(call);
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring Text(BSTR value) { return value ? std::wstring(value, ::SysStringLen(value)) : L"(null)"; }

std::wstring ArgumentText(const VARIANT& value) {
    switch (value.vt) {
        case VT_INT: return L"int:" + std::to_wstring(value.intVal);
        case VT_BSTR: return L"bstr:" + Text(value.bstrVal);
        case VT_BOOL: return value.boolVal == VARIANT_TRUE ? L"bool:true" : L"bool:false";
        default: return L"vt" + std::to_wstring(value.vt);
    }
}

// Reference counting and IUnknown for the double's objects.
template <typename Interface>
class Object : public Interface {
public:
    Object() { ++liveObjects; }
    virtual ~Object() { --liveObjects; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        if (!::IsEqualGUID(iid, IID_IUnknown) && !::IsEqualGUID(iid, Offered())) return E_NOINTERFACE;
        AddRef();
        *result = static_cast<Interface*>(this);
        return S_OK;
    }

protected:
    virtual const IID& Offered() const = 0;

private:
    std::atomic<ULONG> references_{1};
};

// Dispatch slots; only the managed objects answer names and calls.
template <typename Interface>
class NoDispatch : public Object<Interface> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

class ManagedObject : public NoDispatch<IDispatch> {
public:
    explicit ManagedObject(std::wstring type) : type_(std::move(type)) {}
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
        if (count != 1) return E_INVALIDARG;
        const HRESULT failure = RecordCall(L"GetIDsOfNames", std::wstring(names[0]) + L" " + std::to_wstring(locale));
        if (FAILED(failure)) return failure;
        methods_.push_back(names[0]);
        ids[0] = static_cast<DISPID>(methods_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentIndex) override {
        if (id < 1 || static_cast<size_t>(id) > methods_.size()) return DISP_E_MEMBERNOTFOUND;
        const std::wstring method = type_ + L"." + methods_[id - 1];
        std::wstring arguments;
        for (UINT i = parameters->cArgs; i > 0; --i) {
            arguments += (arguments.empty() ? L"" : L", ") + ArgumentText(parameters->rgvarg[i - 1]);
        }
        Record(L"Invoke " + method + L"(" + arguments + L")" + (flags == DISPATCH_METHOD ? L"" : L" not as a method"));
        const HRESULT failure = Injected(L"Invoke", argumentIndex);
        if (FAILED(failure)) return failure;
        std::wstring value;
        if (Lookup(L"OXCLR_DOUBLE_THROW", method, value)) return Throw(value, exception);
        if (result && Lookup(L"OXCLR_DOUBLE_RETURN", method, value)) {
            ::VariantInit(result);
            result->vt = VT_BOOL;
            result->boolVal = value == L"true" ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    }

protected:
    const IID& Offered() const override { return IID_IDispatch; }

private:
    // "<hresult>:<description>" as the runtime reports a managed exception.
    static HRESULT Throw(const std::wstring& value, EXCEPINFO* exception) {
        if (!exception) return DISP_E_EXCEPTION;
        const size_t colon = value.find(L':');
        *exception = EXCEPINFO{};
        exception->scode = ParseHresult(value.substr(0, colon));
        const std::wstring description = colon == std::wstring::npos ? L"" : value.substr(colon + 1);
        exception->bstrDescription = ::SysAllocString(description.c_str());
        exception->bstrSource = ::SysAllocString(L"mscorlib");
        return DISP_E_EXCEPTION;
    }

    std::wstring type_;
    std::vector<std::wstring> methods_;
};

class ObjectHandle : public NoDispatch<_ObjectHandle> {
public:
    explicit ObjectHandle(std::wstring type) : type_(std::move(type)) {}
    HRESULT STDMETHODCALLTYPE Unwrap(VARIANT* result) override {
        const HRESULT failure = RecordCall(L"Unwrap", type_);
        if (FAILED(failure)) return failure;
        ::VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = new ManagedObject(type_);
        return S_OK;
    }

protected:
    const IID& Offered() const override { return kIidObjectHandle; }

private:
    std::wstring type_;
};

class DomainSetup : public Object<IAppDomainSetup> {
public:
    HRESULT STDMETHODCALLTYPE put_ApplicationBase(BSTR value) override {
        base_ = Text(value);
        return RecordCall(L"put_ApplicationBase", base_);
    }
    const std::wstring& Base() const { return base_; }

protected:
    const IID& Offered() const override { return kIidIAppDomainSetup; }

private:
    std::wstring base_;
};

class Domain : public Object<_AppDomain> {
public:
    explicit Domain(std::wstring name) : name_(std::move(name)) {}
    const std::wstring& Name() const { return name_; }
    HRESULT STDMETHODCALLTYPE CreateInstanceFrom(BSTR assemblyFile, BSTR typeName, _ObjectHandle** result) override {
        const HRESULT failure = RecordCall(L"CreateInstanceFrom", Text(assemblyFile) + L" " + Text(typeName));
        if (FAILED(failure)) return failure;
        *result = new ObjectHandle(Text(typeName));
        return S_OK;
    }

protected:
    const IID& Offered() const override { return kIidAppDomain; }

private:
    std::wstring name_;
};

class RuntimeHost : public Object<ICorRuntimeHost> {
public:
    HRESULT STDMETHODCALLTYPE Start() override { return RecordCall(L"Start"); }
    HRESULT STDMETHODCALLTYPE Stop() override { return RecordCall(L"Stop"); }
    HRESULT STDMETHODCALLTYPE CreateDomainSetup(IUnknown** result) override {
        const HRESULT failure = RecordCall(L"CreateDomainSetup");
        if (FAILED(failure)) return failure;
        *result = new DomainSetup;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateDomainEx(LPCWSTR name, IUnknown* setup, IUnknown* evidence,
                                             IUnknown** result) override {
        std::wstring base = L"(no setup)";
        IAppDomainSetup* ours = nullptr;
        if (setup && SUCCEEDED(setup->QueryInterface(kIidIAppDomainSetup, reinterpret_cast<void**>(&ours)))) {
            base = static_cast<DomainSetup*>(ours)->Base();
            ours->Release();
        }
        const HRESULT failure =
            RecordCall(L"CreateDomainEx", std::wstring(name) + L" base=" + base + (evidence ? L" with evidence" : L""));
        if (FAILED(failure)) return failure;
        *result = static_cast<_AppDomain*>(new Domain(name));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnloadDomain(IUnknown* domain) override {
        return RecordCall(L"UnloadDomain", domain ? static_cast<Domain*>(static_cast<_AppDomain*>(domain))->Name() : L"(null)");
    }

    HRESULT STDMETHODCALLTYPE CreateLogicalThreadState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteLogicalThreadState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SwitchInLogicalThreadState(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SwitchOutLogicalThreadState(DWORD**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LocksHeldByLogicalThread(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MapFile(HANDLE, HMODULE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConfiguration(ICorConfiguration**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateDomain(LPCWSTR, IUnknown*, IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultDomain(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDomains(HDOMAINENUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextDomain(HDOMAINENUM, IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CloseEnum(HDOMAINENUM) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateEvidence(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CurrentDomain(IUnknown**) override { return E_NOTIMPL; }

protected:
    const IID& Offered() const override { return kIidICorRuntimeHost; }
};

}  // namespace

extern "C" {

HRESULT STDAPICALLTYPE CorBindToRuntimeEx(LPCWSTR version, LPCWSTR flavor, DWORD flags,
                                                                 REFCLSID clsid, REFIID iid, LPVOID* result) {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCWSTR>(&CorBindToRuntimeEx), &self);
    const HRESULT failure =
        RecordCall(L"CorBindToRuntimeEx", std::wstring(version ? version : L"(null)") + L" " +
                                              (flavor ? flavor : L"(null)") + L" " + std::to_wstring(flags) + L" " +
                                              GuidText(clsid) + L" " + GuidText(iid));
    if (FAILED(failure)) return failure;
    if (!::IsEqualGUID(clsid, kClsidCorRuntimeHost)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* host = new RuntimeHost;
    const HRESULT queried = host->QueryInterface(iid, result);
    host->Release();
    return queried;
}

// Objects of the double still alive: 0 once the product has released all.
long STDAPICALLTYPE OxClrDoubleLiveObjects() { return liveObjects.load(); }

// `hook(name)` true: that call answers E_ACCESSDENIED; nullptr: no hook.
void STDAPICALLTYPE OxClrDoubleSetFaultHook(bool (*hook)(const char*)) { faultHook = hook; }

}
