// The database check and the lock record in real sessions, against the OLE
// DB provider double and its scripted server.
#include <gtest/gtest.h>

#include <windows.h>
#define SECURITY_WIN32
#include <oledberr.h>
#include <security.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "exports/exports.h"
#include "sql/oledb_double.h"
#include "sql/sql_packages.h"
#include "support/package.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;
using Connections = std::vector<ReceivedProperties>;
using Script = std::function<void(ScriptedSqlServer&)>;

namespace {

constexpr wchar_t kCode[] = L"CHKRQ_PRODSQLSRV_STATUSCODE";
constexpr wchar_t kText[] = L"CHKRQ_PRODSQLSRV_STATUSTEXT";

struct DatabaseCheck : testing::Test {
    OleDbDouble sql;
    TestPackage package;
    LogCapture log;

    DatabaseCheck() { WithDatabaseCheck(package); }
    ~DatabaseCheck() override {
        SetErrorInfo(0, nullptr);
        EXPECT_EQ(0, OleDbDouble::Live());
        EXPECT_EQ(0, OleDbDouble::HeldRows());
    }
    Lines Outcome() {
        EXPECT_EQ(0u, CheckSQLServerInstance(package.Session()));
        return {package.Get(kCode), package.Get(kText)};
    }
    Lines LockFields() {
        Lines values;
        for (const std::wstring& field : kLockFields) values.push_back(package.Get(field));
        return values;
    }
    bool Logged(const std::wstring& part) const { return !log.InfoLinesWith(part).empty(); }
};

ReceivedProperties Connection(const wchar_t* source, const wchar_t* catalog, const wchar_t* user = nullptr,
                              const wchar_t* password = nullptr) {
    ReceivedProperties properties = {{DBPROP_INIT_DATASOURCE, source}, {DBPROP_INIT_CATALOG, catalog}};
    if (!user) properties.emplace_back(DBPROP_AUTH_INTEGRATED, L"SSPI");
    else properties.insert(properties.end(), {{DBPROP_AUTH_USERID, user}, {DBPROP_AUTH_PASSWORD, password}});
    return properties;
}

}  // namespace

