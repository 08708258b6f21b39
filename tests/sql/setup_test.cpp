// The SQL setup actions in real sessions: the partition batch as a property,
// the SqlDatabase rows read back from the session's database, and the stand-in
// SQL Server Express installer (tests\sqlexpress\SQLEXPR32.exe).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/sql_packages.h"
#include "sql/sql_setup_text.h"
#include "support/package.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;
using Lines = std::vector<std::wstring>;

namespace {

struct SqlSetup : testing::Test {
    TestPackage package;
    LogCapture log;

    Lines Users() { return package.Column(L"SELECT `User_` FROM `SqlDatabase` ORDER BY `SqlDatabase`"); }
    Lines ServiceAccount() { return {package.Get(L"SERVICEACCOUNT"), package.Get(L"SERVICEPASSWORD")}; }
};

}  // namespace

TEST_F(SqlSetup, PartitionsBatchIsStoredAndAnOverlongNameIsLoggedAsLeftOut) {
    const std::wstring partitions = L" Main Site ;O'Neil;" + std::wstring(122, L'n');
    package.Property(L"PARTITIONS", partitions).Property(L"PARTITIONSSQLCODE", L"old");
    EXPECT_EQ(0u, GeneratePartitionsSQLCode(package.Session()));
    EXPECT_EQ(ondex::sql::BuildPartitionsSql(partitions).sql, package.Get(L"PARTITIONSSQLCODE"));
    EXPECT_EQ((Lines{L"GeneratePartitionsSQLCode: partition \"" + std::wstring(122, L'n') +
                     L"\" left out: the name is longer than 121 characters."}),
              log.TimestampedLines());
}

TEST_F(SqlSetup, EnableWinAuthEmptiesEveryUserFieldAndLeavesTheServiceAccount) {
    WithSqlDatabaseRows(package);
    EXPECT_EQ(0u, EnableWinAuth(package.Session()));
    EXPECT_EQ(L"1", package.Get(L"WIN_AUTH"));
    EXPECT_EQ((Lines{L"", L"", L""}), Users());
    EXPECT_EQ((Lines{L"svc", L"svcpw"}), ServiceAccount());
}

TEST_F(SqlSetup, DisableWinAuthNamesTheSqlUserAndCopiesTheFormattedLogin) {
    WithSqlDatabaseRows(package);
    package.Property(L"WIN_AUTH", L"1");
    EXPECT_EQ(0u, DisableWinAuth(package.Session()));
    EXPECT_EQ(L"", package.Get(L"WIN_AUTH"));
    EXPECT_EQ((Lines{L"SQLUser", L"SQLUser", L"SQLUser"}), Users());
    EXPECT_EQ((Lines{L"ONDEX\\sa", L"pwONDEX"}), ServiceAccount());
}

TEST_F(SqlSetup, WithoutSqlDatabaseTableOnlySetWinAuthModeFails) {
    EXPECT_NE(0u, SetWinAuthMode(package.Session()));
    EXPECT_EQ(0u, EnableWinAuth(package.Session()));
    EXPECT_EQ(0u, DisableWinAuth(package.Session()));
}

TEST_F(SqlSetup, NoSqlLoginPasswordReachesTheLogOrTheTraceFileWithEveryTraceScopeOn) {
    const std::wstring secret = L"Sq1Passw0rdPlanted";
    EveryTraceOn trace;
    {
        TestPackage traced;
        traced.Property(L"SQLUSERNAME", L"sa").Property(L"SQLUSERPASSWORD", secret);
        MessageBoxScript boxes;
        LogCapture tracedLog;
        EXPECT_NE(0u, SetWinAuthMode(traced.Session()));  // no SqlDatabase table
        EXPECT_EQ(secret, traced.Get(L"SERVICEPASSWORD"));
        for (const auto& message : tracedLog.messages())
            EXPECT_EQ(std::wstring::npos, message.text.find(secret)) << message.text;
        for (const auto& box : boxes.boxes()) EXPECT_EQ(std::wstring::npos, box.text.find(secret)) << box.text;
    }
    const std::string tlk = trace.Text();
    EXPECT_NE(std::string::npos, tlk.find("SetWinAuthMode"));
    EXPECT_EQ(std::string::npos, tlk.find("Sq1Passw0rdPlanted"));
}

// ---- InstallSQLServerInstance with the stand-in installer ----

struct ExpressSetup : SqlSetup {
    const std::wstring folder = ExpressFolder();
    const std::wstring record = folder + L"commandline.txt";

    ExpressSetup() {
        DeleteFileW(record.c_str());
        WithExpressInstaller(package);
    }
    ~ExpressSetup() override { SetEnvironmentVariableW(L"OXSQL_EXPRESS_EXIT", nullptr); }
    std::string Expected() const {
        const std::wstring line = L"\"" + folder + L"SQLEXPR32.exe\" -q /norebootchk /qn reboot=ReallySuppress "
                                  L"addlocal=all instancename=ONDEX SQLAUTOSTART=1";
        return std::string(line.begin(), line.end());
    }
};

TEST_F(ExpressSetup, TheInstallersExitCodeIsTheResult) {
    for (const auto& [exitCode, result] : {std::pair{L"0", 0u}, std::pair{L"3010", 3010u}, std::pair{L"1603", 1603u}}) {
        SetEnvironmentVariableW(L"OXSQL_EXPRESS_EXIT", exitCode);
        EXPECT_EQ(result, InstallSQLServerInstance(package.Session())) << exitCode;
        EXPECT_EQ(Expected(), ReadFileBytes(record));
    }
    const std::vector<int> firstProgress = log.Progress().at(0);
    EXPECT_EQ((std::vector<int>{0, 900, 0, 0}), firstProgress);
}

TEST_F(ExpressSetup, AMissingInstallerGivesMinusOneAndAnOverlongCommandLineIsNotRun) {
    package.Set(L"SQLEXPR32", folder + L"missing.exe");
    EXPECT_EQ(static_cast<UINT>(-1), InstallSQLServerInstance(package.Session()));
    package.Set(L"SQLEXPR32", L"[EXPRESSDIR]SQLEXPR32.exe");
    package.Set(L"SQLINSTANCE", std::wstring(520, L'I'));
    EXPECT_EQ(1603u, InstallSQLServerInstance(package.Session()));
    EXPECT_EQ("", ReadFileBytes(record));
    EXPECT_EQ((Lines{L"InstallSQLServerInstance: the SQL Express command line is longer than 519 characters; the "
                     L"installer is not run."}),
              log.TimestampedLines());
}
