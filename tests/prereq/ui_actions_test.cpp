// The installer UI helpers in real sessions; membership, logoff, message
// boxes and the processor query are scripted through the seam.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/session.h"
#include "support/package.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Ondex\\Setup";

// What the scripted calls answer and what they saw.
struct Script {
    BOOL member = FALSE, tokenOpens = TRUE;
    DWORD lastError = 0;
    Lines exits;
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> entries;
    std::vector<DWORD> sizesAnnounced;  // by the query's failing calls, in turn
} g;

struct UiActions : testing::Test {
    OndexRegistryScope registry;
    TestPackage package;
    LogCapture log;
    MessageBoxScript boxes;
    ScopedApiOverride seam;

    void SetUp() override { g = Script{}; }
    std::wstring Box(size_t i) const { return boxes.Shown(true).at(i); }
};

// A member of the built-in Administrators group only when scripted so.
BOOL WINAPI Membership(HANDLE, PSID group, PBOOL member) {
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
    return *member = g.member && EqualSid(group, administrators), TRUE;
}
BOOL WINAPI OpenToken(HANDLE process, DWORD access, PHANDLE token) {
    return g.tokenOpens && ondex::platform::RealApi().OpenProcessToken(process, access, token);
}
DWORD WINAPI LastError() { return g.lastError ? g.lastError : GetLastError(); }
BOOL WINAPI RecordExit(UINT how, DWORD reason) {
    g.exits.push_back(std::to_wstring(how) + L" " + std::to_wstring(reason));
    return TRUE;
}
BOOL WINAPI Query(PSYSTEM_LOGICAL_PROCESSOR_INFORMATION buffer, PDWORD bytes) {
    const DWORD needed = static_cast<DWORD>(g.entries.size() * sizeof g.entries[0]);
    if (g.lastError || *bytes < needed) {
        *bytes = g.sizesAnnounced.empty() ? needed : g.sizesAnnounced.front();
        if (!g.sizesAnnounced.empty()) g.sizesAnnounced.erase(g.sizesAnnounced.begin());
        return SetLastError(g.lastError ? g.lastError : ERROR_INSUFFICIENT_BUFFER), FALSE;
    }
    std::copy(g.entries.begin(), g.entries.end(), buffer);
    return *bytes = needed, TRUE;
}
FARPROC WINAPI FindQuery(HMODULE module, LPCSTR name) {
    const bool asked = module == GetModuleHandleW(L"kernel32") && !strcmp(name, "GetLogicalProcessorInformation");
    return asked && !g.entries.empty() ? reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Query)) : nullptr;
}

}  // namespace

TEST_F(UiActions, AdministratorPassesAndAnyoneElseIsWarnedAndDenied) {
    EXPECT_EQ(0u, IsUserAdmin(package.Session()));  // Wine's user is an administrator
    seam.api().CheckTokenMembership = Membership;
    g.member = TRUE;
    EXPECT_EQ(0u, IsUserAdmin(package.Session()));
    g.member = FALSE;
    EXPECT_EQ(5u, IsUserAdmin(package.Session()));
    EXPECT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(L"Setup|Local Administrator privileges are required to install this package.|" +
                  std::to_wstring(MB_ICONWARNING | MB_TOPMOST),
              Box(0));
}

TEST_F(UiActions, CancelButtonIsHiddenAndShownThroughCommonData) {
    EXPECT_EQ(0u, HideCancelButton(package.Session()));
    EXPECT_EQ(0u, ShowCancelButton(package.Session()));
    const auto sent = log.OfType(INSTALLMESSAGE_COMMONDATA);
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ((Lines{L"2", L"0"}), sent[0].fields);
    EXPECT_EQ((Lines{L"2", L"1"}), sent[1].fields);
}

TEST_F(UiActions, LogoffMarkIsTakenBeforeTheQuestionSoANoIsNeverAskedAgain) {
    EXPECT_EQ(0u, ScheduleLogoff(package.Session()));
    OndexRegistryScope::SetString(kSetupKey, L"IsNeedLogoff", L"a text longer than four bytes");
    EXPECT_EQ(0u, ScheduleLogoff(package.Session()));
    OndexRegistryScope::SetDword(kSetupKey, L"IsNeedLogoff", 1);
    boxes.Answer(IDNO);
    EXPECT_EQ(0u, ScheduleLogoff(package.Session()));
    EXPECT_EQ(0u, ScheduleLogoff(package.Session()));
    EXPECT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(L"Ondex Test Package|You need to perform logoff/logon before starting the Ondex Test Package user "
              L"interface.\nWould you like to perform logoff right now?|36",
              Box(0));
    const std::wstring prefix = L"Function: ScheduleLogoff. ";
    EXPECT_EQ((Lines{prefix + L"Open registry key failed.", prefix + L"Logoff is not needed.",
                     prefix + L"Logoff is not needed."}),
              log.TimestampedLines());
}

