// The export table: the only place that binds action names to implementations.
// Every classic export is one line into the entry frame.
#include <windows.h>
#include <msi.h>

#include "prereq/dotnet.h"
#include "prereq/prerequisites.h"
#include "prereq/product_actions.h"
#include "prereq/shell_actions.h"
#include "prereq/ui_actions.h"
#include "system/local_groups.h"
#include "runtime/entry_frame.h"
#include "system/shares.h"
#include "system/firewall.h"
#include "setuplib/oxa_actions.h"
#include "iis/iis_settings.h"
#include "iis/web_deploy.h"
#include "iis/web_dialog.h"
#include "accounts/credentials.h"
#include "sql/sql_check.h"
#include "sql/sql_instances.h"
#include "sql/sql_setup.h"
#include "iis/iis_state.h"
#include "accounts/account_lookup.h"
#include "accounts/account_select.h"

#define ONDEX_CLASSIC_ACTION(Name, Impl) \
    extern "C" UINT __stdcall Name(MSIHANDLE hInstall) { return ondex::runtime::RunClassicAction(hInstall, #Name, Impl); }
#define ONDEX_WIDE(text) L##text
#define ONDEX_SETUPLIB_ACTION(Name, Class)                  \
    extern "C" UINT __stdcall Name(MSIHANDLE hInstall) {    \
        return OxSetupLib::runAction<OxSetupLib::Class>(hInstall, ONDEX_WIDE(#Name)); \
    }

// Command execution with progress.
ONDEX_CLASSIC_ACTION(ShellProgress, ondex::prereq::ShellProgressImpl)
ONDEX_CLASSIC_ACTION(ShellProgressHidden, ondex::prereq::ShellProgressHiddenImpl)
ONDEX_CLASSIC_ACTION(BathShell, ondex::prereq::BathShellImpl)

// Prerequisite engine.
ONDEX_CLASSIC_ACTION(CheckPrerequisites, ondex::prereq::CheckPrerequisitesImpl)
ONDEX_CLASSIC_ACTION(InstallPrerequisites, ondex::prereq::InstallPrerequisitesImpl)

// .NET Framework 2.0 check and install.
ONDEX_CLASSIC_ACTION(CheckDotNetFx20, ondex::prereq::CheckDotNetFx20Impl)
ONDEX_CLASSIC_ACTION(InstallDotNetFx20, ondex::prereq::InstallDotNetFx20Impl)

// Product detection and installer UI helpers.
ONDEX_CLASSIC_ACTION(IsUserAdmin, ondex::prereq::IsUserAdminImpl)
ONDEX_CLASSIC_ACTION(HideCancelButton, ondex::prereq::HideCancelButtonImpl)
ONDEX_CLASSIC_ACTION(ShowCancelButton, ondex::prereq::ShowCancelButtonImpl)
ONDEX_CLASSIC_ACTION(ScheduleLogoff, ondex::prereq::ScheduleLogoffImpl)
ONDEX_CLASSIC_ACTION(IsProductLineInstalled, ondex::prereq::IsProductLineInstalledImpl)
ONDEX_CLASSIC_ACTION(IsProductInstalled, ondex::prereq::IsProductInstalledImpl)
ONDEX_CLASSIC_ACTION(GetMsiPath, ondex::prereq::GetMsiPathImpl)
ONDEX_CLASSIC_ACTION(AskOKCancel, ondex::prereq::AskOKCancelImpl)
ONDEX_CLASSIC_ACTION(GetCoreNumber, ondex::prereq::GetCoreNumberImpl)
ONDEX_CLASSIC_ACTION(GetInstallationSummary, ondex::prereq::GetInstallationSummaryImpl)

// Local groups.
ONDEX_CLASSIC_ACTION(CreateLocalGroups, ondex::system::CreateLocalGroupsImpl)
ONDEX_CLASSIC_ACTION(CreateLocalGroupsImmediate, ondex::system::CreateLocalGroupsImmediateImpl)
ONDEX_CLASSIC_ACTION(RemoveLocalGroups, ondex::system::RemoveLocalGroupsImpl)
ONDEX_CLASSIC_ACTION(CreateGroup, ondex::system::CreateGroupImpl)
ONDEX_CLASSIC_ACTION(RemoveGroup, ondex::system::RemoveGroupImpl)
// Folder sharing.
ONDEX_CLASSIC_ACTION(CheckShareFolder, ondex::system::CheckShareFolderImpl)
ONDEX_CLASSIC_ACTION(ShareLocalFolder, ondex::system::ShareLocalFolderImpl)
ONDEX_CLASSIC_ACTION(DelShareFolder, ondex::system::DelShareFolderImpl)
// Windows Firewall exceptions.
ONDEX_CLASSIC_ACTION(FirewallAddApplication, ondex::system::FirewallAddApplicationImpl)
ONDEX_CLASSIC_ACTION(FirewallRemoveApplication, ondex::system::FirewallRemoveApplicationImpl)

// Web application deployment.
ONDEX_CLASSIC_ACTION(ConfigureWeb, ondex::iis::ConfigureWebImpl)
ONDEX_CLASSIC_ACTION(EnableASPIIS, ondex::iis::EnableASPIISImpl)
ONDEX_CLASSIC_ACTION(SetEnable64BitMode, ondex::iis::SetEnable64BitModeImpl)
ONDEX_CLASSIC_ACTION(GetValueEnable32BitModeOn64, ondex::iis::GetValueEnable32BitModeOn64Impl)
// IIS settings snapshot and SSL.
ONDEX_CLASSIC_ACTION(ProtectIISSettings, ondex::iis::ProtectIISSettingsImpl)
ONDEX_CLASSIC_ACTION(RestoreIISSettings, ondex::iis::RestoreIISSettingsImpl)
ONDEX_CLASSIC_ACTION(InstallSSL, ondex::iis::InstallSSLImpl)
// Web-site dialog.
ONDEX_CLASSIC_ACTION(PreInitIIsWebData, ondex::iis::PreInitIIsWebDataImpl)
ONDEX_CLASSIC_ACTION(InitWebConfigGui, ondex::iis::InitWebConfigGuiImpl)
ONDEX_CLASSIC_ACTION(SetTargetSiteId, ondex::iis::SetTargetSiteIdImpl)
ONDEX_CLASSIC_ACTION(GetIIsServerBindings, ondex::iis::GetIIsServerBindingsImpl)
ONDEX_CLASSIC_ACTION(CheckWebConfig, ondex::iis::CheckWebConfigImpl)
ONDEX_CLASSIC_ACTION(CheckLocalTCP, ondex::iis::CheckLocalTCPImpl)
ONDEX_CLASSIC_ACTION(StoreWebConfig, ondex::iis::StoreWebConfigImpl)
// IIS state and maintenance.
ONDEX_CLASSIC_ACTION(CheckIISState, ondex::iis::CheckIISStateImpl)
ONDEX_CLASSIC_ACTION(StopIISAdminService, ondex::iis::StopIISAdminServiceImpl)
ONDEX_CLASSIC_ACTION(IIsReset, ondex::iis::IIsResetImpl)
ONDEX_CLASSIC_ACTION(DeleteWebSiteStuff, ondex::iis::DeleteWebSiteStuffImpl)
ONDEX_CLASSIC_ACTION(DeleteVirtualRootXP, ondex::iis::DeleteVirtualRootXPImpl)
ONDEX_CLASSIC_ACTION(SetPiplineModeClassic, ondex::iis::SetPiplineModeClassicImpl)
ONDEX_CLASSIC_ACTION(GetPathWWWRoot, ondex::iis::GetPathWWWRootImpl)
ONDEX_CLASSIC_ACTION(GetDotNetFrameworkPath, ondex::iis::GetDotNetFrameworkPathImpl)
ONDEX_CLASSIC_ACTION(Debug_ShowIIsWebQuery, ondex::iis::Debug_ShowIIsWebQueryImpl)

// SQL instance choice.
ONDEX_CLASSIC_ACTION(EnumerateSQLInstances, ondex::sql::EnumerateSQLInstancesImpl)
ONDEX_CLASSIC_ACTION(ParseSQLInstanceName, ondex::sql::ParseSQLInstanceNameImpl)

// SQL setup.
ONDEX_CLASSIC_ACTION(GeneratePartitionsSQLCode, ondex::sql::GeneratePartitionsSQLCodeImpl)
ONDEX_CLASSIC_ACTION(InstallSQLServerInstance, ondex::sql::InstallSQLServerInstanceImpl)
ONDEX_CLASSIC_ACTION(SetWinAuthMode, ondex::sql::SetWinAuthModeImpl)
ONDEX_CLASSIC_ACTION(EnableWinAuth, ondex::sql::EnableWinAuthImpl)
ONDEX_CLASSIC_ACTION(DisableWinAuth, ondex::sql::DisableWinAuthImpl)

// SQL database check and lock information.
ONDEX_CLASSIC_ACTION(CheckSQLServerInstance, ondex::sql::CheckSQLServerInstanceImpl)
ONDEX_CLASSIC_ACTION(UpdateSqlDbLockInfo, ondex::sql::UpdateSqlDbLockInfoImpl)

// Credential validation.
ONDEX_CLASSIC_ACTION(CheckCredentials, ondex::accounts::CheckCredentialsImpl)
ONDEX_CLASSIC_ACTION(CheckCredentials2, ondex::accounts::CheckCredentials2Impl)
ONDEX_CLASSIC_ACTION(CheckSetServiceCredentials, ondex::accounts::CheckSetServiceCredentialsImpl)

// Account selection and lookup.
ONDEX_CLASSIC_ACTION(PopulateUserAccounts, ondex::accounts::PopulateUserAccountsImpl)
ONDEX_CLASSIC_ACTION(DoObjSelDlg, ondex::accounts::DoObjSelDlgImpl)
ONDEX_CLASSIC_ACTION(UpdateCredUIControls, ondex::accounts::UpdateCredUIControlsImpl)
ONDEX_CLASSIC_ACTION(StoreCredentials, ondex::accounts::StoreCredentialsImpl)
ONDEX_CLASSIC_ACTION(LookAccountSid, ondex::accounts::LookAccountSidImpl)
ONDEX_CLASSIC_ACTION(LookAccountName, ondex::accounts::LookAccountNameImpl)

// Managed extension actions, run by the setup library.
ONDEX_SETUPLIB_ACTION(OxaSQLAssemblyCaller, OxSQLAssemblyCaller)
ONDEX_SETUPLIB_ACTION(OxaRegisterWMISvc, OxRegisterWMISvc)
ONDEX_SETUPLIB_ACTION(OxaCheckSelectedDatabase, OxCheckSelectedDatabase)
ONDEX_SETUPLIB_ACTION(OxaDetectMVXBeta, OxDetectMVXBeta)
