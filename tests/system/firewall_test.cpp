// The firewall actions in real sessions against the firewall doubles; the
// Windows version that picks the interface is scripted through the seam.
#include <gtest/gtest.h>
#include <netfw.h>

#include <string>
#include <vector>

#include "support/package.h"
#include "support/seam_override.h"
#include "system/firewall_doubles.h"

#include "exports/exports.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

constexpr DWORD kServiceNotStarted = 0x800706D9;

DWORD g_major = 6;
BOOL WINAPI Version(LPOSVERSIONINFOW version) {
    if (!g_major) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    version->dwMajorVersion = g_major;
    return TRUE;
}

// The two lines of a handled failure: the prefix with the code, then the operation's text.
Lines Failure(const std::wstring& prefix, const std::wstring& hex, DWORD code, const std::wstring& operation) {
    const std::wstring text = SystemErrorText(code);
    return {prefix + L": (0x" + hex + L"): " + (text.empty() ? L"Unknown error" : text), operation};
}

// The log lines after the "Property: " echo of the items.
Lines After(Lines lines, size_t items) {
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(items, lines.size())));
    return lines;
}

Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct Firewall : testing::Test {
    FirewallDouble firewall;
    TestPackage package;
    LogCapture log;
    MessageBoxScript boxes;
    ScopedApiOverride seam;

    void SetUp() override {
        g_major = 6;
        seam.api().GetVersionExW = Version;
    }
    void TearDown() override {
        EXPECT_EQ(0, firewall.References()) << "the action keeps firewall objects";
        EXPECT_EQ(0, firewall.UnexpectedCalls());
    }
    UINT Run(UINT(__stdcall* action)(MSIHANDLE), const std::wstring& data) {
        MsiSetPropertyW(package.Session(), L"CustomActionData", data.c_str());
        return action(package.Session());
    }
    UINT Add(const std::wstring& data) { return Run(FirewallAddApplication, data); }
    UINT Remove(const std::wstring& data) { return Run(FirewallRemoveApplication, data); }
};

const std::wstring kWarning = L"Harbor|Unable to add exception to Windows Firewall settings.|" +
                              std::to_wstring(MB_ICONWARNING | MB_TOPMOST);

}  // namespace

