// The IIS state and maintenance actions in real sessions: a real test
// service registered as "IISADMIN" (with a dependent) under Wine's service
// manager, the IIS doubles, a real folder tree and a stand-in iisreset.exe.
// Waits that a real service cannot be made to show go through the seam's
// status query, pause and clock.
#include <deque>

#include "iis/iis_fixture.h"
#include "iis/iis_services.h"
#include "runtime/win_exception.h"
#include "setuplib/planted_paths.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

constexpr wchar_t kStartQuestion[] = L"IIS service must be started. Would you like the setup program to start it?";
constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST;

// ---- Scripted waits ----

SERVICE_STATUS_PROCESS Status(DWORD state, DWORD waitHint = 0, DWORD checkPoint = 0) {
    return {0, state, 0, 0, 0, checkPoint, waitHint, 0, 0};
}

// Status answers from a script (the last one stays), pauses that only move a
// clock, and stop controls that are recorded, not sent.
class ScriptedWaits {
public:
    explicit ScriptedWaits(std::deque<SERVICE_STATUS_PROCESS> statuses) {
        script_ = std::move(statuses);
        sleeps_.clear();
        controls_ = 0;
        now_ = 1000;
        auto& api = override_.api();
        api.QueryServiceStatusEx = [](SC_HANDLE, SC_STATUS_TYPE, LPBYTE out, DWORD, LPDWORD) -> BOOL {
            *reinterpret_cast<SERVICE_STATUS_PROCESS*>(out) = script_.front();
            if (script_.size() > 1) script_.pop_front();
            return TRUE;
        };
        api.Sleep = [](DWORD ms) { sleeps_.push_back(ms), now_ += ms; };
        api.GetTickCount = []() -> DWORD { return now_; };
        api.ControlService = [](SC_HANDLE, DWORD, LPSERVICE_STATUS) -> BOOL { return ++controls_, TRUE; };
    }
    const std::vector<DWORD>& sleeps() const { return sleeps_; }
    int controls() const { return controls_; }

private:
    ScopedApiOverride override_;
    static inline std::deque<SERVICE_STATUS_PROCESS> script_;
    static inline std::vector<DWORD> sleeps_;
    static inline int controls_ = 0;
    static inline DWORD now_ = 0;
};

struct IisState : IisTest {
    RegisteredServices services;
    Lines Stamped() { return log.TimestampedLines(); }
    // The site's root folder, a file-type record as IIS keeps it.
    void SetRoot(const std::wstring& folder) { model.PutString(L"/LM/W3SVC/5/ROOT", 3001, folder, 1, 2); }
};

}  // namespace

// ---- Service control ----

TEST_F(IisState, IisAdminIsQueriedStartedAndStoppedForRealItsDependentFirst) {
    using namespace ondex::iis;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), GetServiceState(kIisAdmin));
    EXPECT_EQ(0u, StartService(kIisAdmin));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), GetServiceState(kIisAdmin));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING), StartService(kIisAdmin));

    RegisteredServices::Start(kDependent);
    // Wine lists no dependents: the list is the real one Windows would give.
    ScopedApiOverride seam;
    seam.api().EnumDependentServicesW = [](SC_HANDLE, DWORD, LPENUM_SERVICE_STATUSW out, DWORD size, LPDWORD needed,
                                           LPDWORD count) -> BOOL {
        *needed = sizeof(ENUM_SERVICE_STATUSW) + sizeof kDependent;
        if (size < *needed) return SetLastError(ERROR_MORE_DATA), FALSE;
        auto* name = reinterpret_cast<wchar_t*>(out + 1);
        wcscpy(name, kDependent);
        *out = {name, name, {}};
        *count = 1;
        return TRUE;
    };
    static std::vector<std::wstring> statesAtEachStop;
    statesAtEachStop.clear();
    seam.api().ControlService = [](SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) -> BOOL {
        statesAtEachStop.push_back(std::to_wstring(StateOf(kIisAdmin)) + L"/" + std::to_wstring(StateOf(kDependent)));
        return ControlService(service, control, status);
    };
    EXPECT_EQ(0u, DoStopService(kIisAdmin, TRUE, 15000));
    EXPECT_EQ((Lines{L"4/4", L"4/1"}), statesAtEachStop);  // running/running, then running/stopped
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), StateOf(kIisAdmin));
    EXPECT_EQ(0u, DoStopService(kIisAdmin, TRUE, 15000));  // already stopped
}

