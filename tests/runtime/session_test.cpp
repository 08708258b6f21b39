// The session layer against real installer sessions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "runtime/session.h"
#include "runtime/tracer.h"
#include "support/package.h"
#include "support/seam_override.h"

using namespace ondex::runtime;
using namespace ondex::test;

namespace {

class SessionLayer : public testing::Test {
protected:
    void Attach(const char* name = "SessionTest") {
        WcaResetProcessState();
        ASSERT_EQ(S_OK, WcaInitialize(package.Session(), name));
    }
    void TearDown() override { WcaFinalize(0); }

    std::wstring Property(const wchar_t* name) {
        ScopedLayerString value;
        EXPECT_EQ(S_OK, WcaGetProperty(name, value.put()));
        return value.str();
    }

    OndexRegistryScope registry;
    TestPackage package;
    LogCapture log;
};

TEST_F(SessionLayer, LogNameOf31CharactersAttachesAnd32FailsWithALoggedError) {
    Attach(std::string(31, 'a').c_str());
    EXPECT_TRUE(WcaIsAttached());
    EXPECT_NE(0u, WcaGetDatabaseHandle());

    // Inside an attached action the failed attach gives the outer one back.
    const std::string tooLong(32, 'b');
    const MSIHANDLE outerDatabase = WcaGetDatabaseHandle();
    EXPECT_EQ(kHrBufferTooSmall, WcaInitialize(package.Session(), tooLong.c_str()));
    EXPECT_TRUE(WcaIsAttached());
    EXPECT_EQ(outerDatabase, WcaGetDatabaseHandle());
    EXPECT_EQ(std::string(31, 'a'), WcaGetLogName());
    WcaFinalize(0);
    EXPECT_EQ(kHrBufferTooSmall, WcaInitialize(package.Session(), tooLong.c_str()));
    EXPECT_FALSE(WcaIsAttached());
    EXPECT_EQ(0u, WcaGetDatabaseHandle());
    EXPECT_TRUE(log.HasInfoLine(L"Error 0x8007007a: Failed to copy CustomAction log name: " +
                                std::wstring(tooLong.begin(), tooLong.end())));
}

TEST_F(SessionLayer, PropertiesAreReadGrowingFormattedAndSet) {
    package.Property(L"EXACT", L"12345678").Property(L"LONG", std::wstring(600, L'x'))
        .Property(L"GREETING", L"hello [EXACT]");
    Attach();

    // A caller's buffer exactly as long as the value still reads it whole.
    LPWSTR buffer = nullptr;
    ASSERT_EQ(S_OK, StrAlloc(&buffer, 8));
    EXPECT_EQ(S_OK, WcaGetProperty(L"EXACT", &buffer));
    EXPECT_STREQ(L"12345678", buffer);
    EXPECT_EQ(S_OK, WcaGetProperty(L"LONG", &buffer));
    EXPECT_EQ(std::wstring(600, L'x'), buffer);
    size_t capacity = 0;
    StrSize(buffer, &capacity);
    EXPECT_GE(capacity, 601u);
    StrFree(buffer);

    ScopedLayerString formatted;
    EXPECT_EQ(S_OK, WcaGetFormattedProperty(L"GREETING", formatted.put()));
    EXPECT_EQ(L"hello 12345678", formatted.str());

    EXPECT_EQ(S_OK, WcaSetProperty(L"NEWPROP", L"set"));
    EXPECT_EQ(L"set", Property(L"NEWPROP"));
    EXPECT_TRUE(WcaIsPropertySet("NEWPROP"));
    EXPECT_FALSE(WcaIsPropertySet("MISSINGPROP"));

    ScopedLayerString none;
    EXPECT_EQ(E_INVALIDARG, WcaGetProperty(L"", none.put()));
    EXPECT_TRUE(log.InfoLines().empty());
}

TEST_F(SessionLayer, ViewsEndWithNoMoreItemsSilentlyAndBadQueriesAreLogged) {
    package.Sql(L"CREATE TABLE `Item` (`Name` CHAR(32) NOT NULL, `Count` SHORT PRIMARY KEY `Name`)")
        .Sql(L"INSERT INTO `Item` (`Name`, `Count`) VALUES ('one', 1)")
        .Sql(L"INSERT INTO `Item` (`Name`) VALUES ('empty')");
    Attach("Views");

    ondex::platform::UniqueMsiHandle view;
    ASSERT_EQ(S_OK, WcaOpenExecuteView(L"SELECT `Name`, `Count` FROM `Item`", view.put()));
    ondex::platform::UniqueMsiHandle record;
    std::vector<HRESULT> integerStatus;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(S_OK, WcaFetchRecord(view.get(), record.put()));
        ScopedLayerString name;
        WcaGetRecordString(record.get(), 1, name.put());
        int count = 0;
        const HRESULT hr = WcaGetRecordInteger(record.get(), 2, &count);
        EXPECT_EQ(name.str() == L"empty" ? S_FALSE : S_OK, hr) << name.str();  // a null count is S_FALSE
        if (hr == S_OK) EXPECT_EQ(1, count);
    }
    EXPECT_EQ(kHrNoMoreItems, WcaFetchRecord(view.get(), record.put()));
    EXPECT_TRUE(log.InfoLines().empty());

