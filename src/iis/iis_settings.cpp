#include "iis/iis_settings.h"

#include <string>

#include "iis/metabase.h"
#include "iis/metabase_internal.h"
#include "iis/ssl_text.h"
#include "platform/handles.h"
#include "prereq/shell.h"
#include "runtime/session.h"
#include "runtime/trace_flags.h"
#include "runtime/tracer.h"
#include "setuplib/ox_trusted_fs.h"

namespace ondex::iis {

namespace {

using platform::UniqueHKey;
using runtime::MsiProperty;
using runtime::TF_ERROR;
using runtime::TF_TRACE;
using runtime::TraceIf;

constexpr UINT kRestoreCost = 10000;
constexpr REGSAM kNativeView = KEY_WOW64_64KEY;
constexpr DWORD kValueNameChars = 1024;

void LogKeyFailure(LSTATUS status) { runtime::WcaLogError(HRESULT_FROM_WIN32(status), "Unable to create key."); }

// Puts one saved value back; skipped when IIS cannot be reached.
void RestoreAuthFlags(const wchar_t* sitePath, DWORD authFlags) {
    const detail::WamAdminScope wam;
    if (FAILED(wam.Status())) return;
    MetaSetValue(sitePath, kMdAuthFlags, METADATA_INHERIT, IIS_MD_UT_FILE, DWORD_METADATA, sizeof authFlags, &authFlags);
}

// Restores every REG_DWORD of the snapshot in index order. A value that is
// no DWORD or whose name is too long is logged and passed over, so one odd
// value does not keep the sites after it from being restored.
void RestoreSnapshotValues(MSIHANDLE hInstall, HKEY snapshot) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[kValueNameChars + 1] = L"";
        DWORD nameChars = kValueNameChars + 1, type = 0, size = 0, data = 0;
        const LSTATUS status = ::RegEnumValueW(snapshot, index, name, &nameChars, nullptr, &type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS) return;
        DWORD dataSize = sizeof data;
        if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof data &&
            ::RegGetValueW(snapshot, nullptr, name, RRF_RT_REG_DWORD, nullptr, &data, &dataSize) == ERROR_SUCCESS) {
            RestoreAuthFlags(name, data);
        } else if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            const std::wstring which = status == ERROR_SUCCESS ? name : L"with a name over 1024 characters";
            runtime::LogTimestamped(hInstall, (L"Saved IIS setting " + which + L" is no site's AuthFlags; left alone.").c_str());
        } else {
            return runtime::WcaLogError(HRESULT_FROM_WIN32(status), "Unable to read the saved IIS settings.");
        }
    }
}

void DeleteSnapshot() {
    UniqueHKey parent;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSnapshotParentKey, 0, KEY_READ | DELETE | kNativeView, parent.put()) ==
        ERROR_SUCCESS)
        ::RegDeleteTreeW(parent.get(), kSnapshotSubkey);
}

// The site bound to the plain port, as decimal text; nothing when none is.
std::wstring SiteOnPort(const std::wstring& port) {
    const DWORD site = WebFindSite(runtime::ParseDecimal(port), nullptr, nullptr, FALSE);
    if (static_cast<int>(site) < 1) return {};
    return std::to_wstring(site);
}

// selfssl.exe runs elevated: one a standard user could have planted or
// changed (a link, a file or folder of another owner or that another account
// may write) is not run. True when it may run.
bool ToolIsTrusted(const std::wstring& toolFolder, std::wstring* refusal) {
    return OxSetupLib::IsTrustedTool(toolFolder, refusal) &&
           OxSetupLib::IsTrustedTool(toolFolder + L"\\selfssl.exe", refusal);
}

void RunSelfSsl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall, const SslRequest& request,
                const std::wstring& site) {
    std::wstring errorText;
    if (ToolIsTrusted(request.toolFolder, &errorText)) {
        prereq::RunToolCaptured(SelfSslCommandLine(request, site).c_str(), errorText);
    } else {
        runtime::LogTimestamped(hInstall, errorText.c_str());
    }
    if (WebFindSite(runtime::ParseDecimal(request.sitePort), nullptr, nullptr, TRUE) == 0) return;
    TraceIf(flags, TF_ERROR, actionName, L"InstalSSL", L"Setup was unable to install web server certificate:\n%s",
            errorText.c_str());
    result = ERROR_INVALID_PARAMETER;
}

void BindCertificate(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall, const SslRequest& request,
                     const std::wstring& site) {
    detail::WamAdminScope wam;
    if (FAILED(wam.Status())) {
        runtime::LogTimestamped(hInstall, L"Setup was unable to install InitWamAdmin.");
        TraceIf(flags, TF_TRACE, actionName, L"InstalSSL", L"%s", L"WAM Admin Initialization failed");
        result = static_cast<UINT>(wam.Status());
        return;
    }
    if (!EnableSiteCert(site.c_str(), request.sslPort.c_str(), request.certificateHash->c_str()))
        runtime::LogTimestamped(hInstall, L"Setup was unable to install certificate.");
    result = static_cast<UINT>(wam.End());
    TraceIf(flags, TF_TRACE, actionName, L"IIS Admin Uninit", L"Result: 0x%X", result);
}

}  // namespace

void ProtectIISSettingsImpl(UINT&, const wchar_t*, UINT, MSIHANDLE) {
    UniqueHKey snapshot;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSnapshotKey, 0, nullptr, 0, KEY_ALL_ACCESS | kNativeView,
                                             nullptr, snapshot.put(), nullptr);
    if (status != ERROR_SUCCESS) return LogKeyFailure(status);
    CollectIISSitesSettings(nullptr, nullptr, snapshot.get());
    runtime::WcaDoDeferredAction(L"RestoreIISSettings", L"", kRestoreCost);
}

void RestoreIISSettingsImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    UniqueHKey snapshot;
    const LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSnapshotKey, 0, KEY_READ | kNativeView, snapshot.put());
    if (status != ERROR_SUCCESS) return LogKeyFailure(status);
    RestoreSnapshotValues(hInstall, snapshot.get());
    snapshot.reset();
    DeleteSnapshot();
}

void InstallSSLImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    const auto request = ParseSslData(MsiProperty(hInstall, L"CustomActionData").Str());
    if (!request) {
        TraceIf(flags, TF_ERROR, actionName, L"InstalSSL", L"%s", L"No enoth params");
        return;
    }
    const std::wstring site = SiteOnPort(request->sitePort);
    if (site.empty()) return;
    if (request->certificateHash)
        BindCertificate(result, actionName, flags, hInstall, *request, site);
    else
        RunSelfSsl(result, actionName, flags, hInstall, *request, site);
}

}  // namespace ondex::iis