TEST_F(Firewall, BasicInterfaceOpensEachPortAndAuthorizesOnlyWhatIsNotAlreadyEnabled) {
    g_major = 5;
    firewall.applications = {{L"C:\\H\\ui.exe", L"Old UI", true}, {L"C:\\H\\agent.exe", L"Old agent", false}};
    firewall.ports = {{443, NET_FW_IP_PROTOCOL_TCP, L"Old web", true}};
    EXPECT_EQ(0u, Add(L"Harbor|C:\\H\\svc.exe|Service|unused|80,443|unused|C:\\H\\ui.exe|UI|||"
                      L"|C:\\H\\agent.exe|Agent|||"));
    EXPECT_EQ(3, firewall.Calls("INetFwAuthorizedApplications::Item"));
    EXPECT_EQ(2, firewall.Calls("INetFwAuthorizedApplications::Add"));  // the disabled agent is added afresh
    ASSERT_EQ(3u, firewall.applications.size());
    EXPECT_EQ(L"Old UI", firewall.applications[0].name);
    EXPECT_EQ(L"C:\\H\\svc.exe|Service", firewall.applications[1].path + L"|" + firewall.applications[1].name);
    EXPECT_EQ(L"Agent", firewall.applications[2].name);
    ASSERT_EQ(2u, firewall.ports.size());
    EXPECT_EQ(L"Old web", firewall.ports[0].name);
    EXPECT_EQ(80, firewall.ports[1].port);
    EXPECT_EQ(NET_FW_IP_PROTOCOL_TCP, firewall.ports[1].protocol);
    EXPECT_EQ(L"Service", firewall.ports[1].name);
    const Lines logged = log.TimestampedLines();
    EXPECT_EQ((Lines{L"Property: Harbor", L"Property: C:\\H\\svc.exe", L"Property: Service"}),
              Lines(logged.begin(), logged.begin() + 3));
    EXPECT_EQ((Lines{L"Use Firewall API."}), After(logged, 16));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Firewall, AdvancedInterfaceAddsOneAllowRulePerRecordAndARepairReplacesIt) {
    const FirewallRule otherService{.name = L"Service", .application = L"C:\\Other\\svc.exe"};
    const FirewallRule webApplication{.name = L"Web", .application = L"C:\\H\\web.exe"};
    firewall.rules = {otherService, {.name = L"Service", .application = L"c:\\h\\SVC.EXE"}, webApplication};
    const std::wstring data = L"Harbor|C:\\H\\svc.exe|Service|Backup service|80,443|Ondex Harbor||Web|Web ports||Ondex";
    EXPECT_EQ(0u, Add(data));
    EXPECT_EQ((Lines{L"Use Firewall API with Advanced Services."}), After(log.TimestampedLines(), 11));
    EXPECT_EQ(0u, Add(data));

    const FirewallRule service{L"Service", L"Backup service", L"Ondex Harbor", L"C:\\H\\svc.exe", L"80,443",
                               NET_FW_IP_PROTOCOL_TCP, 0x7FFFFFFF, NET_FW_ACTION_ALLOW, true};
    // Empty path and ports are never set.
    const FirewallRule web{L"Web", L"Web ports", L"Ondex", {}, {}, NET_FW_IP_PROTOCOL_TCP, 0x7FFFFFFF,
                           NET_FW_ACTION_ALLOW, true};
    EXPECT_EQ((std::vector<FirewallRule>{otherService, webApplication, service, web}), firewall.rules);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Firewall, ARepairKeepsTheEarlierRuleWhenItsOwnCannotBeAddedAndDisablesOneItCannotRemove) {
    for (const std::string failing : {"INetFwRules::Add", "INetFwRules::Remove"}) {
        firewall.rules = {{.name = L"Service", .application = L"C:\\H\\svc.exe", .enabled = true}};
        firewall.Fail(failing, E_ACCESSDENIED);
        EXPECT_EQ(0u, Add(L"Harbor|C:\\H\\svc.exe|Service|||"));
        const bool added = failing == "INetFwRules::Remove";
        ASSERT_EQ(added ? 2u : 1u, firewall.rules.size()) << failing;
        const FirewallRule& earlier = firewall.rules.front();
        EXPECT_EQ(added ? 0u : std::wstring::npos, earlier.name->find(L"Ondex replaced rule {")) << failing;
        EXPECT_EQ(!added, earlier.enabled) << failing;
        EXPECT_EQ(L"Service", firewall.rules.back().name) << failing;
    }
    EXPECT_EQ(2u, boxes.boxes().size());  // each failed record warned about
}

TEST_F(Firewall, RulesThatCannotBeListedAreNotReplacedButTheNewRuleIsAdded) {
    firewall.rules = {{.name = L"UI", .application = L"C:\\H\\ui.exe"}};
    firewall.Fail("INetFwRules::get__NewEnum", E_NOTIMPL);
    EXPECT_EQ(0u, Add(L"Harbor|C:\\H\\ui.exe|UI|||"));
    EXPECT_EQ(2u, firewall.rules.size());
    EXPECT_EQ(1u, log.InfoLinesWith(L"Earlier firewall rules cannot be listed (0x80004001); none is replaced.").size());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Firewall, MissingOrMalformedDataChangesNothing) {
    EXPECT_EQ(0u, Add(L""));
    EXPECT_EQ((Lines{L"CustomActionData is not set."}), log.TimestampedLines());
    log.Clear();
    EXPECT_EQ(0u, Add(L"Harbor|C:\\H\\svc.exe|Service|d|80|g|extra"));  // 7 items
    EXPECT_EQ((Lines{L"Count of properties is not matched."}), After(log.TimestampedLines(), 7));
    log.Clear();
    EXPECT_EQ(0u, Remove(L"Harbor|C:\\H\\svc.exe|Service|80|extra"));
    EXPECT_EQ((Lines{L"Count of properties is not matched."}), After(log.TimestampedLines(), 5));
    EXPECT_EQ(Lines{kWarning}, boxes.Shown(true));  // the removal only logs
    EXPECT_EQ(0, firewall.Calls("CoCreateInstance NetFwPolicy2"));
    EXPECT_TRUE(firewall.rules.empty());
}

