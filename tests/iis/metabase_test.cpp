// The metabase layer against the IIS doubles, in a real session whose log
// the layer writes to; the last case runs with the IIS classes missing, as
// in Wine.
#include "iis/iis_fixture.h"
#include "iis/metabase.h"
#include "runtime/session.h"

using namespace ondex::iis;
using namespace ondex::test;

namespace {

constexpr HRESULT kFail = E_FAIL;
constexpr HRESULT kNotRegistered = REGDB_E_CLASSNOTREG;

struct Metabase : IisTest {
    std::unique_ptr<ondex::runtime::WcaInitializer> layer;
    DWORD lastError = 0;

    void SetUp() override { layer = std::make_unique<ondex::runtime::WcaInitializer>(package.Session(), "IisTest"); }
    void TearDown() override {
        layer.reset();
        EXPECT_FALSE(g_spAdminBase);
        EXPECT_EQ(0u, model.OpenHandles());
        IisTest::TearDown();
    }
    // Runs `work` inside the shared bracket.
    template <typename Work>
    auto Bracketed(Work work) {
        EXPECT_EQ(S_OK, InitWamAdmin());
        auto result = work();
        lastError = GetLastError();
        UnInitWamAdmin();
        return result;
    }
};

// Sites in EnumKeys order, with the keys the finders must pass over.
void ArrangeSites(MetabaseModel& m) {
    m.AddKey(L"/LM/W3SVC/Filters");                     // no KeyType
    m.PutString(L"/LM/W3SVC/AppPools", 1002, L"IIsApplicationPools");
    m.AddSite(L"1", L":80:", L"Default Web Site");
    m.AddSite(L"2", L"", L"NoBind");                   // no ServerBindings
    m.AddSite(L"3", L"80", L"Bad");                     // binding cannot be split
    m.AddSite(L"5", L":8080:", L"");                    // no ServerComment
    m.AddSite(L"6", L":8080:", L"Later");
    m.AddSite(L"7", L":80:", L"Second on 80");
    m.AddSite(L"8", L"10.0.0.1:443:www.ondex.test", L"Ssl");
    m.Put(L"/LM/W3SVC/8", {5506, 0, 1, 3, {0xAB}});
    m.AddSite(L"9", L":9090:", L"");
    m.PutString(L"/LM/W3SVC/10", 1002, L"iiswebserver");  // not exactly "IIsWebServer"
}

TEST_F(Metabase, FindersTakeTheFirstMatchingSiteInEnumerationOrder) {
    ArrangeSites(model);
    const struct { DWORD port; BOOL cert; DWORD site; } bySite[] = {
        {80, FALSE, 1}, {80, TRUE, 1}, {8080, FALSE, 5}, {443, FALSE, 8}, {443, TRUE, 0}, {81, FALSE, kNoSite},
    };
    for (const auto& c : bySite) EXPECT_EQ(c.site, WebFindSite(c.port, nullptr, nullptr, c.cert)) << c.port;

    const struct { const wchar_t *name, *port; bool result; const wchar_t* key; BOOL found; } byBase[] = {
        {L"Default Web Site", L"80", true, L"/LM/W3SVC/1", TRUE},
        {L"Second on 80", L"80", true, L"/LM/W3SVC/1", FALSE},  // the first site on the port decides
        {L"*", L"80x", true, L"/LM/W3SVC/1", TRUE},
        {L"Later", L"8080", true, L"/LM/W3SVC/6", TRUE},         // site 5 has no comment
        {L"x", L"9090", false, L"", FALSE},
        {L"x", L"81", false, L"", FALSE},
    };
    for (const auto& c : byBase) {
        wchar_t key[256] = {};
        BOOL found = TRUE;
        EXPECT_EQ(c.result, WebFindBase(c.name, nullptr, c.port, nullptr, nullptr, key, &found)) << c.name;
        EXPECT_STREQ(c.key, key) << c.name;
        EXPECT_EQ(c.found, found) << c.name;
    }

    const struct { const wchar_t* comment; DWORD site; } byComment[] = {
        {L"Second on 80", 7}, {L"Bad", 3}, {L"NoBind", 2}, {L"default web site", kNoSite},
    };
    for (const auto& c : byComment) EXPECT_EQ(c.site, WebFindSiteByComment(c.comment, package.Session())) << c.comment;
    EXPECT_TRUE(Logged(L"Cannot fount website in metabase"));
    EXPECT_EQ(L"4", GetNextFreeSiteId());
}

TEST_F(Metabase, ReadFailuresEndTheSearchWithTheirLogLine) {
    const struct { std::uint32_t id; const wchar_t* line; } cases[] = {
        {1002, L"Error 0x80004005: Failed to get key from metabase while searching for web servers"},
        {1023, L"Error 0x80004005: Failed to get address from metabase while searching for web servers"},
        {1015, L"Error 0x80004005: Failed to get comment (site name) from metabase while searching for web servers"},
    };
    ArrangeSites(model);
    for (const auto& c : cases) {
        log.Clear();
        model.Fail("GetData", kFail, L"/LM/W3SVC/1", c.id);
        BOOL found = FALSE;
        EXPECT_FALSE(WebFindBase(L"*", nullptr, L"80", nullptr, nullptr, nullptr, &found));
        EXPECT_TRUE(Logged(c.line)) << c.line;
    }
    model.Fail("EnumKeys", kFail);
    EXPECT_EQ(kNoSite, WebFindSite(80, nullptr, nullptr, FALSE));
}

TEST_F(Metabase, SetValueBuildsEachDataTypeAndLeavesErrorsInLastError) {
    model.AddKey(L"/LM/W3SVC/1");
    const DWORD dword = 7;
    const std::vector<BYTE> bytes{1, 2, 3};
    const struct { DWORD type; DWORD length; const void* data; BOOL ok; DWORD error; std::vector<BYTE> stored; } cases[] = {
        {1, 99, &dword, TRUE, 0, {7, 0, 0, 0}},
        {2, 1, L"MY", TRUE, 0, {'M', 0, 'Y', 0, 0, 0}},
        {4, 0, L"%S%", TRUE, 0, {'%', 0, 'S', 0, '%', 0, 0, 0}},
        {3, 2, bytes.data(), TRUE, 0, {1, 2}},
        {5, 0, L"a;b", TRUE, 0, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {5, 0, L"", FALSE, 50, {}},
        {0, 4, &dword, FALSE, 50, {}},
        {6, 4, &dword, FALSE, 87, {}},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        const BOOL ok = Bracketed([&] { return MetaSetValue(L"/LM/W3SVC/1", 4000 + c.type, 0, 1, c.type, c.length, c.data); });
        EXPECT_EQ(c.ok, ok) << c.type;
        const MetaValue* stored = model.Find(L"/LM/W3SVC/1", 4000 + c.type);
        if (c.ok) ASSERT_TRUE(stored) << c.type;
        if (c.ok) EXPECT_EQ(c.stored, stored->bytes) << c.type;
        else EXPECT_EQ(c.error, lastError) << c.type;
    }
    for (const char* method : {"OpenKey", "SetData"}) {
        model.Fail(method, kFail);
        EXPECT_FALSE(Bracketed([&] { return MetaSetValue(L"/LM/W3SVC/1", 1, 0, 1, 1, 4, &dword); })) << method;
        EXPECT_EQ(static_cast<DWORD>(kFail), lastError) << method;
    }
    EXPECT_EQ(0, model.Calls("SaveData"));
}

TEST_F(Metabase, GetValueGrowsItsBufferOnceAndInheritsWhenAsked) {
    model.Put(L"/LM/W3SVC", {6000, 1, 1, 1, {9, 0, 0, 0}});
    model.Put(L"/LM/W3SVC/1/ROOT", {3001, 0, 2, 2, std::vector<std::uint8_t>(600, 'x')});
    METADATA_RECORD path{3001, 0, 2, 0, 0, nullptr, 0};
    EXPECT_EQ(S_OK, MetaGetValue(nullptr, METADATA_MASTER_ROOT_HANDLE, L"/LM/W3SVC/1/ROOT", &path));
    EXPECT_EQ(600u, path.dwMDDataLen);
    EXPECT_EQ(2, model.Calls("GetData"));
    METADATA_RECORD flags{6000, 1, 1, 0, 0, nullptr, 0};
    EXPECT_EQ(S_OK, MetaGetValue(nullptr, METADATA_MASTER_ROOT_HANDLE, L"/LM/W3SVC/1/ROOT", &flags));
    EXPECT_EQ(9u, *reinterpret_cast<DWORD*>(flags.pbMDData));
    flags.dwMDAttributes = 0;
    EXPECT_EQ(kHrDataNotFound, MetaGetValue(nullptr, METADATA_MASTER_ROOT_HANDLE, L"/LM/W3SVC/1/ROOT", &flags));
    MetaFreeValue(&path);
    MetaFreeValue(&flags);
    EXPECT_EQ(nullptr, path.pbMDData);
}

TEST_F(Metabase, EnableAspNetAllowsTheFirstMatchingExtension) {
    const std::vector<std::wstring> list{L"0,a.dll,0,ASP.NET v1.1", L"0,b.dll,0,ASP.NET v2.0", L"0,c.dll,0,ASP.NET v2.0"};
    const struct { bool hasList; const wchar_t* text; BOOL result; const wchar_t* second; int writes; } cases[] = {
        {false, L"ASP.NET v2.0", TRUE, nullptr, 0},
        {true, L"asp.net", FALSE, L"0,b.dll,0,ASP.NET v2.0", 0},
        {true, L"ASP.NET v2.0", TRUE, L"1,b.dll,0,ASP.NET v2.0", 1},
    };
    model.AddKey(L"/LM/W3SVC");
    for (const auto& c : cases) {
        if (c.hasList && !model.Find(L"/LM/W3SVC", 2168)) model.PutMultiString(L"/LM/W3SVC", 2168, list);
        EXPECT_EQ(c.result, Bracketed([&] { return EnableASPNET(nullptr, c.text, nullptr); })) << c.text;
        if (c.second) EXPECT_EQ(std::wstring(L"0,a.dll,0,ASP.NET v1.1\0", 23) + c.second + L'\0' + list[2] + L'\0' + L'\0',
                                model.Text(L"/LM/W3SVC", 2168));
        EXPECT_EQ(c.writes, model.Calls("SetData"));
    }
    EXPECT_TRUE(Logged(L"get metadata key WebSvcExtRestrictionList"));
}

TEST_F(Metabase, DeleteVirtualRootRemovesTheApplicationAndItsKey) {
    model.AddKey(L"/LM/W3SVC/1/ROOT/Almanac");
    EXPECT_TRUE(Bracketed([] { return DeleteVirtualRoot(L"Almanac"); }));
    EXPECT_FALSE(model.HasKey(L"/LM/W3SVC/1/ROOT/Almanac"));
    EXPECT_TRUE(Bracketed([] { return DeleteApplication(L"W3SVC/2/ROOT"); }));
    EXPECT_EQ((std::vector<std::wstring>{L"/LM/W3SVC/1/ROOT/Almanac recursive", L"/LM/W3SVC/2/ROOT recursive"}),
              model.deletedApplications);
    EXPECT_EQ(1, model.Calls("SaveData"));
    model.Fail("AppDelete", kFail);
    EXPECT_FALSE(Bracketed([] { return DeleteVirtualRoot(L"Other"); }));
    EXPECT_EQ(static_cast<DWORD>(kFail), lastError);
    EXPECT_FALSE(Bracketed([] { return DeleteVirtualRoot(L"Missing"); }));
    EXPECT_EQ(static_cast<DWORD>(MetabaseModel::kPathNotFound), lastError);
}

TEST_F(Metabase, SiteCertificateGetsHashStoreAndSecureBinding) {
    model.AddKey(L"/LM/W3SVC/4");
    EXPECT_TRUE(Bracketed([] { return EnableSiteCert(L"4", L"443", L"0a1bFF"); }));
    EXPECT_EQ((std::vector<std::uint8_t>{0x0A, 0x1B, 0xFF}), model.Find(L"/LM/W3SVC/4", 5506)->bytes);
    EXPECT_EQ(std::wstring(L"MY\0", 3), model.Text(L"/LM/W3SVC/4", 5511));
    EXPECT_EQ(std::wstring(L":443:\0\0", 7), model.Text(L"/LM/W3SVC/4", 2021));
    model.Fail("SetData", kFail, L"", 5511);
    EXPECT_FALSE(Bracketed([] { return EnableSiteCert(L"4", L"444", L"00"); }));
    EXPECT_EQ(std::wstring(L":443:\0\0", 7), model.Text(L"/LM/W3SVC/4", 2021));
}

// The flags' values and the bindings are checked through their actions (web_actions_test).
TEST_F(Metabase, AFailingOpenKeyOfThePoolFlagsIsLoggedAndReturned) {
    model.Fail("OpenKey", kFail);
    EXPECT_EQ(kFail, Bracketed([&] { return SetEnable32BitAppOnWin64(package.Session()); }));
    EXPECT_EQ(1u, log.TimestampedLines().size());
    EXPECT_EQ(0u, log.TimestampedLines()[0].rfind(L"OpenKey failed.: (0x80004005): ", 0));
}

TEST_F(Metabase, StartThroughAdsiSetsTheServerStateOrStoresTheError) {
    model.AddSite(L"2", L":80:", L"");
    EXPECT_EQ(S_OK, ExecIisWebServerMethod(L"Start", 2, package.Session()));
    EXPECT_EQ((std::vector<std::uint8_t>{2, 0, 0, 0}), model.Find(L"/LM/W3SVC/2", 1016)->bytes);
    EXPECT_EQ(L"", package.Get(L"ExecIisWebServerMethodError"));
    const struct { const char* method; std::wstring text; } cases[] = {
        {"CoGetObject", L"CoGetObject IIS://localhost/W3SVC/2 failed."},
        {"GetIDsOfNames", L"GetIDsOfNames Start failed."},
        {"Invoke", L"Invoke Start failed."},
    };
    for (const auto& c : cases) {
        model.Fail(c.method, kFail);
        EXPECT_TRUE(FAILED(ExecIisWebServerMethod(L"Start", 2, package.Session())));
        EXPECT_EQ(0u, package.Get(L"ExecIisWebServerMethodError").rfind(c.text + L": (0x", 0)) << c.text;
        EXPECT_TRUE(Logged(c.text)) << c.text;
    }
}

// Each activation of a missing class with context 23 can take Wine about 10 s,
// so one call per kind of object: the shared pair, a private admin object
// and the ADSI moniker.
TEST(MetabaseUnregistered, MissingIisClassesGiveTheFailureResults) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    TestPackage package;
    LogCapture log;
    EXPECT_EQ(kNotRegistered, InitWamAdmin());
    EXPECT_FALSE(g_spAdminBase);
    EXPECT_FALSE(g_spWamAdmin);
    EXPECT_EQ(kNoSite, WebFindSiteByComment(L"Default Web Site", package.Session()));
    EXPECT_TRUE(FAILED(ExecIisWebServerMethod(L"Start", 1, package.Session())));
    EXPECT_EQ(0u, package.Get(L"ExecIisWebServerMethodError").rfind(L"CoGetObject IIS://localhost/W3SVC/1 failed.: (0x", 0));
    const auto lines = log.TimestampedLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"Cannot instatiate IMSAdminBase", lines[0]);
    CoUninitialize();
}

}  // namespace
