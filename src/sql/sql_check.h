#pragma once
// The database check before the product's database is created or reused
// (is the instance reachable, does the database exist, is it locked by
// another installation) and the composition of a new lock record, with the
// two immediate actions over them.
#include <windows.h>
#include <msi.h>
#include <oledb.h>

namespace ondex::sql {

// 0 when the database is locked (the package's SQLLOCKINFO_SELECTCMD gives a
// row on `session`), 1 when not, a failed query included. Clears the four
// SQLLOCKINFO_ fields first.
int SqlSessionDatabaseGetLockInfo(MSIHANDLE hInstall, IDBCreateSession* session, const wchar_t* database,
                                  BSTR* errorDescription);

// Sets SQLLOCKINFO_TIME, _GUID, _COMPUTERNAME and _USERNAME and SQLLOCKINFO,
// the escaped SQLLOCKINFO_FORMAT formatted with them. Returns the status of
// the GUID step.
HRESULT SqlDatabaseUpdateLockInfo(MSIHANDLE hInstall);

// One of the status values of sql_lock_text.h. Logs each failure.
int SqlCheckInstance(MSIHANDLE hInstall, const wchar_t* server, const wchar_t* instance, const wchar_t* database,
                     bool integrated, const wchar_t* user, const wchar_t* password);

void CheckSQLServerInstanceImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void UpdateSqlDbLockInfoImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::sql