TEST_F(IisState, PendingStartsAndStopsWaitAsLongAsTheirHintsAndCheckPointsAllow) {
    using namespace ondex::iis;
    struct Case {
        const char* scenario;
        std::deque<SERVICE_STATUS_PROCESS> statuses;
        std::vector<DWORD> sleeps;
        DWORD code;  // the CWinEExc code, 0 for none
        const wchar_t* message;
    };
    const Case cases[] = {
        {"a stop pending whose check point moves once, then stalls past its hint",
         {Status(SERVICE_STOP_PENDING, 15000, 1), Status(SERVICE_STOP_PENDING, 15000, 2)},
         std::vector<DWORD>(12, 1500), ERROR_TIMEOUT, L"Waiting for SERVICE_STOP_PENDING failed."},
        {"a start that never leaves start-pending (no hint: 40 s)",
         {Status(SERVICE_STOPPED), Status(SERVICE_START_PENDING, 0, 1)},
         std::vector<DWORD>(11, 4000), ERROR_SERVICE_NOT_ACTIVE, L"service current state does not equal SERVICE_RUNNING."},
        {"a stop pending that ends, then a start that gets there",
         {Status(SERVICE_STOP_PENDING, 2000), Status(SERVICE_STOPPED), Status(SERVICE_START_PENDING, 200000, 1),
          Status(SERVICE_RUNNING)},
         {1000, 10000}, 0, L""},
    };
    for (const Case& c : cases) {
        ScriptedWaits waits(c.statuses);
        DWORD code = 0;
        std::wstring message;
        try {
            EXPECT_EQ(0u, StartService(kIisAdmin)) << c.scenario;
        } catch (const ondex::runtime::CWinEExc& failure) {
            code = failure.Code();
            message = failure.Message();
        }
        EXPECT_EQ(c.code, code) << c.scenario;
        EXPECT_EQ(c.message, message) << c.scenario;
        EXPECT_EQ(c.sleeps, waits.sleeps()) << c.scenario;
        RegisteredServices::Stop(kIisAdmin);  // a scripted start still starts the real service
    }
}

TEST_F(IisState, AStopLongerThanFifteenSecondsTimesOutAndStopIisAdminStillSetsBothProperties) {
    RegisteredServices::Start(kIisAdmin);
    {
        ScriptedWaits waits({Status(SERVICE_RUNNING), Status(SERVICE_STOP_PENDING, 3000)});
        EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), ondex::iis::DoStopService(kIisAdmin, FALSE, 15000));
        EXPECT_EQ(1, waits.controls());
        EXPECT_EQ((std::vector<DWORD>{3000, 3000, 3000, 3000, 3000, 100}), waits.sleeps());
    }
    {
        ScriptedWaits waits({Status(SERVICE_STOP_PENDING, 0)});  // no hint: polled every 100 ms, not busily
        EXPECT_EQ(0u, StopIISAdminService(package.Session()));
        EXPECT_EQ(151u, waits.sleeps().size());
        EXPECT_EQ(0, waits.controls());
    }
    EXPECT_EQ((Lines{L"YES", L"YES"}), (Lines{package.Get(L"StartingIISAdminService"), package.Get(L"STARTIIS")}));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), StateOf(kIisAdmin));
    package.Set(L"STARTIIS", L"");
    EXPECT_EQ(0u, StopIISAdminService(package.Session()));  // for real now
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), StateOf(kIisAdmin));
    EXPECT_EQ(L"YES", package.Get(L"STARTIIS"));
}

// ---- CheckIISState ----