TEST_F(Firewall, EachFailedAdditionIsWarnedAboutAndTheNextRecordStillAdded) {
    g_major = 5;
    firewall.Fail("CoCreateInstance NetFwMgr", REGDB_E_CLASSNOTREG);
    firewall.Fail("INetFwOpenPort::put_Port", E_INVALIDARG);  // "http" counts as port 0
    EXPECT_EQ(0u, Add(L"Harbor|C:\\one.exe|One|||"
                      L"|C:\\two.exe|Two||http,8080|"
                      L"|C:\\three.exe|Three||9090|"
                      L"|C:\\four.exe|Four||7070|"));
    EXPECT_EQ(Join({{L"Use Firewall API."},
                    Failure(L"WindowsFirewallInitialize failed. ", L"80040154", REGDB_E_CLASSNOTREG,
                            L"CoCreateInstance failed."),
                    Failure(L"WindowsFirewallAddApp failed. Unable to add exception to firewall to C:\\two.exe",
                            L"80070057", E_INVALIDARG, L"INetFwOpenPort->put_Port failed.")}),
              After(log.TimestampedLines(), 21));
    log.Clear();
    firewall.Fail("INetFwProfile::get_AuthorizedApplications", E_ACCESSDENIED);
    EXPECT_EQ(0u, Add(L"Harbor|C:\\five.exe|Five||6060|"));
    ASSERT_EQ(3u, boxes.boxes().size());
    EXPECT_EQ(kWarning, boxes.Shown(true).at(2));
    ASSERT_EQ(2u, firewall.applications.size());  // three and four
    EXPECT_EQ(L"C:\\four.exe", firewall.applications[1].path);
    ASSERT_EQ(3u, firewall.ports.size());  // not 8080 after the rejected port
    EXPECT_EQ(6060, firewall.ports[2].port);  // the port is opened before the application is checked
    EXPECT_EQ(Failure(L"WindowsFirewallAddApp failed. Unable to add exception to firewall to C:\\five.exe",
                      L"80070005", E_ACCESSDENIED,
                      L"WindowsFirewallAppIsEnabled failed. "),
              After(log.TimestampedLines(), 7));
    log.Clear();
    firewall.Fail("INetFwProfile::get_GloballyOpenPorts", E_ACCESSDENIED);
    EXPECT_EQ(0u, Add(L"Harbor|C:\\six.exe|Six||5050|"));
    EXPECT_EQ(Failure(L"WindowsFirewallAddApp failed. Unable to add exception to firewall to C:\\six.exe",
                      L"80070005", E_ACCESSDENIED, L"WindowsFirewallPortIsEnabled failed."),
              After(log.TimestampedLines(), 7));
}

TEST_F(Firewall, RuleFailureOnTheAdvancedInterfaceWarnsAndGoesOn) {
    firewall.Fail("INetFwRule::put_LocalPorts", E_INVALIDARG);
    EXPECT_EQ(0u, Add(L"Harbor|C:\\H\\svc.exe|Service||80,http||C:\\H\\ui.exe|UI|||"));
    ASSERT_EQ(1u, firewall.rules.size());
    EXPECT_EQ(L"UI", firewall.rules[0].name);
    EXPECT_EQ(Join({{L"Use Firewall API with Advanced Services."},
                    Failure(L"WindowsFirewallAddAppAS failed. Unable to add exception to firewall to C:\\H\\svc.exe",
                            L"80070057", E_INVALIDARG, L"INetFwRule->put_LocalPorts failed.")}),
              After(log.TimestampedLines(), 11));
    EXPECT_EQ(Lines{kWarning}, boxes.Shown(true));
}

