#pragma once
// The SQL setup actions: the partition batch, the silent SQL Server Express
// setup and the authentication switch of the package's SqlDatabase rows.
#include <windows.h>
#include <msi.h>

namespace ondex::sql {

void GeneratePartitionsSQLCodeImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void InstallSQLServerInstanceImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void SetWinAuthModeImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void EnableWinAuthImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);
void DisableWinAuthImpl(UINT& result, const wchar_t* actionName, UINT flags, MSIHANDLE hInstall);

}  // namespace ondex::sql