TEST_F(IisState, CheckIisStateAsksToStartIisAdminAndReportsTheServiceOrSiteVerdict) {
    model.AddSite(L"1", L":80:", L"Default Web Site");
    model.PutDword(L"/LM/W3SVC/1", 1016, 2, 16);
    struct Case {
        const char* scenario;
        const wchar_t* port;
        std::vector<int> answers;
        const wchar_t* result;
        DWORD serviceAfter;
        const wchar_t* exception;
        const wchar_t* logged;
    };
    const Case cases[] = {
        {"stopped, the user says No", L"80", {IDNO}, L"ERR_SERVICE", SERVICE_STOPPED, L"", L"IIS Service is stopped."},
        {"stopped, the user says Yes; no port to check", L"", {IDYES}, L"OK", SERVICE_RUNNING, L"", nullptr},
        {"running; no site on the port", L"8080", {}, L"ERR_SITE", SERVICE_RUNNING,
         L"Checking status of site with introduced port.", nullptr},
        {"running; the site on the port runs", L"80", {}, L"OK", SERVICE_RUNNING,
         L"Current state of site with index 1is 2", nullptr},
    };
    for (const Case& c : cases) {
        MessageBoxScript boxes;
        for (int answer : c.answers) boxes.Answer(answer);
        package.Set(L"CheckIISStatePort", c.port);
        package.Set(L"CheckIISStateException", L"");
        const int lookups = model.Calls("EnumKeys");
        EXPECT_EQ(0u, CheckIISState(package.Session())) << c.scenario;
        EXPECT_EQ(c.result, package.Get(L"CheckIISStateResult")) << c.scenario;
        EXPECT_EQ(c.serviceAfter, StateOf(kIisAdmin)) << c.scenario;
        EXPECT_EQ(c.exception, package.Get(L"CheckIISStateException")) << c.scenario;
        EXPECT_EQ(c.answers.size(), boxes.boxes().size()) << c.scenario;
        for (const ShownBox& box : boxes.boxes())
            EXPECT_EQ(L"Setup|" + std::wstring(kStartQuestion) + L"|" + std::to_wstring(kQuestionStyle),
                      box.caption + L"|" + box.text + L"|" + std::to_wstring(box.style));
        if (c.logged) EXPECT_EQ((Lines{c.logged}), Stamped()) << c.scenario;
        if (c.result == std::wstring(L"ERR_SERVICE")) EXPECT_EQ(lookups, model.Calls("EnumKeys"));
        log.Clear();
    }
}

TEST_F(IisState, AStoppedOrStatelessSiteIsStartedWithTheUsersLeaveAskedByWindowsVersion) {
    RegisteredServices::Start(kIisAdmin);
    model.AddSite(L"3", L":8080:", L"Reports");
    const std::wstring xp = L"DefaultWebSite must be started. Would you like the setup program to start it?";
    const std::wstring own = L"OndexAlmanac site must be started. Would you like the setup program to start it?";
    struct Case {
        const char* scenario;
        const wchar_t *version, *productType;
        int state;  // -1: no ServerState
        int answer;
        const wchar_t* result;
        std::wstring question;
        const wchar_t* exception;
    };
    const Case cases[] = {
        {"no ServerState, Yes (Windows 7)", L"601", L"1", -1, IDYES, L"OK", own, L"Current state of site with index 3is 2"},
        {"stopped, No (XP)", L"501", L"1", 4, IDNO, L"ERR_SITE", xp, L"Current state of site with index 3is 4"},
        {"stopped, No (Server 2003)", L"502", L"3", 4, IDNO, L"ERR_SITE", own, L"Current state of site with index 3is 4"},
    };
    for (const Case& c : cases) {
        if (c.state < 0) model.AddSite(L"3", L":8080:", L"Reports");
        else model.PutDword(L"/LM/W3SVC/3", 1016, static_cast<DWORD>(c.state), 16);
        package.Set(L"VersionNT", c.version);
        package.Set(L"MsiNTProductType", c.productType);
        package.Set(L"CheckIISStatePort", L"8080");
        MessageBoxScript boxes;
        boxes.Answer(c.answer);
        EXPECT_EQ(0u, CheckIISState(package.Session())) << c.scenario;
        EXPECT_EQ(c.result, package.Get(L"CheckIISStateResult")) << c.scenario;
        EXPECT_EQ((Lines{L"Setup|" + c.question}), boxes.Shown()) << c.scenario;
        EXPECT_EQ(c.exception, package.Get(L"CheckIISStateException")) << c.scenario;
        EXPECT_EQ(c.answer == IDNO ? Lines{L"IIS Server is stopped."} : Lines{}, Stamped()) << c.scenario;
        log.Clear();
    }
}