TEST_F(Firewall, StoppedFirewallServiceEndsTheActionQuietly) {
    firewall.Fail("INetFwPolicy2::get_Rules", static_cast<HRESULT>(kServiceNotStarted), 9);
    EXPECT_EQ(0u, Add(L"Harbor|C:\\a.exe|A||||C:\\b.exe|B|||"));
    EXPECT_EQ(Join({{L"Use Firewall API with Advanced Services."},
                    Failure(L"WindowsFirewallAddAppAS failed. Unable to add exception to firewall to C:\\a.exe",
                            L"800706D9", kServiceNotStarted, L"INetFwPolicy2->get_Rules failed."),
                    {L"Windows Firewall service is not started."}}),
              After(log.TimestampedLines(), 11));
    g_major = 5;
    firewall.Fail("INetFwMgr::get_LocalPolicy", static_cast<HRESULT>(kServiceNotStarted), 9);
    EXPECT_EQ(0u, Remove(L"Harbor|C:\\a.exe|A||C:\\b.exe|B|"));
    EXPECT_EQ(1, firewall.Calls("INetFwPolicy2::get_Rules")) << "later records are not tried";
    EXPECT_EQ(1, firewall.Calls("INetFwMgr::get_LocalPolicy"));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Firewall, RemovalTakesExceptionsAwayAndOnlyLogsItsFailures) {
    g_major = 5;
    firewall.applications = {{L"C:\\H\\svc.exe", L"Service"}, {L"C:\\H\\ui.exe", L"UI"}};
    firewall.ports = {{80, NET_FW_IP_PROTOCOL_TCP, L"Service"}, {443, NET_FW_IP_PROTOCOL_TCP, L"Service"},
                      {80, NET_FW_IP_PROTOCOL_UDP, L"Other"}};
    firewall.Fail("INetFwAuthorizedApplications::Remove", E_ACCESSDENIED);
    EXPECT_EQ(0u, Remove(L"Harbor|C:\\H\\svc.exe|Service|80,443|C:\\H\\ui.exe|UI|"));
    ASSERT_EQ(1u, firewall.applications.size());
    EXPECT_EQ(L"C:\\H\\svc.exe", firewall.applications[0].path);
    ASSERT_EQ(1u, firewall.ports.size());
    EXPECT_EQ(NET_FW_IP_PROTOCOL_UDP, firewall.ports[0].protocol);
    EXPECT_EQ(Failure(L"WindowsFirewallDeleteApp failed. Unable to delete exception from firewall to C:\\H\\svc.exe",
                      L"80070005", E_ACCESSDENIED, L"INetFwAuthorizedApplications->Remove failed."),
              After(log.TimestampedLines(), 7));

    g_major = 6;
    log.Clear();
    firewall.rules = {{.name = L"Service"}, {.name = L"UI"}, {.name = L"Service"}};
    firewall.Fail("INetFwRules::Remove", E_ACCESSDENIED);
    EXPECT_EQ(0u, Remove(L"Harbor|C:\\H\\ui.exe|UI||C:\\H\\svc.exe|Service|"));
    ASSERT_EQ(2u, firewall.rules.size()) << "one rule per name and record";
    EXPECT_EQ(L"UI", firewall.rules[0].name);
    EXPECT_EQ(Failure(L"WindowsFirewallDelteAppAS failed. Unable to delete exception from firewall to C:\\H\\ui.exe",
                      L"80070005", E_ACCESSDENIED, L"INetFwRules->Remove failed."),
              After(log.TimestampedLines(), 7));
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(Firewall, UnknownWindowsVersionIsReportedOnlyWhenAdding) {
    g_major = 0;
    EXPECT_EQ(0u, Add(L"Harbor|C:\\a.exe|A|||"));
    const std::wstring text = SystemErrorText(ERROR_INVALID_PARAMETER);
    EXPECT_EQ((Lines{L"GetVersionEx failed.: (0x57): " + text}), After(log.TimestampedLines(), 6));
    log.Clear();
    EXPECT_EQ(0u, Remove(L"Harbor|C:\\a.exe|A|"));
    EXPECT_EQ(4u, log.TimestampedLines().size());
    EXPECT_EQ(Lines{kWarning}, boxes.Shown(true));
    EXPECT_EQ(0, firewall.Calls("CoCreateInstance NetFwPolicy2") + firewall.Calls("CoCreateInstance NetFwMgr"));
}
