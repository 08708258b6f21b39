// Every seam call and COM-double method of the SQL actions' main paths made
// to fail in turn.
#include <gtest/gtest.h>

#include "sql/sql_instances.h"
#include "support/fault_run.h"

#include "exports/exports.h"

using namespace ondex::test;

namespace {

const FaultScenario kScenarios[] = {
    {"EnumerateSQLInstances", EnumerateSQLInstances,
     [](FaultWorld& w) {
         w.package.Table(L"ComboBox");
         for (const wchar_t* name : {L"MSSQLSERVER", L"ONDEX"})
             RegSetKeyValueW(HKEY_LOCAL_MACHINE, ondex::sql::kInstanceNamesKey, name, REG_SZ, L"", sizeof(wchar_t));
         w.AtEnd([] { RegDeleteTreeW(HKEY_LOCAL_MACHINE, ondex::sql::kSqlServerKey); });
     },
     {}},
};

}  // namespace

TEST(SqlFaults, EverySeamCallAndDoubleMethodOfTheMainPathsMayFail) { RunFaultTable(kScenarios); }
