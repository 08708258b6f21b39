#include "iis/web_deploy.h"

#include <memory>
#include <new>
#include <string>

#include "iis/metabase.h"
#include "iis/metabase_internal.h"
#include "iis/web_deploy_text.h"
#include "platform/seam.h"
#include "runtime/deferred_data.h"
#include "runtime/session.h"
#include "runtime/text_format.h"
#include "runtime/tracer.h"

namespace ondex::iis {

namespace {

using runtime::MsiProperty;
using runtime::TF_TRACE;
using runtime::TraceIf;

constexpr UINT kConfigureWebCost = 100;

// ---- The immediate part ----

ConfigureWebProperties ReadConfigureWebProperties(MSIHANDLE hInstall) {
    const auto read = [hInstall](const wchar_t* name) { return MsiProperty(hInstall, name).Str(); };
    ConfigureWebProperties p;
    p.baseWebDir = read(L"ALENTBASEWEBDIR");
    p.webAccessDir = read(L"ONDEXWEBACCESSDIR");
    p.siteId = read(L"WEBSITEMBROOTID");
    p.siteName = read(L"WEBSITENAME");
    p.virtualRoot = read(L"WEBVIRTUALROOT");
    p.hostHeader = read(L"HOSTHEADER");
    p.ipAddress = read(L"IPADDRESS");
    p.tcpPort = read(L"TCPPORT");
    const wchar_t* readers[] = {L"WEBREADERS", L"ALFREADERS", L"ALSREADERS"};
    const wchar_t* writers[] = {L"WEBWRITERS", L"ALFWRITERS", L"ALSWRITERS"};
    for (int i = 0; i < 3; ++i) p.readers[i] = read(readers[i]), p.writers[i] = read(writers[i]);
    return p;
}

void ScheduleConfigureWeb(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const ConfigureWebProperties properties = ReadConfigureWebProperties(hInstall);
    MsiProperty(hInstall, kConfigureWebDeferred) = L"";
    std::wstring data;
    try {
        data = WriteConfigureWebData(properties);
    } catch (const std::bad_alloc&) {
        runtime::AssertBox(flags, actionName, L"Store deferred CA data", L"Error allocating buffer szDeferredExecData[%i]",
                           0);
        result = ERROR_INSTALL_FAILURE;
        return;
    }
    const HRESULT hr = runtime::WcaDoDeferredAction(kConfigureWebDeferred, data.c_str(), kConfigureWebCost);
    TraceIf(flags, TF_TRACE, actionName, L"WcaDoDeferredAction", L"WcaDoDeferredAction Result: 0x%X",
            static_cast<unsigned>(hr));
}

// ---- The deferred part ----

// Reads fields 2 to 18; false at the first that cannot be read (reported by
// the readers). Only the extension text is acted on.
bool ReadConfigureWebData(wchar_t*& context, UINT flags, const wchar_t* actionName, std::wstring& aspNetVersion) {
    const runtime::TokenReport report{flags, actionName};
    const wchar_t* nameRead = nullptr;
    const auto array = [&](const wchar_t* name) {
        DWORD count = 0;
        std::unique_ptr<wchar_t*[]> items;
        return SUCCEEDED(runtime::deserializeNxtArray(name, count, items, context));
    };
    const auto text = [&](const wchar_t* name, std::wstring* value = nullptr) {
        wchar_t* token = nullptr;
        if (FAILED(runtime::deserializeNxtToken(name, nameRead, token, context, &report))) return false;
        if (value) *value = token;
        return true;
    };
    const auto number = [&](const wchar_t* name) {
        DWORD value = 0;
        return SUCCEEDED(runtime::deserializeNxtToken(name, nameRead, value, context, &report));
    };
    return array(L"WebAppPaths array") && array(L"WebAppNames array") && text(L"szAppMetaPath") &&
           text(L"szAppFriendlyName") && number(L"fInproc") && text(L"szName") && text(L"szDefaultDoc") &&
           text(L"szPhysicalPath") && number(L"dwVRPermissions") && number(L"dwSite") && text(L"szTcpPort") &&
           text(L"szHostHeader") && text(L"szIpAddress") && text(L"szAspNetVerStr", &aspNetVersion) &&
           array(L"VrReaders array") && array(L"VrWriters array") && array(L"VrUsersPermissions array");
}

// Allows the web service extension `text` in IIS; the result is InitWamAdmin's
// failure or UnInitWamAdmin's code.
UINT AllowExtension(const std::wstring& text, UINT flags, const wchar_t* actionName) {
    detail::WamAdminScope wam;
    if (FAILED(wam.Status())) return static_cast<UINT>(wam.Status());
    TraceIf(flags, TF_TRACE, actionName, L"IIS Administration", L"szAspNetVerStr: %s", text.c_str());
    TraceIf(flags, TF_TRACE, actionName, L"IIS Administration", L"%s", L"Calling EnableASPNET");
    const BOOL allowed = EnableASPNET(nullptr, text.c_str(), nullptr);
    TraceIf(flags, TF_TRACE, actionName, L"IIS Administration", L"EnableASPNET Result: %s", allowed ? L"TRUE" : L"FALSE");
    return static_cast<UINT>(wam.End());
}

void RunConfigureWeb(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    std::unique_ptr<wchar_t[]> data;
    size_t length = 0;
    if (runtime::InitDeferredCAData(hInstall, data, length) != ERROR_SUCCESS) {
        result = ERROR_INSTALL_FAILURE;
        return;
    }
    wchar_t* context = data.get();
    if (!runtime::ReadFunctionName(context, kConfigureWebName, flags, actionName)) {
        result = ERROR_INSTALL_FAILURE;
        return;
    }
    std::wstring aspNetVersion;
    if (!ReadConfigureWebData(context, flags, actionName, aspNetVersion)) return;
    result = AllowExtension(aspNetVersion, flags, actionName);
}

}  // namespace

void ConfigureWebImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty(hInstall, kConfigureWebDeferred).Value();
    if (platform::Api().MsiGetMode(hInstall, MSIRUNMODE_SCHEDULED))
        RunConfigureWeb(result, actionName, flags, hInstall);
    else
        ScheduleConfigureWeb(result, actionName, flags, hInstall);
}

void EnableASPIISImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    TraceIf(flags, TF_TRACE, actionName, L"start", L"%s", L"Performing actual execution of deferred CA");
    const std::wstring data = MsiProperty(hInstall, L"CustomActionData").Str();
    TraceIf(flags, TF_TRACE, actionName, L"start", L"%s", L"Getting deferred CA data complete");
    if (!data.empty()) result = AllowExtension(data, flags, actionName);
    TraceIf(flags, TF_TRACE, actionName, L"finish", L"finish: 0x%X", result);
}

void SetEnable64BitModeImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    detail::WamAdminScope wam;
    if (FAILED(wam.Status()))
        return runtime::LogTimestampedError(hInstall, static_cast<DWORD>(wam.Status()), L"InitWamAdmin failed.");
    const HRESULT hr = SetEnable32BitAppOnWin64(hInstall);
    if (FAILED(hr)) runtime::LogTimestampedError(hInstall, static_cast<DWORD>(hr), L"SetEnable32BitAppOnWin64 failed.");
}

void GetValueEnable32BitModeOn64Impl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty answer(hInstall, L"GetValueEnable32BitModeOn64Result");
    answer = L"";
    detail::WamAdminScope wam;
    if (FAILED(wam.Status())) {
        runtime::LogTimestampedError(hInstall, static_cast<DWORD>(wam.Status()), L"InitWamAdmin failed.");
        answer = L"ERR";
        return;
    }
    DWORD value = 0;
    const HRESULT hr = GetEnable32BitAppOnWin64(hInstall, &value);
    if (FAILED(hr)) {
        runtime::LogTimestampedError(hInstall, static_cast<DWORD>(hr), L"GetEnable32BitAppOnWin64 failed.");
        answer = L"ERR";
    } else {
        answer = std::to_wstring(value);
    }
}

}  // namespace ondex::iis
