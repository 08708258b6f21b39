// Site methods through the ADSI IIS provider.
#include <string>

#include "iis/metabase.h"
#include "platform/com.h"
#include "runtime/session.h"
#include "runtime/tracer.h"

namespace ondex::iis {

namespace {

constexpr LCID kLocale = 2048;  // LOCALE_SYSTEM_DEFAULT

HRESULT Failed(HRESULT hr, const std::wstring& text, MSIHANDLE hInstall) {
    const std::wstring message = runtime::FormatErrMessage(static_cast<DWORD>(hr), text.c_str());
    runtime::LogTimestamped(hInstall, message.c_str());
    runtime::MsiProperty error(hInstall, L"ExecIisWebServerMethodError");
    error = message;
    return hr;
}

}  // namespace

HRESULT ExecIisWebServerMethod(LPCWSTR method, DWORD site, MSIHANDLE hInstall) {
    try {
        const std::wstring name = method ? method : L"";
        const std::wstring moniker = L"IIS://localhost/W3SVC/" + std::to_wstring(site);
        platform::ComApartment com(COINIT_APARTMENTTHREADED);
        platform::ComPtr<IUnknown> object;
        HRESULT hr = ::CoGetObject(moniker.c_str(), nullptr, IID_IUnknown, object.put_void());
        if (FAILED(hr)) return Failed(hr, L"CoGetObject " + moniker + L" failed.", hInstall);
        platform::ComPtr<IDispatch> dispatch;
        hr = object->QueryInterface(IID_IDispatch, dispatch.put_void());
        if (FAILED(hr)) return Failed(hr, L"QueryInterface failed.", hInstall);
        LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
        DISPID id = DISPID_UNKNOWN;
        hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, kLocale, &id);
        if (FAILED(hr)) return Failed(hr, L"GetIDsOfNames " + name + L" failed.", hInstall);
        DISPPARAMS none{};
        hr = dispatch->Invoke(id, IID_NULL, kLocale, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
        if (FAILED(hr)) return Failed(hr, L"Invoke " + name + L" failed.", hInstall);
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace ondex::iis
