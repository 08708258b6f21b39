// CheckIISState, the IIS Admin stop, iisreset and the disabled web query.
#include "iis/iis_state.h"

#include <string>

#include "iis/iis_services.h"
#include "iis/iis_state_text.h"
#include "iis/iis_text.h"
#include "iis/metabase.h"
#include "iis/metabase_internal.h"
#include "prereq/shell.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "runtime/user_box.h"
#include "runtime/win_exception.h"

namespace ondex::iis {

namespace {

using runtime::LogTimestamped;
using runtime::LogTimestampedError;
using runtime::MsiProperty;

constexpr wchar_t kOk[] = L"OK";
constexpr wchar_t kErrService[] = L"ERR_SERVICE";
constexpr wchar_t kErrSite[] = L"ERR_SITE";
constexpr wchar_t kExceptionProperty[] = L"CheckIISStateException";
constexpr DWORD kStoppedSite = 4;

// ---- The questions ----

// Yes or No; where nobody can answer, No is the default button, so an
// unanswered question never starts anything (and never loops).
bool UserAgreesToStart(MSIHANDLE hInstall, const wchar_t* question) {
    UINT style = MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST;
    if (runtime::BoxGoesToEngine(hInstall)) style |= MB_DEFBUTTON2;
    return runtime::ShowBox(hInstall, nullptr, question, L"Setup", style) == IDYES;
}

bool IsStopped(DWORD serviceState) { return serviceState == SERVICE_STOPPED || serviceState == SERVICE_STOP_PENDING; }

// False when the user leaves IIS Admin stopped.
bool EnsureIisAdminRuns(MSIHANDLE hInstall) {
    while (IsStopped(GetServiceState(kIisAdminService))) {
        if (!UserAgreesToStart(hInstall,
                               L"IIS service must be started. Would you like the setup program to start it?")) {
            LogTimestamped(hInstall, L"IIS Service is stopped.");
            return false;
        }
        StartService(kIisAdminService);
    }
    return true;
}

// ---- The site ----

// The site's ServerState (shared object); a site without one counts as
// stopped. False after logging a failing read.
bool ReadSiteState(MSIHANDLE hInstall, DWORD site, DWORD& state) {
    const std::wstring path = L"/LM/W3SVC/" + std::to_wstring(site);
    detail::OwnedRecord record(kMdServerState, METADATA_VOLATILE, IIS_MD_UT_SERVER, DWORD_METADATA);
    const HRESULT hr = record.Read(g_spAdminBase.get(), path);
    MsiProperty exception(hInstall, kExceptionProperty);
    if (detail::NotFound(hr)) {
        exception = L"Do not find ServerState property.";
        state = kStoppedSite;
        return true;
    }
    if (FAILED(hr)) {
        LogTimestampedError(hInstall, static_cast<DWORD>(hr), (L"GetData " + path + L" failed.").c_str());
        return false;
    }
    state = record.Dword();
    exception = L"Current state of site with index " + std::to_wstring(site) + L"is " + std::to_wstring(state);
    return true;
}

const wchar_t* EnsureSiteRuns(MSIHANDLE hInstall, DWORD site) {
    DWORD state = 0;
    if (!ReadSiteState(hInstall, site, state)) return kErrSite;
    const wchar_t* question =
        SiteStartQuestion(MsiProperty(hInstall, L"VersionNT").Str(), MsiProperty(hInstall, L"MsiNTProductType").Str());
    while (SiteIsStopped(state)) {
        if (!UserAgreesToStart(hInstall, question)) {
            LogTimestamped(hInstall, L"IIS Server is stopped.");
            return kErrSite;
        }
        ExecIisWebServerMethod(L"Start", site, hInstall);
        if (!ReadSiteState(hInstall, site, state)) return kErrSite;
    }
    return kOk;
}

const wchar_t* CheckSiteOfPort(MSIHANDLE hInstall, const std::wstring& port) {
    MsiProperty(hInstall, kExceptionProperty) = L"Checking status of site with introduced port.";
    const DWORD site = WebFindSite(ParseDecimalPrefix(port), nullptr, nullptr, FALSE);
    if (site == kNoSite) return kErrSite;
    detail::WamAdminScope wam;
    if (FAILED(wam.Status())) {
        LogTimestampedError(hInstall, static_cast<DWORD>(wam.Status()), L"InitWamAdmin failed.");
        return kOk;
    }
    const wchar_t* verdict = EnsureSiteRuns(hInstall, site);
    if (FAILED(wam.End())) LogTimestamped(hInstall, L"UnInitWamAdmin failed.");
    return verdict;
}

const wchar_t* CheckServiceAndSite(MSIHANDLE hInstall) {
    if (!EnsureIisAdminRuns(hInstall)) return kErrService;
    const std::wstring port = MsiProperty(hInstall, L"CheckIISStatePort").Str();
    return port.empty() ? kOk : CheckSiteOfPort(hInstall, port);
}

}  // namespace

void CheckIISStateImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty result(hInstall, L"CheckIISStateResult");
    result = kOk;
    try {
        result = CheckServiceAndSite(hInstall);
    } catch (const runtime::CWinEExc& failure) {
        MsiProperty(hInstall, kExceptionProperty) = runtime::FormatErrMessage(failure.Code(), failure.Message().c_str());
        result = kErrService;
    }
}

void StopIISAdminServiceImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall) {
    MsiProperty starting(hInstall, L"StartingIISAdminService");
    MsiProperty startIis(hInstall, L"STARTIIS");
    starting.Value();
    startIis.Value();
    const DWORD stopped = DoStopService(kIisAdminService, TRUE, kIisAdminStopTimeoutMs);
    if (stopped != ERROR_SUCCESS) {
        runtime::TraceIf(flags, runtime::TF_ERROR, actionName, L"IISADMIN", L"%s",
                         L"IISADMIN Service could not be stopped.\nPlease delete the Reporting Web site manually.");
        runtime::TraceIf(flags, runtime::TF_ERROR, actionName, L"IISADMIN", L"Stop IISADMIN Result: 0x%X", stopped);
    }
    starting = L"YES";
    startIis = L"YES";
}

void IIsResetImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    constexpr DWORD kToolChars = 512;
    wchar_t tool[kToolChars] = L"C:\\Windows\\system32\\iisreset.exe";
    const DWORD expanded = ::ExpandEnvironmentStringsW(L"%WinDir%\\system32\\iisreset.exe", tool, kToolChars);
    if (expanded == 0 || expanded > kToolChars) return;
    // Quoted, so that a folder name with a blank cannot start another program.
    const std::wstring command = L"\"" + std::wstring(tool) + L"\"";
    prereq::ShellWithProgress(command.c_str(), hInstall, L"Restarting IIS", 15, 1);
}

void Debug_ShowIIsWebQueryImpl(UINT&, const wchar_t* actionName, UINT flags, MSIHANDLE) {
    runtime::TraceIf(flags, runtime::TF_ERROR, actionName, L"Code unavailable", L"%s",
                     L"Debug_ShowIIsWebQuery code is currently disabled");
}

}  // namespace ondex::iis