TEST_F(DatabaseCheck, EveryStatusGivesItsCodeAndText) {
    const Lines untouched(4, L"old"), cleared(4, L"");
    const struct Case {
        const char* situation;
        Script script;
        Lines outcome, lockFields;
    } cases[] = {
        {"unreachable server", [](auto& s) { s.reachable = false; }, {L"4", L"Unknown status"}, untouched},
        {"no database", [](auto&) {}, {L"OK", L"Ready to create"}, untouched},
        {"exists, no lock row", [](auto& s) { s.databases.push_back(L"Ondex"); },
         {L"S_DBEXISTS", L"Database Ondex already exists on SQL Instance"}, cleared},
        {"locked", [](auto& s) { s.databases.push_back(L"Ondex"), s.lockRow = true; },
         {L"S_DBLOCKED", L"S_DATABASELOCKED"}, cleared},
        {"lock query fails: not locked",
         [](auto& s) { s.databases.push_back(L"Ondex"), s.lockRow = true, s.lockQueryResult = DB_E_ERRORSINCOMMAND; },
         {L"S_DBEXISTS", L"Database Ondex already exists on SQL Instance"}, cleared},
        {"Windows authentication refused on the database",
         [](auto& s) { s.databases.push_back(L"Ondex"), s.windowsAuthRefusedOnTarget = true; },
         {L"E_INACCESSIBLEDB", L"No access"}, untouched},
        {"existence query reports errors", [](auto& s) { s.existenceQueryResult = DB_S_ERRORSOCCURRED; },
         {L"3", L"Unknown status"}, untouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        sql.script = {};
        c.script(sql.script);
        for (const std::wstring& field : kLockFields) package.Set(field, L"old");
        EXPECT_EQ(c.outcome, Outcome());
        EXPECT_EQ(c.lockFields, LockFields());
    }
    EXPECT_TRUE(Logged(L"Error 0x80004005: connecting 'master' database at the server 'SRV', instance 'ONDEX'"));
    EXPECT_TRUE(Logged(L"Error 0x80040e4d: calling SqlDatabaseGetLockInfo for Ondex: unknown error"));
    EXPECT_TRUE(Logged(L"Error 0x80004005: calling SqlSessionDatabaseExists for Ondex: unknown error"));
}

TEST_F(DatabaseCheck, SqlAuthenticationOnMasterThenWindowsAuthenticationOnTheDatabase) {
    sql.script.databases.push_back(L"Ondex");
    package.Property(L"IS_SQLSERVER_USERNAME", L"sa").Property(L"IS_SQLSERVER_PASSWORD", L"pw");
    package.Set(L"IS_SQLSERVER_AUTHENTICATION", L"1");
    EXPECT_EQ((Lines{L"S_DBEXISTS", L"Database Ondex already exists on SQL Instance"}), Outcome());
    EXPECT_EQ((Connections{Connection(L"SRV\\ONDEX", L"master", L"sa", L"pw"), Connection(L"SRV\\ONDEX", L"Ondex")}),
              sql.connections);
    EXPECT_EQ((Lines{L"SELECT name FROM sysdatabases WHERE name='Ondex'", L"SELECT Info FROM Lock WHERE Held=1"}),
              sql.queries);
}

TEST_F(DatabaseCheck, AnOddAuthenticationValueIsLoggedAndWindowsAuthenticationUsedOnTheBareServer) {
    package.Set(L"SQL_SERVER_INSTANCE", L"");
    package.Set(L"IS_SQLSERVER_AUTHENTICATION", L"2");
    EXPECT_EQ((Lines{L"OK", L"Ready to create"}), Outcome());
    EXPECT_EQ(Connections{Connection(L"SRV", L"master")}, sql.connections);
    EXPECT_TRUE(Logged(L"IS_SQLSERVER_AUTHENTICATION '2' is neither 0 nor 1: Windows authentication is used"));
}

TEST_F(DatabaseCheck, TheProvidersErrorDescriptionReachesTheLog) {
    const struct { std::vector<ProviderError> records; const wchar_t *objectText, *logged; } cases[] = {
        {{{L"not for this locale", false}, {L"Invalid object name 'sysdatabases'."}, {L"second"}}, L"object",
         L"Invalid object name 'sysdatabases'."},
        {{{L"unreadable", false}}, L"Ung\u00fcltiger Objektname", L"Ung\u00fcltiger Objektname"},  // wide text kept
        {{}, L"", L"unknown error"},
    };
    for (const auto& c : cases) {
        sql.script.existenceQueryResult = DB_E_ERRORSINCOMMAND;
        sql.script.errors = c.records;
        sql.script.errorObjectDescription = c.objectText;
        log.Clear();
        EXPECT_EQ((Lines{L"3", L"Unknown status"}), Outcome());
        EXPECT_TRUE(Logged(std::wstring(L"Error 0x80040e14: calling SqlSessionDatabaseExists for Ondex: ") + c.logged))
            << c.logged;
    }
}

namespace {

std::wstring SamUserName() {
    wchar_t name[512] = L"";
    ULONG chars = 512;
    GetUserNameExW(NameSamCompatible, name, &chars);
    return name;
}

}  // namespace

TEST_F(DatabaseCheck, UpdateComposesTheEscapedLockRecordFromItsFields) {
    package.Property(L"SQLLOCKINFO_UPDATECMD", L"UPDATE Lock SET Info='[SQLLOCKINFO]'")
        .Property(L"SQLLOCKINFO_FORMAT", L"[SQLLOCKINFO_COMPUTERNAME]\t[SQLLOCKINFO_USERNAME] at [SQLLOCKINFO_TIME]: "
                                         L"it's [SQLLOCKINFO_GUID]");
    package.Set(L"ComputerName", L"BOX");  // the engine sets its own when the session opens
    EXPECT_EQ(0u, UpdateSqlDbLockInfo(package.Session()));
    const Lines fields = LockFields();
    EXPECT_TRUE(std::regex_match(fields[0], std::wregex(L"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d"))) << fields[0];
    EXPECT_TRUE(std::regex_match(fields[1], std::wregex(L"[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}"))) << fields[1];
    EXPECT_EQ((Lines{L"BOX", SamUserName()}), (Lines{fields[2], fields[3]}));
    EXPECT_EQ(L"BOX' + CHAR(9) + '" + fields[3] + L" at " + fields[0] + L": it''s " + fields[1],
              package.Get(L"SQLLOCKINFO"));
}

TEST_F(DatabaseCheck, ThePasswordReachesNeitherTheLogNorTheTraceFile) {
    constexpr wchar_t kPassword[] = L"Pw-4c1d9e7a-planted";
    EveryTraceOn trace(0x606);  // every scope to the trace file and the log
    package.Property(L"IS_SQLSERVER_USERNAME", L"sa").Property(L"IS_SQLSERVER_PASSWORD", kPassword)
        .Property(L"SQLLOCKINFO_FORMAT", L"[SQLLOCKINFO_GUID]");
    package.Set(L"IS_SQLSERVER_AUTHENTICATION", L"1");
    const Script scripts[] = {[](auto& s) { s.reachable = false; },
                              [](auto& s) { s.existenceQueryResult = E_FAIL, s.errorObjectDescription = L"failed"; },
                              [](auto& s) { s.databases.push_back(L"Ondex"), s.lockRow = true; },
                              [](auto& s) { s.databases.push_back(L"Ondex"), s.windowsAuthRefusedOnTarget = true; }};
    for (const Script& script : scripts) {
        sql.script = {};
        script(sql.script);
        EXPECT_EQ(0u, CheckSQLServerInstance(package.Session()));
        EXPECT_EQ(0u, UpdateSqlDbLockInfo(package.Session()));
    }
    const std::string tlk = trace.Text();
    EXPECT_NE(std::string::npos, tlk.find("Deleting MsiProperty IS_SQLSERVER_PASSWORD"));  // traced, but hidden
    EXPECT_EQ(std::string::npos, tlk.find("Pw-4c1d9e7a"));
    EXPECT_EQ(kPassword, sql.connections.at(0).back().second);  // the provider got it
    EXPECT_FALSE(log.InfoLinesWith(L"Deleting MsiProperty IS_SQLSERVER_PASSWORD").empty());
    for (const auto& message : log.messages()) {
        EXPECT_EQ(std::wstring::npos, message.text.find(L"Pw-4c1d9e7a")) << message.text;
        for (const std::wstring& field : message.fields) EXPECT_EQ(std::wstring::npos, field.find(L"Pw-4c1d9e7a"));
    }
}