TEST_F(IisState, CheckIisStateReportsReadFailuresServiceExceptionsAndNeverStartsWhatNobodyAgreedTo) {
    RegisteredServices::Start(kIisAdmin);
    model.AddSite(L"1", L":80:", L"Default Web Site");
    model.Fail("GetData", E_ACCESSDENIED, L"/LM/W3SVC/1", 1016);
    package.Set(L"CheckIISStatePort", L"80");
    EXPECT_EQ(0u, CheckIISState(package.Session()));
    EXPECT_EQ(L"ERR_SITE", package.Get(L"CheckIISStateResult"));
    ASSERT_EQ(1u, Stamped().size());
    EXPECT_EQ(0u, Stamped()[0].find(L"GetData /LM/W3SVC/1 failed.: (0x80070005)"));

    // Where the boxes go to the engine and nobody answers, the questions count as No.
    model.PutDword(L"/LM/W3SVC/1", 1016, 4, 16);
    package.Set(L"UILevel", L"2");
    EXPECT_EQ(0u, CheckIISState(package.Session()));
    EXPECT_EQ(L"ERR_SITE", package.Get(L"CheckIISStateResult"));
    EXPECT_EQ(static_cast<UINT>(MB_DEFBUTTON2), log.OfType(INSTALLMESSAGE_USER).back().style & MB_DEFMASK);

    // A service routine's exception ends the check.
    ScopedApiOverride seam;
    seam.api().QueryServiceStatusEx = [](SC_HANDLE, SC_STATUS_TYPE, LPBYTE, DWORD, LPDWORD) -> BOOL {
        return SetLastError(ERROR_ACCESS_DENIED), FALSE;
    };
    EXPECT_EQ(0u, CheckIISState(package.Session()));
    EXPECT_EQ(L"ERR_SERVICE", package.Get(L"CheckIISStateResult"));
    EXPECT_EQ(L"GetServiceState: QueryServiceStatusEx failed.: (0x5): " + SystemErrorText(ERROR_ACCESS_DENIED),
              package.Get(L"CheckIISStateException"));
}

// ---- Maintenance ----

TEST_F(IisState, IisResetRunsTheSystemsIisresetQuotedAndIgnoresItsExitCode) {
    const StandInWindowsFolder windows;
    const std::wstring record = windows.path + L"\\system32\\commandline.txt";
    DeleteFileW(record.c_str());
    EXPECT_EQ(0u, IIsReset(package.Session()));
    std::string expected = "\"";
    for (wchar_t c : windows.path) expected += static_cast<char>(c);
    EXPECT_EQ(expected + "\\system32\\iisreset.exe\"", ReadFileBytes(record));
}

TEST_F(IisState, DeleteWebSiteStuffRemovesTheSitesFolderTreeItsKeyAndItsApplicationPool) {
    TempFolder temp;
    const std::wstring root = temp.File(L"Reports");
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"\\bin").c_str(), nullptr);
    WriteFileBytes(root + L"\\bin\\app.dll", "x");
    model.AddSite(L"5", L":8080:", L"Reports");
    SetRoot(root + L"\\");
    model.AddKey(L"/LM/W3SVC/AppPools/Reports");
    model.AddKey(L"/LM/W3SVC/AppPools/Other");
    package.Set(L"CustomActionData", L"Reports");
    EXPECT_EQ(0u, DeleteWebSiteStuff(package.Session()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(root.c_str()));
    EXPECT_FALSE(model.HasKey(L"/LM/W3SVC/5"));
    EXPECT_FALSE(model.HasKey(L"/LM/W3SVC/AppPools/Reports"));
    EXPECT_TRUE(model.HasKey(L"/LM/W3SVC/AppPools/Other"));
    EXPECT_EQ((Lines{L"Path of web site:/5", L"Folder of web site: " + root + L"\\", L"OpenKey succeded.",
                     L"DeleteKey site stuff succeded.", L"DeleteKey site AppPools succeded."}),
              Stamped());
    EXPECT_EQ(0u, model.OpenHandles());
}

TEST_F(IisState, DeleteWebSiteStuffForAnUnknownCommentStillRemovesThePoolAndLogsEachFailure) {
    model.AddKey(L"/LM/W3SVC/AppPools/Reports");
    struct Case { const wchar_t* data; Lines logged; };
    const Case cases[] = {
        {L"", {L"CustomActionData is empty."}},
        {L"Reports",
         {L"Cannot fount website in metabase", L"No site with such comment find.", L"Path of web site:/-1",
          L"MetaGetValue Path failed. Path:/LM/W3SVC/-1/ROOT: (0x80070003): " + SystemErrorText(ERROR_PATH_NOT_FOUND),
          L"OpenKey succeded.", L"DeleteKey /-1 failed.", L"DeleteKey site AppPools succeded."}},
    };
    for (const Case& c : cases) {
        package.Set(L"CustomActionData", c.data);
        EXPECT_EQ(0u, DeleteWebSiteStuff(package.Session()));
        EXPECT_EQ(c.logged, Stamped()) << c.data;
        log.Clear();
    }
    EXPECT_FALSE(model.HasKey(L"/LM/W3SVC/AppPools/Reports"));
}