    ondex::platform::UniqueMsiHandle bad;
    EXPECT_TRUE(FAILED(WcaOpenView(L"SELECT * FROM `Nowhere`", bad.put())));
    ASSERT_EQ(1u, log.InfoLines().size());
    EXPECT_TRUE(std::regex_match(log.InfoLines()[0], std::wregex(L"Views:  Error 0x8007[0-9a-f]{4}: failed to open "
                                                                 L"view on database with SQL: SELECT \\* FROM `Nowhere`")))
        << log.InfoLines()[0];
}

TEST_F(SessionLayer, RecordFormattingKeepsTheNullSeparatorToken) {
    package.Property(L"FOLDER", L"C:\\Data");
    Attach();
    ondex::platform::UniqueMsiHandle record(MsiCreateRecord(1));
    MsiRecordSetStringW(record.get(), 1, L"a[~]b;[FOLDER]");
    ScopedLayerString text;
    EXPECT_EQ(S_OK, WcaGetRecordFormattedString(record.get(), 1, text.put()));
    EXPECT_EQ(L"a[~]b;C:\\Data", text.str());
}

TEST_F(SessionLayer, TemporaryRowsAreTypedByTheTablesColumnsAndGetTheSeed) {
    package.Sql(L"CREATE TABLE `ComboBox` (`Property` CHAR(72) NOT NULL, `Order` SHORT NOT NULL, "
                L"`Value` CHAR(64) NOT NULL, `Text` CHAR(64) LOCALIZABLE PRIMARY KEY `Property`, `Order`)")
        .Sql(L"CREATE TABLE `Blob` (`Name` CHAR(32) NOT NULL, `Data` OBJECT PRIMARY KEY `Name`)");
    Attach("TempRows");
    ScopedApiOverride seam;
    seam.api().GetTickCount = []() -> DWORD { return 1000; };

    MSIHANDLE view = 0, types = 0;
    EXPECT_EQ(S_OK, WcaAddTempRecord(&view, &types, L"ComboBox", 1, 3, L"ACCOUNT", 1, L"first"));
    EXPECT_EQ(S_OK, WcaAddTempRecord(&view, &types, L"ComboBox", 1, 3, L"ACCOUNT", 2, L"second"));
    EXPECT_EQ(S_OK, WcaAddTempRecord(&view, &types, L"ComboBox", 2, 3, L"PLAIN", 7, L"third"));
    MsiCloseHandle(types);
    MsiCloseHandle(view);

    ondex::platform::UniqueMsiHandle rows;
    ASSERT_EQ(S_OK, WcaOpenExecuteView(L"SELECT `Property`, `Order`, `Value`, `Text` FROM `ComboBox` ORDER BY `Value`",
                                       rows.put()));
    std::vector<std::wstring> seen;
    ondex::platform::UniqueMsiHandle row;
    while (WcaFetchRecord(rows.get(), row.put()) == S_OK) {
        ScopedLayerString property;
        WcaGetRecordString(row.get(), 1, property.put());
        int order = 0;
        WcaGetRecordInteger(row.get(), 2, &order);
        EXPECT_TRUE(MsiRecordIsNull(row.get(), 4));  // three values leave Text empty
        seen.push_back(property.str() + L"/" + std::to_wstring(order));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"ACCOUNT1001/1", L"ACCOUNT1002/2", L"PLAIN/7"}), seen);

    MSIHANDLE blobView = 0, blobTypes = 0;
    EXPECT_EQ(kHrDatatypeMismatch, WcaAddTempRecord(&blobView, &blobTypes, L"Blob", 0, 2, L"x", L"y"));
    MsiCloseHandle(blobTypes);
    MsiCloseHandle(blobView);
    EXPECT_TRUE(log.HasInfoLine(L"TempRows:  Error 0x8007065d: unsupported data type 'V0' in column: 2"));
}

