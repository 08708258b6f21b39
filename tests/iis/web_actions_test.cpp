// The deployment and dialog actions that ask IIS, in real sessions against
// the IIS doubles (a failed creation of the IIS objects: iis_faults_test; the
// actions without them, as in Wine: the end-to-end web package).
#include "iis/iis_fixture.h"
#include "iis/web_deploy_text.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

constexpr wchar_t S = L'\x0001';
const std::wstring kAspNetEntry = L"0,C:\\WINDOWS\\aspnet_isapi.dll,0,ASP.NET v2.0.50727,ASP.NET v2.0.50727";

BOOL WINAPI Scheduled(MSIHANDLE, MSIRUNMODE mode) { return mode == MSIRUNMODE_SCHEDULED; }

struct WebActions : IisTest {
    std::wstring Get(const wchar_t* name) { return package.Get(name); }
    void Set(const wchar_t* name, const std::wstring& value) { package.Set(name, value); }
    std::wstring Extensions() { return model.Text(L"/LM/W3SVC", 2168); }
};

std::wstring DataNamed(const std::wstring& function) {
    ondex::iis::ConfigureWebProperties p;
    return function + WriteConfigureWebData(p).substr(std::wstring(L"ConfigureWeb").size());
}

}  // namespace

TEST_F(WebActions, ConfigureWebImmediatePacksTheDialogsChoiceForItsDeferredPart) {
    package.Property(L"WEBSITEMBROOTID", L"3").Property(L"WEBSITENAME", L"Reports")
        .Property(L"ONDEXWEBACCESSDIR", L"C:\\Access\\").Property(L"TCPPORT", L"8080")
        .Property(L"ConfigureWebDeferred", L"stale");
    EXPECT_EQ(0u, ConfigureWeb(Session()));
    const std::wstring data = Get(L"ConfigureWebDeferred");
    EXPECT_EQ(0u, data.find(L"ConfigureWeb" + std::wstring(1, S) + L"2" + S + S + L"C:\\Access\\" + S));
    EXPECT_NE(std::wstring::npos, data.find(S + std::wstring(L"/LM/W3SVC/3") + S + L"Reports" + S + L"1" + S));
    EXPECT_NE(std::wstring::npos, data.find(S + std::wstring(L"3") + S + L"8080" + S));
    EXPECT_EQ((std::vector<int>{3, 100, 0}), log.Progress().back());  // the cost of the deferred part
}

TEST_F(WebActions, ConfigureWebDeferredAllowsAspNetAndRefusesForeignOrShortData) {
    model.PutMultiString(L"/LM/W3SVC", 2168, {L"1,C:\\x.dll,0,Other,Other", kAspNetEntry});
    ScopedApiOverride mode;
    mode.api().MsiGetMode = &Scheduled;
    MessageBoxScript boxes;
    struct Case { std::wstring data; UINT result; bool allowed; };
    const std::wstring full = DataNamed(L"ConfigureWeb");
    for (const Case& c : {Case{DataNamed(L"ConfigureWebX"), 1603, false},
                          {L"ConfigureWeb" + std::wstring(1, S) + L"2", 0, false},
                          {full, 0, true}}) {
        Set(L"CustomActionData", c.data);
        EXPECT_EQ(c.result, ConfigureWeb(Session()));
        EXPECT_EQ(c.allowed, Extensions().find(L"1,C:\\WINDOWS\\aspnet_isapi.dll") != std::wstring::npos);
    }
}

TEST_F(WebActions, EnableAspIisAllowsTheNamedExtensionAndLeavesAServerWithoutAListAlone) {
    Set(L"CustomActionData", L"");
    EXPECT_EQ(0u, EnableASPIIS(Session()));
    EXPECT_EQ(0, model.Calls("GetData"));
    Set(L"CustomActionData", L"ASP.NET v2.0");
    model.PutMultiString(L"/LM/W3SVC", 2168, {kAspNetEntry});
    EXPECT_EQ(0u, EnableASPIIS(Session()));
    EXPECT_EQ(0u, Extensions().find(L"1,C:\\WINDOWS\\aspnet_isapi.dll"));
}

TEST_F(WebActions, PoolModeIsSwitchedTo64BitAndReportedAsItsValueOrErr) {
    model.PutDword(L"/LM/W3SVC/AppPools", 9040, 1, 1);
    EXPECT_EQ(0u, GetValueEnable32BitModeOn64(Session()));
    EXPECT_EQ(L"1", Get(L"GetValueEnable32BitModeOn64Result"));
    EXPECT_EQ(0u, SetEnable64BitMode(Session()));
    EXPECT_EQ(0u, GetValueEnable32BitModeOn64(Session()));
    EXPECT_EQ(L"0", Get(L"GetValueEnable32BitModeOn64Result"));
    model.Fail("GetData", E_FAIL);
    EXPECT_EQ(0u, GetValueEnable32BitModeOn64(Session()));
    EXPECT_EQ(L"ERR", Get(L"GetValueEnable32BitModeOn64Result"));
    EXPECT_FALSE(log.InfoLinesWith(L"GetEnable32BitAppOnWin64 failed.").empty());
}