TEST_F(IisState, DeleteWebSiteStuffLeavesDriveRootsLinksAndForeignFoldersAndReportsAFailingOpen) {
    TempFolder temp;
    const std::wstring linked = temp.File(L"Linked"), foreign = temp.File(L"Foreign");
    for (const std::wstring& folder : {linked, foreign}) CreateDirectoryW(folder.c_str(), nullptr);
    PlantedPaths planted;
    planted.Link(linked);
    planted.OwnedBy(foreign, L"S-1-5-21-1-2-3-1001");
    model.AddSite(L"5", L":8080:", L"Reports");
    package.Set(L"CustomActionData", L"Reports");
    for (const std::wstring& folder : {std::wstring(L"C:\\"), linked, foreign}) {
        SetRoot(folder);
        model.Fail("OpenKey", E_ACCESSDENIED, L"/LM/W3SVC");
        EXPECT_EQ(0u, DeleteWebSiteStuff(package.Session()));
        const Lines logged = Stamped();
        ASSERT_EQ(5u, logged.size()) << folder;
        EXPECT_NE(std::wstring::npos, logged[2].find(folder)) << logged[2];  // refused, naming the folder
        EXPECT_EQ((Lines{L"OpenKey  /LM/W3SVC failed.", L"Function ScaDeleteWebSiteStuff failed."}),
                  Lines(logged.begin() + 3, logged.end()));
        log.Clear();
    }
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(linked.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(foreign.c_str()));
    EXPECT_TRUE(model.HasKey(L"/LM/W3SVC/5"));
}

TEST_F(IisState, VirtualRootAndPipelineModeActOnTheirDataOnly) {
    model.AddKey(L"/LM/W3SVC/1/ROOT/Reports");
    model.AddKey(L"/LM/W3SVC/AppPools/ReportsPool");
    package.Set(L"CustomActionData", L"");
    EXPECT_EQ(0u, DeleteVirtualRootXP(package.Session()));
    EXPECT_EQ(0u, SetPiplineModeClassic(package.Session()));
    EXPECT_EQ(0, model.Calls("OpenKey") + model.Calls("SetData"));
    package.Set(L"CustomActionData", L"Reports");
    EXPECT_EQ(0u, DeleteVirtualRootXP(package.Session()));
    EXPECT_FALSE(model.HasKey(L"/LM/W3SVC/1/ROOT/Reports"));
    package.Set(L"CustomActionData", L"ReportsPool");
    EXPECT_EQ(0u, SetPiplineModeClassic(package.Session()));
    EXPECT_EQ(L"\x0001", model.Text(L"/LM/W3SVC/AppPools/ReportsPool", 9041).substr(0, 1));
}

// ---- Paths ----

TEST_F(IisState, WebRootBecomesIisRootDirOnlyWhenItIsIisDefaultFolder) {
    constexpr wchar_t kInetStp[] = L"SOFTWARE\\Microsoft\\InetStp";
    struct Case { const wchar_t* value; DWORD type; const wchar_t* rootDir; };
    for (const Case& c : {Case{L"D:\\Inetpub\\wwwroot", REG_SZ, L"D:\\Inetpub\\wwwroot\\"},
                          {L"D:\\Web\\", REG_SZ, L"C:\\Keep\\"},
                          {L"%SystemDrive%\\Inetpub\\wwwroot", REG_EXPAND_SZ, L"C:\\Inetpub\\wwwroot\\"},
                          {nullptr, REG_SZ, L"C:\\Keep\\"}}) {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kInetStp);
        if (c.value)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kInetStp, L"PathWWWRoot", c.type, c.value,
                            static_cast<DWORD>((wcslen(c.value) + 1) * sizeof(wchar_t)));
        package.Set(L"IISROOTDIR", L"C:\\Keep\\");
        EXPECT_EQ(0u, GetPathWWWRoot(package.Session()));
        EXPECT_EQ(c.rootDir, package.Get(L"IISROOTDIR")) << (c.value ? c.value : L"(none)");
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kInetStp);
}

TEST_F(IisState, FrameworkPathIsTheInstallRootAndThreePartsOfTheAssemblyVersion) {
    package.Set(L"DOTNETFRAMEWORKINSTALLROOT", L"C:\\Windows\\Microsoft.NET\\Framework64\\");
    package.Set(L"MsiNetAssemblySupport", L"4.0.30319.1");
    EXPECT_EQ(0u, GetDotNetFrameworkPath(package.Session()));
    EXPECT_EQ(L"C:\\Windows\\Microsoft.NET\\Framework64\\v4.0.30319\\", package.Get(L"DOTNETFRAMEWORKPATH"));
    MessageBoxScript boxes;
    EXPECT_EQ(0u, Debug_ShowIIsWebQuery(package.Session()));  // error level is off by default: nothing shown
    EXPECT_TRUE(boxes.boxes().empty());
}
