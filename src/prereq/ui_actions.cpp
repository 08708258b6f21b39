#include "prereq/ui_actions.h"

#include <string>

#include "platform/handles.h"
#include "platform/seam.h"
#include "prereq/ui_text.h"
#include "runtime/session.h"
#include "runtime/tracer.h"
#include "runtime/user_box.h"

namespace ondex::prereq {

using platform::Api;
using runtime::FormatErrMessage;
using runtime::LogTimestamped;
using runtime::MsiProperty;

namespace {

struct SidFreer {
    void operator()(PSID sid) const { ::FreeSid(sid); }
};
using UniqueSid = platform::UniqueResource<PSID, nullptr, SidFreer>;

// ---- Administrator check ----

// Membership of the calling thread's token in the built-in Administrators
// group; a SID or check that fails counts as "not a member".
bool IsAdministrator() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    UniqueSid administrators;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                    0, 0, 0, administrators.put()))
        return false;
    BOOL member = FALSE;
    return Api().CheckTokenMembership(nullptr, administrators.get(), &member) && member;
}

// ---- Cancel button ----

constexpr int kCancelButton = 2;

void SetCancelButtonVisible(MSIHANDLE hInstall, bool visible) {
    platform::UniqueMsiHandle record(::MsiCreateRecord(2));
    ::MsiRecordSetInteger(record.get(), 1, kCancelButton);
    ::MsiRecordSetInteger(record.get(), 2, visible ? 1 : 0);
    ::MsiProcessMessage(hInstall, INSTALLMESSAGE_COMMONDATA, record.get());
}

// ---- Logoff ----

constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Ondex\\Setup";
constexpr wchar_t kLogoffValue[] = L"IsNeedLogoff";
constexpr REGSAM kReadAndSetValue = 0x2001B;

void LogLogoff(MSIHANDLE hInstall, const wchar_t* message) {
    LogTimestamped(hInstall, (std::wstring(L"Function: ScheduleLogoff. ") + message).c_str());
}

// Takes the logoff mark away; true when it was there and is now gone.
bool TakeLogoffMark(MSIHANDLE hInstall) {
    platform::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSetupKey, 0, kReadAndSetValue, key.put()) != ERROR_SUCCESS) {
        LogLogoff(hInstall, L"Open registry key failed.");
        return false;
    }
    DWORD mark = 0;
    DWORD size = sizeof mark;
    if (::RegQueryValueExW(key.get(), kLogoffValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&mark), &size) !=
        ERROR_SUCCESS) {
        key.reset();
        LogLogoff(hInstall, L"Logoff is not needed.");
        return false;
    }
    if (::RegDeleteValueW(key.get(), kLogoffValue) != ERROR_SUCCESS) {
        key.reset();
        LogLogoff(hInstall, L"Delete value from registry key failed.");
        return false;
    }
    return true;
}

// Enables the shutdown privilege and logs the user off by force; silently
// does nothing when the privilege cannot be had.
void ForceLogoff() {
    platform::UniqueHandle token;
    if (!Api().OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    Api().LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    Api().AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    if (Api().GetLastError() != ERROR_SUCCESS) return;
    Api().ExitWindowsEx(EWX_LOGOFF | EWX_FORCE, SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_OPERATINGSYSTEM |
                                                    SHTDN_REASON_MINOR_UPGRADE);
}

// ---- Processor count ----

constexpr wchar_t kCoreResultError[] = L"ERR";
using ProcessorQuery = BOOL(WINAPI*)(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION, PDWORD);
static_assert(sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) == kProcessorEntryBytes);

ProcessorQuery FindProcessorQuery() {
    const FARPROC found = Api().GetProcAddress(::GetModuleHandleW(L"kernel32"), "GetLogicalProcessorInformation");
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<ProcessorQuery>(reinterpret_cast<void (*)()>(found));
}

// NUMBER_OF_PROCESSORS as it stands, or "ERR".
std::wstring ProcessorsFromEnvironment(MSIHANDLE hInstall) {
    constexpr wchar_t kName[] = L"NUMBER_OF_PROCESSORS";
    DWORD capacity = 16;
    platform::UniqueLocalMemory buffer(::LocalAlloc(LPTR, capacity * sizeof(wchar_t)));
    if (!buffer) {
        LogTimestamped(hInstall, L"LocalAlloc failed.");
        return kCoreResultError;
    }
    DWORD length = Api().GetEnvironmentVariableW(kName, static_cast<wchar_t*>(buffer.get()), capacity);
    if (length > capacity) {
        const HLOCAL grown = ::LocalReAlloc(buffer.get(), length * sizeof(wchar_t), LMEM_MOVEABLE | LMEM_ZEROINIT);
        if (grown == nullptr) {
            LogTimestamped(hInstall, L"LocalReAlloc failed.");
            return kCoreResultError;
        }
        buffer.release();
        buffer.reset(grown);
        capacity = length;
        length = Api().GetEnvironmentVariableW(kName, static_cast<wchar_t*>(buffer.get()), capacity);
    }
    if (length == 0 || length >= capacity) {
        LogTimestamped(hInstall, FormatErrMessage(Api().GetLastError(),
                                                  L"GetEnvironmentVariable failed. Such Environment variable "
                                                  L"doesn't exist.").c_str());
        return kCoreResultError;
    }
    return static_cast<const wchar_t*>(buffer.get());
}