TEST_F(WebActions, TargetSiteIsTheDefaultOnXpElseTheSmallestFreeNumber) {
    for (const wchar_t* key : {L"1", L"2", L"4"}) model.AddSite(key, L":80:", L"Site");
    Set(L"VersionNT", L"501");
    EXPECT_EQ(0u, SetTargetSiteId(Session()));
    EXPECT_EQ((Lines{L"1", L"Default Web Site"}), (Lines{Get(L"WEBSITEMBROOTID"), Get(L"WEBSITENAME")}));
    Set(L"VersionNT", L"601");
    EXPECT_EQ(0u, SetTargetSiteId(Session()));
    EXPECT_EQ(L"3", Get(L"WEBSITEMBROOTID"));
}

TEST_F(WebActions, ServerBindingsOfTheTargetSiteFillTheSiteProperties) {
    model.AddSite(L"3", L"10.0.0.1:8080:reports.test", L"Reports");
    package.Property(L"HOSTHEADER", L"old").Property(L"TCPPORT", L"1");
    Set(L"WEBSITEMBROOTID", L"4");  // no such site: nothing changes
    EXPECT_EQ(0u, GetIIsServerBindings(Session()));
    EXPECT_EQ(L"old", Get(L"HOSTHEADER"));
    Set(L"WEBSITEMBROOTID", L"3");
    EXPECT_EQ(0u, GetIIsServerBindings(Session()));
    EXPECT_EQ((Lines{L"reports.test", L"10.0.0.1", L"8080"}),
              (Lines{Get(L"HOSTHEADER"), Get(L"IPADDRESS"), Get(L"TCPPORT")}));
}

// A Cancel in a trace box between opening and closing the IIS objects aborts
// the action; the objects must go with it.
TEST_F(WebActions, ATraceCancelledInsideTheIisBracketLeavesNoIisObject) {
    model.AddSite(L"3", L"10.0.0.1:8080:reports.test", L"Reports");
    model.PutMultiString(L"/LM/W3SVC", 2168, {kAspNetEntry});
    package.Property(L"CustomActionData", L"ASP.NET v2.0").Property(L"WEBSITEMBROOTID", L"3");
    struct Case { const wchar_t* name; UINT(__stdcall* action)(MSIHANDLE); const wchar_t* inside; };
    for (const Case& c : {Case{L"EnableASPIIS", EnableASPIIS, L"szAspNetVerStr"},
                          {L"GetIIsServerBindings", GetIIsServerBindings, L"Server Bindings set"}}) {
        OndexRegistryScope registry;
        OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", c.name, 0x104);  // trace to boxes
        size_t before = 0;
        {
            MessageBoxScript probe;
            c.action(Session());
            while (before < probe.boxes().size() && probe.boxes()[before].text.find(c.inside) == std::wstring::npos) ++before;
            ASSERT_LT(before, probe.boxes().size()) << c.name;
        }
        MessageBoxScript boxes;
        for (size_t i = 0; i < before; ++i) boxes.Answer(IDOK);
        boxes.Answer(IDCANCEL).Answer(IDCANCEL);
        EXPECT_EQ(1602u, c.action(Session())) << c.name;
        EXPECT_EQ(0, IisDoubles::Live()) << c.name;
    }
}

TEST_F(WebActions, TypedPortIsRewrittenThenCheckedAgainstTheFirstSiteOnIt) {
    model.AddSite(L"1", L":80:", L"Reports");
    model.AddSite(L"2", L":80:", L"Second");
    struct Case { const wchar_t* port; const wchar_t* name; const wchar_t* disable; const wchar_t* verdict; const wchar_t* port2; };
    for (const Case& c : {Case{L"0080", L"Reports", L"", L"OK_EXIST", L"80"},
                          {L"80", L"Second", L"", L"E_TCPPORTVALUE_PORTOCCUPIED", L"80"},
                          {L"81", L"Reports", L"", L"OK", L"81"},
                          {L"80", L"Other", L"1", L"OK", L"80"},
                          {L"8a", L"Reports", L"", L"E_TCPPORTVALUE_NOTNUMERIC", L"8a"}}) {
        Set(L"EDIT_TCPPORT", c.port);
        Set(L"EDIT_NEWWEBSITENAME", c.name);
        Set(L"DISABLETCPPORTCHECKING", c.disable);
        EXPECT_EQ(0u, CheckWebConfig(Session()));
        EXPECT_EQ(c.verdict, Get(L"CheckWebConfigResultCode")) << c.port << c.name;
        EXPECT_EQ(c.port2, Get(L"EDIT_TCPPORT")) << c.port;
    }
}