TEST_F(SessionLayer, DeferredActionSetsItsDataAndAddsItsCost) {
    Attach("Deferred");
    EXPECT_TRUE(FAILED(WcaDoDeferredAction(L"NoSuchAction", L"data", 3680)));
    EXPECT_EQ(L"data", Property(L"NoSuchAction"));
    auto progress = log.Progress();
    ASSERT_EQ(1u, progress.size());
    EXPECT_EQ((std::vector<int>{3, 3680, 0}), progress[0]);
    EXPECT_EQ(1u, log.InfoLinesWith(L": Failed MsiDoAction on deferred action").size());

    log.Clear();
    WcaSetProperty(L"Untouched", L"before");
    WcaDoDeferredAction(L"Untouched", L"", 0);
    EXPECT_EQ(L"before", Property(L"Untouched"));
    EXPECT_TRUE(log.Progress().empty());
}

TEST_F(SessionLayer, VerboseLinesFollowLogverboseOrTheLoggingPolicy) {
    const wchar_t* policy = L"Software\\Policies\\Microsoft\\Windows\\Installer";
    struct Case {
        const wchar_t* logverbose;
        const wchar_t* logging;
        bool writes;
    } cases[] = {
        {L"1", nullptr, true},
        {L"", L"iwearmuV", true},
        {L"", L"iwearmup", false},
        {L"", L"iwearmupxxxxxxxxxxxxvvv", false},  // longer than the 16 characters read
        {L"", nullptr, false},
    };
    for (const auto& c : cases) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, policy);
        if (c.logging) OndexRegistryScope::SetString(policy, L"Logging", c.logging);
        TestPackage fresh;
        if (c.logverbose[0]) fresh.Property(L"LOGVERBOSE", c.logverbose);
        WcaResetProcessState();
        WcaInitialize(fresh.Session(), "Verbose");
        log.Clear();
        WcaLog(LOGMSG_VERBOSE, "detail %d", 7);
        WcaLog(LOGMSG_STANDARD, "always");
        WcaFinalize(0);
        EXPECT_EQ(c.writes, log.HasInfoLine(L"Verbose:  detail 7")) << (c.logging ? c.logging : L"-");
        EXPECT_TRUE(log.HasInfoLine(L"Verbose:  always"));
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, policy);
}

TEST_F(SessionLayer, MsiPropertyAlwaysReflectsTheCurrentValue) {
    package.Property(L"TARGET", L"first").Property(L"REF", L"[TARGET]!");
    MsiProperty target(package.Session(), L"TARGET");
    EXPECT_STREQ(L"first", target.Value());
    // A value that does not fit the first read's buffer takes a second read.
    for (const size_t length : {127u, 128u, 600u}) {
        const std::wstring value(length, L'v');
        target = value;
        EXPECT_EQ(value, target.Str());
        EXPECT_EQ(length, target.Length());
    }
    target = L"second value";
    EXPECT_EQ(L"second value", target.Str());

    wchar_t small[7];
    target.CopyTo(small, 7);
    EXPECT_STREQ(L"second", small);

    // Format attaches the layer for the call when nobody has.
    MsiProperty ref(package.Session(), L"REF");
    EXPECT_FALSE(WcaIsAttached());
    EXPECT_EQ(L"second value!", ref.Format());
    EXPECT_FALSE(WcaIsAttached());
}

TEST_F(SessionLayer, ReleasedPropertiesTraceTheirValueButNeverAHiddenOne) {
    package.Property(L"MsiHiddenProperties", L"SECRET;OTHER").Property(L"SECRET", L"s3cr3t")
        .Property(L"PLAIN", L"visible");
    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"MsiProperty::freePropValueBuf", 0x104);
    MessageBoxScript boxes;
    {
        MsiProperty secret(package.Session(), L"SECRET");
        MsiProperty plain(package.Session(), L"PLAIN");
        secret.Value();
        plain.Value();
    }
    for (const auto& box : boxes.Shown()) EXPECT_EQ(std::wstring::npos, box.find(L"s3cr3t"));
    EXPECT_THAT(boxes.Shown(), testing::Contains(L"MsiProperty_freePropValueBuf: Deleting MsiProperty PLAIN|visible"));
}