// Logical processors from the processor query (halved when a core reports
// more than two threads), or "ERR".
std::wstring ProcessorsFromQuery(MSIHANDLE hInstall, ProcessorQuery query) {
    platform::UniqueLocalMemory buffer;
    DWORD bytes = 0;
    while (!query(static_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION>(buffer.get()), &bytes)) {
        const DWORD error = Api().GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            LogTimestamped(hInstall, FormatErrMessage(error, L"GetLogicalProcessorInformation failed with "
                                                             L"unexpected error code.").c_str());
            return kCoreResultError;
        }
        buffer.reset(::LocalAlloc(LPTR, bytes));
        if (!buffer) {
            LogTimestamped(hInstall, L"LocalAlloc failed.");
            return kCoreResultError;
        }
    }
    ProcessorCount count = CountProcessorCores(static_cast<const unsigned char*>(buffer.get()), bytes);
    if (MoreThanTwoThreadsPerCore(count)) {
        LogTimestamped(hInstall, L"Number of threads on each physical core is more then 2. So this is intel "
                                 L"technology and actyally number of physical core is logical/2.");
        count.logical /= 2;
    }
    return std::to_wstring(count.logical);
}

}  // namespace

void IsUserAdminImpl(UINT& result, const wchar_t*, UINT, MSIHANDLE hInstall) {
    if (IsAdministrator()) return;
    runtime::ShowBox(hInstall, nullptr, L"Local Administrator privileges are required to install this package.",
                     L"Setup", MB_ICONWARNING | MB_TOPMOST);
    result = ERROR_ACCESS_DENIED;
}

void HideCancelButtonImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) { SetCancelButtonVisible(hInstall, false); }

void ShowCancelButtonImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) { SetCancelButtonVisible(hInstall, true); }

void ScheduleLogoffImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    const std::wstring productName = MsiProperty(hInstall, L"ProductName").Str();
    if (!TakeLogoffMark(hInstall)) return;
    const std::wstring question = L"You need to perform logoff/logon before starting the " + productName +
                                  L" user interface.\nWould you like to perform logoff right now?";
    // An unattended run never logs the user off: nobody answered is a No.
    if (runtime::ShowBox(hInstall, nullptr, question.c_str(), productName.c_str(), MB_YESNO | MB_ICONQUESTION, IDNO) ==
        IDYES)
        ForceLogoff();
}

void AskOKCancelImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    MsiProperty result(hInstall, L"AskOKCancelResult");
    result = L"";
    const std::wstring text = MsiProperty(hInstall, L"AskOKCancelText").Str();
    if (text.empty()) return;
    const std::wstring caption = MsiProperty(hInstall, L"ProductName").Str();
    const int answer = runtime::ShowBox(hInstall, nullptr, text.c_str(), caption.c_str(), MB_OKCANCEL);
    if (answer == IDOK)
        result = L"OK";
    else if (answer == IDCANCEL)
        result = L"CANCEL";
}

namespace {

std::wstring CountProcessors(MSIHANDLE hInstall) {
    const ProcessorQuery query = FindProcessorQuery();
    if (query != nullptr) return ProcessorsFromQuery(hInstall, query);
    LogTimestamped(hInstall, L"GetLogicalProcessorInformation not supported.");
    return ProcessorsFromEnvironment(hInstall);
}

}  // namespace

void GetCoreNumberImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    // The result is set once (each set is a round trip to the engine); an
    // action that fails on the way leaves it empty.
    std::wstring count;
    try {
        count = CountProcessors(hInstall);
    } catch (...) {
        ::MsiSetPropertyW(hInstall, L"GetCoreNumberResult", L"");
        throw;
    }
    ::MsiSetPropertyW(hInstall, L"GetCoreNumberResult", count.c_str());
}

void GetInstallationSummaryImpl(UINT&, const wchar_t*, UINT, MSIHANDLE hInstall) {
    SummaryChoices choices;
    choices.installDir = MsiProperty(hInstall, L"INSTALLDIR").Str();
    choices.reportViewerAction = MsiProperty(hInstall, L"REPORTVIEWERACTION").Str();
    choices.reportViewerDir = MsiProperty(hInstall, L"RVINSTALLDIR").Str();
    choices.desktopIcon = MsiProperty(hInstall, L"CREATEDESKTOPICON").Str();
    choices.quickLaunchIcon = MsiProperty(hInstall, L"CREATEQUICKLAUNCHICON").Str();
    MsiProperty(hInstall, L"SUMMARY") = ComposeInstallationSummary(choices);
}

}  // namespace ondex::prereq
