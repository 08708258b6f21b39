#pragma once
// The exported custom actions, for programs that link the export functions
// (the tests call exactly what the installer calls).
#include <windows.h>
#include <msi.h>

extern "C" {
UINT __stdcall ShellProgress(MSIHANDLE hInstall);
UINT __stdcall ShellProgressHidden(MSIHANDLE hInstall);
UINT __stdcall BathShell(MSIHANDLE hInstall);
UINT __stdcall CheckPrerequisites(MSIHANDLE hInstall);
UINT __stdcall InstallPrerequisites(MSIHANDLE hInstall);
UINT __stdcall CheckDotNetFx20(MSIHANDLE hInstall);
UINT __stdcall InstallDotNetFx20(MSIHANDLE hInstall);
UINT __stdcall IsUserAdmin(MSIHANDLE hInstall);
UINT __stdcall HideCancelButton(MSIHANDLE hInstall);
UINT __stdcall ShowCancelButton(MSIHANDLE hInstall);
UINT __stdcall ScheduleLogoff(MSIHANDLE hInstall);
UINT __stdcall IsProductLineInstalled(MSIHANDLE hInstall);
UINT __stdcall IsProductInstalled(MSIHANDLE hInstall);
UINT __stdcall GetMsiPath(MSIHANDLE hInstall);
UINT __stdcall AskOKCancel(MSIHANDLE hInstall);
UINT __stdcall GetCoreNumber(MSIHANDLE hInstall);
UINT __stdcall GetInstallationSummary(MSIHANDLE hInstall);
UINT __stdcall CreateLocalGroups(MSIHANDLE hInstall);
UINT __stdcall CreateLocalGroupsImmediate(MSIHANDLE hInstall);
UINT __stdcall RemoveLocalGroups(MSIHANDLE hInstall);
UINT __stdcall CreateGroup(MSIHANDLE hInstall);
UINT __stdcall RemoveGroup(MSIHANDLE hInstall);
UINT __stdcall CheckShareFolder(MSIHANDLE hInstall);
UINT __stdcall ShareLocalFolder(MSIHANDLE hInstall);
UINT __stdcall DelShareFolder(MSIHANDLE hInstall);
UINT __stdcall FirewallAddApplication(MSIHANDLE hInstall);
UINT __stdcall FirewallRemoveApplication(MSIHANDLE hInstall);
UINT __stdcall ConfigureWeb(MSIHANDLE hInstall);
UINT __stdcall EnableASPIIS(MSIHANDLE hInstall);
UINT __stdcall SetEnable64BitMode(MSIHANDLE hInstall);
UINT __stdcall GetValueEnable32BitModeOn64(MSIHANDLE hInstall);
UINT __stdcall ProtectIISSettings(MSIHANDLE hInstall);
UINT __stdcall RestoreIISSettings(MSIHANDLE hInstall);
UINT __stdcall InstallSSL(MSIHANDLE hInstall);
UINT __stdcall PreInitIIsWebData(MSIHANDLE hInstall);
UINT __stdcall SetTargetSiteId(MSIHANDLE hInstall);
UINT __stdcall GetIIsServerBindings(MSIHANDLE hInstall);
UINT __stdcall CheckWebConfig(MSIHANDLE hInstall);
UINT __stdcall InitWebConfigGui(MSIHANDLE hInstall);
UINT __stdcall CheckLocalTCP(MSIHANDLE hInstall);
UINT __stdcall StoreWebConfig(MSIHANDLE hInstall);
UINT __stdcall EnumerateSQLInstances(MSIHANDLE hInstall);
UINT __stdcall ParseSQLInstanceName(MSIHANDLE hInstall);
UINT __stdcall GeneratePartitionsSQLCode(MSIHANDLE hInstall);
UINT __stdcall InstallSQLServerInstance(MSIHANDLE hInstall);
UINT __stdcall SetWinAuthMode(MSIHANDLE hInstall);
UINT __stdcall EnableWinAuth(MSIHANDLE hInstall);
UINT __stdcall DisableWinAuth(MSIHANDLE hInstall);
UINT __stdcall CheckSQLServerInstance(MSIHANDLE hInstall);
UINT __stdcall UpdateSqlDbLockInfo(MSIHANDLE hInstall);
UINT __stdcall CheckCredentials(MSIHANDLE hInstall);
UINT __stdcall CheckCredentials2(MSIHANDLE hInstall);
UINT __stdcall CheckSetServiceCredentials(MSIHANDLE hInstall);
UINT __stdcall CheckIISState(MSIHANDLE hInstall);
UINT __stdcall StopIISAdminService(MSIHANDLE hInstall);
UINT __stdcall IIsReset(MSIHANDLE hInstall);
UINT __stdcall DeleteWebSiteStuff(MSIHANDLE hInstall);
UINT __stdcall DeleteVirtualRootXP(MSIHANDLE hInstall);
UINT __stdcall SetPiplineModeClassic(MSIHANDLE hInstall);
UINT __stdcall GetPathWWWRoot(MSIHANDLE hInstall);
UINT __stdcall GetDotNetFrameworkPath(MSIHANDLE hInstall);
UINT __stdcall Debug_ShowIIsWebQuery(MSIHANDLE hInstall);
// Account selection and lookup.
UINT __stdcall PopulateUserAccounts(MSIHANDLE hInstall);
UINT __stdcall DoObjSelDlg(MSIHANDLE hInstall);
UINT __stdcall UpdateCredUIControls(MSIHANDLE hInstall);
UINT __stdcall StoreCredentials(MSIHANDLE hInstall);
UINT __stdcall LookAccountSid(MSIHANDLE hInstall);
UINT __stdcall LookAccountName(MSIHANDLE hInstall);
}
