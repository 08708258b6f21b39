// Every seam call and COM-double method of the SQL actions' main paths made
// to fail in turn.
#include <gtest/gtest.h>

#include "sql/dmo_double.h"
#include "sql/oledb_double.h"
#include "sql/sql_instances.h"
#include "sql/sql_packages.h"
#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

void Instances(FaultWorld& w) {
    w.package.Table(L"ComboBox");
    w.Make<DmoDouble>().names = {ComputerName() + L"\\SQLEXPRESS"};
    for (const wchar_t* name : {L"MSSQLSERVER", L"ONDEX"})
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, ondex::sql::kInstanceNamesKey, name, REG_SZ, L"", sizeof(wchar_t));
    w.AtEnd([] { RegDeleteTreeW(HKEY_LOCAL_MACHINE, ondex::sql::kSqlServerKey); });
}

void SqlDatabaseRows(FaultWorld& w) { WithSqlDatabaseRows(w.package); }

// The database exists and is locked: both connections and both queries.
void LockedDatabase(FaultWorld& w) {
    WithDatabaseCheck(w.package);
    OleDbDouble& sql = w.Make<OleDbDouble>();
    sql.script.databases.push_back(L"Ondex");
    sql.script.lockRow = true;
    w.AtEnd([] { SetErrorInfo(0, nullptr); });
}

const FaultScenario kScenarios[] = {
    {"EnumerateSQLInstances", EnumerateSQLInstances, Instances, {}},
    {"ParseSQLInstanceName", ParseSQLInstanceName,
     [](FaultWorld& w) { w.package.Property(L"SQLINSTANCE", L"localhost\\SQLEXPRESS"); }, {}},
    {"GeneratePartitionsSQLCode", GeneratePartitionsSQLCode,
     [](FaultWorld& w) { w.package.Property(L"PARTITIONS", L"Main;O'Neil"); }, {}},
    {"InstallSQLServerInstance", InstallSQLServerInstance,
     [](FaultWorld& w) {
         // One wait to the installer's end, so that the count does not follow its start-up time.
         w.seam.api().WaitForSingleObject = [](HANDLE process, DWORD) {
             return ondex::platform::RealApi().WaitForSingleObject(process, INFINITE);
         };
         WithExpressInstaller(w.package);
     },
     {static_cast<UINT>(-1)}},  // the installer's end or exit code unknown
    {"SetWinAuthMode", SetWinAuthMode, SqlDatabaseRows, {}},
    {"EnableWinAuth", EnableWinAuth, SqlDatabaseRows, {}},
    {"DisableWinAuth", DisableWinAuth, SqlDatabaseRows, {}},
    {"CheckSQLServerInstance", CheckSQLServerInstance, LockedDatabase, {}},
    {"UpdateSqlDbLockInfo", UpdateSqlDbLockInfo,
     [](FaultWorld& w) {
         WithDatabaseCheck(w.package);
         w.package.Property(L"SQLLOCKINFO_FORMAT", L"[SQLLOCKINFO_COMPUTERNAME] [SQLLOCKINFO_GUID]");
     },
     {}},
};

}  // namespace

TEST(SqlFaults, EverySeamCallAndDoubleMethodOfTheMainPathsMayFail) { RunFaultTable(kScenarios); }
