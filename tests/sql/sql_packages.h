#pragma once
// The packages of the SQL actions' main paths, shared by their tests and the
// fault table.
#include <string>
#include <vector>

#include "support/package.h"

namespace ondex::test {

inline const std::vector<std::wstring> kLockFields = {L"SQLLOCKINFO_TIME", L"SQLLOCKINFO_GUID",
                                                      L"SQLLOCKINFO_COMPUTERNAME", L"SQLLOCKINFO_USERNAME"};

// The database check of "Ondex" on SRV\ONDEX with Windows authentication,
// its status texts, the lock query and the lock fields "old".
inline void WithDatabaseCheck(TestPackage& package) {
    package.Property(L"SQL_SERVER_NAME", L"SRV").Property(L"SQL_SERVER_INSTANCE", L"ONDEX")
        .Property(L"IS_SQLSERVER_DATABASE", L"Ondex").Property(L"IS_SQLSERVER_AUTHENTICATION", L"0")
        .Property(L"STRINGRES_CHKRQ_PROD_STATUS_OK", L"Ready to create")
        .Property(L"STRINGRES_CHKRQ_PROD_STATUS_INACCESSIBLEDB", L"No access")
        .Property(L"SQLLOCKINFO", L"held").Property(L"SQLLOCKINFO_SELECTCMD", L"SELECT Info FROM Lock WHERE Held=1");
    for (const std::wstring& field : kLockFields) package.Property(field, L"old");
}

// Three SqlDatabase rows of user "Old", the SQL login and the service account.
inline void WithSqlDatabaseRows(TestPackage& package) {
    package.Sql(L"CREATE TABLE `SqlDatabase` (`SqlDatabase` CHAR(72) NOT NULL, `Server` CHAR(255), "
                L"`Instance` CHAR(255), `Database` CHAR(255) NOT NULL, `Component_` CHAR(72), `User_` CHAR(72), "
                L"`Attributes` SHORT NOT NULL PRIMARY KEY `SqlDatabase`)");
    for (const wchar_t* key : {L"Archive", L"Catalog", L"Journal"})
        package.Row(L"SqlDatabase", {{L"SqlDatabase", Quoted(key)}, {L"Database", Quoted(key)},
                                     {L"User_", Quoted(L"Old")}, {L"Attributes", Number(0)}});
    package.Property(L"SQLDOMAIN", L"ONDEX").Property(L"SQLUSERNAME", L"[SQLDOMAIN]\\sa")
        .Property(L"SQLUSERPASSWORD", L"pw[SQLDOMAIN]").Property(L"SERVICEACCOUNT", L"svc")
        .Property(L"SERVICEPASSWORD", L"svcpw");
}

// The stand-in Express installer's folder (tests\sqlexpress\).
inline std::wstring ExpressFolder() { return TestFolder() + L"sqlexpress\\"; }

// The stand-in Express installer for instance ONDEX.
inline void WithExpressInstaller(TestPackage& package) {
    package.Property(L"EXPRESSDIR", ExpressFolder()).Property(L"SQLEXPR32", L"[EXPRESSDIR]SQLEXPR32.exe")
        .Property(L"SQLINSTANCE", L"ONDEX");
}

}  // namespace ondex::test
