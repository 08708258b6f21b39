// SQL instance discovery in real sessions: the registry's instance keys as
// the tests write them under HKLM, SQL-DMO as an in-process double, the
// ComboBox rows read back from the session's database.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "sql/dmo_double.h"
#include "sql/sql_instances.h"
#include "support/package.h"
#include "support/seam_override.h"

#include "exports/exports.h"

using namespace ondex::test;
using ondex::sql::kInstanceNamesKey;
using ondex::sql::kSqlServerKey;
using Lines = std::vector<std::wstring>;

namespace {

struct SqlInstances : testing::Test {
    const std::wstring computer = ComputerName();
    TestPackage package;
    LogCapture log;

    SqlInstances() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSqlServerKey);
        package.Table(L"ComboBox")
            .Property(L"TEXT_SQLINSTANCENAME", L"unchanged").Property(L"RADIO_SQLINSTANCE", L"1")
            .Property(L"DISABLENEWINSTANCEOPTION", L"x");
    }
    ~SqlInstances() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSqlServerKey);
        EXPECT_EQ(0, DmoDouble::Live());
    }
    static void Named(const wchar_t* name, DWORD type = REG_SZ) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kInstanceNamesKey, name, type, L"", sizeof(wchar_t));
    }
    Lines Rows() {
        return package.Column(L"SELECT `Value` FROM `ComboBox` WHERE `Property`='TEXT_SQLINSTANCENAME' ORDER BY `Order`");
    }
    Lines Outcome() {  // the preselection and the dialog's two switches
        return {package.Get(L"TEXT_SQLINSTANCENAME"), package.Get(L"DISABLENEWINSTANCEOPTION"),
                package.Get(L"RADIO_SQLINSTANCE")};
    }
    std::wstring On(const std::wstring& instance) const { return computer + L"\\" + instance; }
    bool Logged(const std::wstring& line) const {
        const Lines lines = log.TimestampedLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& l) { return l.rfind(line, 0) == 0; });
    }
};

std::wstring Lowercase(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

}  // namespace

TEST_F(SqlInstances, BothSourcesMergeSortedWithoutInternalDatabasesAndThePreferredOnePreselected) {
    DmoDouble dmo;
    dmo.names = {On(L"ONDEX"), Lowercase(computer) + L"\\SQLEXPRESS", On(L"uddi")};  // value names ignore case
    for (const wchar_t* name : {L"MSSQLSERVER", L"ONDEX", L"ONDEXSQLSERVER", L"MICROSOFT##SSEE", L"UDDI"})
        Named(name);
    Named(L"NOTANAME", REG_DWORD);
    EXPECT_EQ(0u, EnumerateSQLInstances(package.Session()));
    EXPECT_EQ((Lines{computer, On(L"ONDEX"), On(L"ONDEXSQLSERVER"), On(L"SQLEXPRESS"), On(L"uddi")}), Rows());
    EXPECT_EQ((Lines{On(L"ONDEX"), L"", L"1"}), Outcome());  // ONDEX (5) over ONDEXSQLSERVER (4)
    EXPECT_EQ(L"Enumerating SQL Server Instances", package.Get(L"CURRENTACTIONTEXT"));
    EXPECT_TRUE(Logged(L"Remove Windows Internal database from fiding sql instances."));
    EXPECT_TRUE(Logged(L"Remove UDDI database from finding sql instances."));
    EXPECT_TRUE(Logged(L"localhost\\ONDEXSQLSERVER"));  // each registry instance is logged
}

TEST_F(SqlInstances, TheNewestOndexInstanceSwitchesTheNewInstanceOptionOff) {
    DmoDouble dmo;
    dmo.listFails = true;
    for (const wchar_t* name : {L"ONDEXSQL2008R2", L"SQLEXPRESS"}) Named(name);
    EXPECT_EQ(0u, EnumerateSQLInstances(package.Session()));
    EXPECT_EQ((Lines{On(L"ONDEXSQL2008R2"), On(L"SQLEXPRESS")}), Rows());
    EXPECT_EQ((Lines{On(L"ONDEXSQL2008R2"), L"1", L"2"}), Outcome());
}

TEST_F(SqlInstances, TheOlderLayoutCountsSubkeysWithAnMssqlServerKey) {
    DmoDouble dmo;
    dmo.names = {On(L"A"), On(L"B")};
    dmo.failingItem = 0;  // passed over
    for (const wchar_t* key : {L"\\MSSQLSERVER\\MSSQLServer", L"\\ONDEX\\MSSQLServer", L"\\90\\Tools"})
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(kSqlServerKey) + key).c_str(), L"Made", REG_SZ, L"", 2);
    EXPECT_EQ(0u, EnumerateSQLInstances(package.Session()));
    EXPECT_EQ((Lines{computer, On(L"B"), On(L"ONDEX")}), Rows());
    EXPECT_EQ(On(L"ONDEX"), package.Get(L"TEXT_SQLINSTANCENAME"));
    EXPECT_TRUE(Logged(L"EnumSQLInstReg: Register key SOFTWARE\\Microsoft\\Microsoft SQL Server\\Instance Names\\SQL "
                       L"not found."));
}

TEST_F(SqlInstances, NoSqlServerLeavesTheComboAloneAndClearsTheOption) {
    EXPECT_EQ(0u, EnumerateSQLInstances(package.Session()));  // no SQL-DMO either
    EXPECT_EQ(Lines{}, Rows());
    EXPECT_EQ((Lines{L"unchanged", L"", L"1"}), Outcome());
    EXPECT_TRUE(Logged(L"EnumSQLInstReg: Register key SOFTWARE\\Microsoft\\Microsoft SQL Server not found."));
}

namespace {

LSTATUS WINAPI AccessDenied(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { return ERROR_ACCESS_DENIED; }

}  // namespace

TEST_F(SqlInstances, ARegistryErrorKeepsWhatWasFoundUnsortedWithDuplicates) {
    DmoDouble dmo;
    dmo.names = {On(L"ZED"), On(L"ALPHA"), On(L"ZED")};
    Named(L"BETA");
    ScopedApiOverride registry;
    registry.api().RegEnumValueW = &AccessDenied;
    EXPECT_EQ(0u, EnumerateSQLInstances(package.Session()));
    EXPECT_EQ((Lines{On(L"ZED"), On(L"ALPHA"), On(L"ZED")}), Rows());
    EXPECT_TRUE(Logged(L"EnumSQLInstReg: RegEnumValue failed. : (0x5): "));
}

TEST_F(SqlInstances, ParseSplitsTheChosenNameIntoServerAndInstance) {
    package.Property(L"SQLINSTANCE", L"localhost\\SQLEXPRESS").Property(L"SQLSERVER", L"old");
    EXPECT_EQ(0u, ParseSQLInstanceName(package.Session()));
    EXPECT_EQ((Lines{L"(local)", L"SQLEXPRESS"}), (Lines{package.Get(L"SQLSERVER"), package.Get(L"SQLINSTANCE")}));
}