TEST_F(SessionLayer, InitializerAttachesForItsScopeAndTracesWhenAsked) {
    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"INTF_WcaInitializer", 0x104);
    MessageBoxScript boxes;
    {
        WcaInitializer scope(package.Session(), "Scoped");
        EXPECT_EQ(S_OK, scope.Status());
        EXPECT_TRUE(WcaIsAttached());
        EXPECT_STREQ("Scoped", WcaGetLogName());
    }
    EXPECT_FALSE(WcaIsAttached());
    EXPECT_EQ(std::vector<std::wstring>{L"WcaInitializer: WcaInitializer|Constructing WcaInitializer ...\nSUCCEEDED!"},
              boxes.Shown());
}

TEST(ComponentState, InstallingAndUninstallingFollowActionAndInstalledStates) {
    EXPECT_TRUE(WcaIsInstalling(INSTALLSTATE_ABSENT, INSTALLSTATE_LOCAL));
    EXPECT_TRUE(WcaIsInstalling(INSTALLSTATE_ABSENT, INSTALLSTATE_SOURCE));
    EXPECT_TRUE(WcaIsInstalling(INSTALLSTATE_LOCAL, INSTALLSTATE_DEFAULT));
    EXPECT_FALSE(WcaIsInstalling(INSTALLSTATE_ABSENT, INSTALLSTATE_DEFAULT));
    EXPECT_FALSE(WcaIsInstalling(INSTALLSTATE_LOCAL, INSTALLSTATE_UNKNOWN));
    EXPECT_TRUE(WcaIsUninstalling(INSTALLSTATE_LOCAL, INSTALLSTATE_ABSENT));
    EXPECT_TRUE(WcaIsUninstalling(INSTALLSTATE_SOURCE, INSTALLSTATE_ADVERTISED));
    EXPECT_FALSE(WcaIsUninstalling(INSTALLSTATE_ABSENT, INSTALLSTATE_ABSENT));
    EXPECT_FALSE(WcaIsUninstalling(INSTALLSTATE_LOCAL, INSTALLSTATE_LOCAL));
}

}  // namespace

TEST_F(SessionLayer, NarrowLogLinesArriveWholeWithWideTextOutsideLatin1AndWithTheirBrackets) {
    Attach("Fmt");
    WcaLog(LOGMSG_STANDARD, "%S|%S|%S", L"Gruppe \u20AC", L"\u0413\u0440\u0443\u043F\u043F\u0430", L"\u7EC4");
    WcaLog(LOGMSG_STANDARD, "[%-4S][%.2S][%ls][%hs][%s][%c%C]", L"ab", L"xyz", L"w", "n", "[ProductName]", 'c',
           L'\u20AC');
    WcaLog(LOGMSG_STANDARD, "%I64u %lld %5.1f %x %X %u %i %% %Z", 18446744073709551615ull, -5ll, 2.5, 255u, 255u,
           7u, -7);
    WcaLogError(E_FAIL, "query %S failed", L"SELECT \u4E2D");
    EXPECT_THAT(log.InfoLines(), testing::ElementsAre(L"Fmt:  Gruppe \u20AC|??????|?",
                                                      L"Fmt:  [ab  ][xy][w][n][[ProductName]][c\u20AC]",
                                                      L"Fmt:  18446744073709551615 -5   2.5 ff FF 7 -7 % %Z",
                                                      L"Fmt:  Error 0x80004005: query SELECT ? failed"));
}

TEST_F(SessionLayer, CancelOnThePropertyReleaseBoxFreesTheBufferAndShowsOneBox) {
    OndexRegistryScope::SetDword(L"SOFTWARE\\Ondex\\setupdebug", L"MsiProperty::freePropValueBuf", 0x104);
    MessageBoxScript boxes;
    {
        MsiProperty property(package.Session(), L"ProductName");
        boxes.Answer(IDCANCEL);
        EXPECT_THROW(property.Value(), TraceAbort);  // the re-read releases the first buffer
    }
    EXPECT_EQ(1u, boxes.boxes().size());
}