TEST_F(UiActions, YesLogsOffByForceOnlyWithTheShutdownPrivilege) {
    seam.api().OpenProcessToken = OpenToken, seam.api().GetLastError = LastError;
    seam.api().ExitWindowsEx = RecordExit;
    for (const auto& [tokenOpens, lastError] : {std::pair{TRUE, 0}, {FALSE, 0}, {TRUE, ERROR_NOT_ALL_ASSIGNED}}) {
        g.tokenOpens = tokenOpens, g.lastError = lastError;
        OndexRegistryScope::SetDword(kSetupKey, L"IsNeedLogoff", 1);
        boxes.Answer(IDYES);
        EXPECT_EQ(0u, ScheduleLogoff(package.Session()));
    }
    EXPECT_EQ((Lines{L"4 2147614723"}), g.exits);  // forced; planned operating-system upgrade
    // A silent installation asks the engine; nobody answers, and nobody is logged off.
    MsiSetPropertyW(package.Session(), L"UILevel", L"2");
    g.tokenOpens = TRUE, g.lastError = 0;
    OndexRegistryScope::SetDword(kSetupKey, L"IsNeedLogoff", 1);
    EXPECT_EQ(0u, ScheduleLogoff(package.Session()));
    EXPECT_EQ(1u, g.exits.size());
}

TEST_F(UiActions, QuestionAnswersOkOrCancelAndIsNotAskedWithoutText) {
    package.Property(L"AskOKCancelResult", L"stale");
    EXPECT_EQ(0u, AskOKCancel(package.Session()));
    EXPECT_EQ(L"", package.Get(L"AskOKCancelResult"));
    MsiSetPropertyW(package.Session(), L"AskOKCancelText", L"Stop the service?");
    boxes.Answer(IDOK).Answer(IDCANCEL);  // the close button answers IDCANCEL too
    for (const wchar_t* expected : {L"OK", L"CANCEL"}) {
        EXPECT_EQ(0u, AskOKCancel(package.Session()));
        EXPECT_EQ(expected, package.Get(L"AskOKCancelResult"));
    }
    EXPECT_EQ(2u, boxes.boxes().size());
    EXPECT_EQ(L"Ondex Test Package|Stop the service?|1", Box(1));
    // A silent installation asks the engine, which answers with the default button.
    MsiSetPropertyW(package.Session(), L"UILevel", L"2");
    EXPECT_EQ(0u, AskOKCancel(package.Session()));
    EXPECT_EQ(L"OK", package.Get(L"AskOKCancelResult"));
    EXPECT_EQ(2u, boxes.boxes().size());
}

TEST_F(UiActions, SummaryIsComposedFromTheSessionProperties) {
    package.Property(L"INSTALLDIR", L"C:\\Ondex\\").Property(L"REPORTVIEWERACTION", L"LocalInstall");
    package.Property(L"RVINSTALLDIR", L"C:\\Viewer\\").Property(L"CREATEQUICKLAUNCHICON", L"1");
    EXPECT_EQ(0u, GetInstallationSummary(package.Session()));
    EXPECT_EQ(L"Destination location:\n    C:\\Ondex\\\n\nOndex Report Viewer location:\n    C:\\Viewer\\\n\n"
              L"Additional icons:\n    Create a Quick Launch icon\n",
              package.Get(L"SUMMARY"));
}

TEST_F(UiActions, CoresComeFromTheProcessorQueryOrElseFromTheEnvironment) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const auto cores = [&](const wchar_t* environment = L"") {
        if (*environment) SetEnvironmentVariableW(L"NUMBER_OF_PROCESSORS", environment);
        EXPECT_EQ(0u, GetCoreNumber(package.Session()));
        return package.Get(L"GetCoreNumberResult");
    };
    EXPECT_EQ(std::to_wstring(system.dwNumberOfProcessors), cores());  // Wine's own answer

    seam.api().GetProcAddress = FindQuery;
    g.entries.resize(4, {.ProcessorMask = 0xF, .Relationship = RelationProcessorCore});
    g.sizesAnnounced = {32, 64};  // the buffer grows step by step to the size asked for
    EXPECT_EQ(L"8", cores());     // four threads per core count as two
    g.lastError = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(L"ERR", cores());
    g.entries.clear();  // the query is missing
    EXPECT_EQ(L"12345678901234567890", cores(L"12345678901234567890"));
    EXPECT_EQ(L"4", cores(L"4"));
    SetEnvironmentVariableW(L"NUMBER_OF_PROCESSORS", nullptr);
    EXPECT_EQ(L"ERR", cores());
    SetEnvironmentVariableW(L"NUMBER_OF_PROCESSORS", std::to_wstring(system.dwNumberOfProcessors).c_str());
    const std::wstring missing = L"GetLogicalProcessorInformation not supported.";
    EXPECT_EQ((Lines{L"Number of threads on each physical core is more then 2. So this is intel technology and "
                     L"actyally number of physical core is logical/2.",
                     L"GetLogicalProcessorInformation failed with unexpected error code.: (0x57): " +
                         SystemErrorText(ERROR_INVALID_PARAMETER),
                     missing, missing, missing,
                     L"GetEnvironmentVariable failed. Such Environment variable doesn't exist.: (0xCB): " +
                         SystemErrorText(ERROR_ENVVAR_NOT_FOUND)}),
              log.TimestampedLines());
}
