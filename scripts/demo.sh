#!/usr/bin/env bash
# The main job: builds OndexSetupCA.dll, builds a demo package that runs the
# library's actions, installs it with Wine's msiexec in the build prefix and
# prints what the actions did. A second package, whose last tool fails, shows
# the failure and the rollback; a third runs the prerequisite engine. The
# next section installs the demo's own packages (demo/) for local groups,
# firewall exceptions and folder sharing and shows what those actions passed
# and logged; an IIS section runs the web-site dialog's actions and the web
# deployment against the tests' metabase double, a second one the IIS state
# and maintenance actions (settings snapshot, IISADMIN, removal) and the SSL
# binding; an SQL section the instance choice and the SQL setup actions with
# the tests' SQL doubles; an accounts section the credential dialog's actions
# with the tests' object-picker double; one the setup library's managed
# database action through an installation, a major upgrade and a removal;
# then the two products' packages, built from the package kit, go through
# installation, repair, upgrade and removal, and the support log reader
# summarises one of their logs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows

scripts/install-deps.sh
echo "== Building (cmake --preset windows && cmake --build --preset windows; the log reader with the host preset)"
mkdir -p "$build"
if ! { cmake --preset windows && cmake --build --preset windows && cmake --preset host &&
  cmake --build --preset host --target ondex-logreader; } >"$root/build/demo-build.log" 2>&1; then
  tail -40 "$root/build/demo-build.log"
  exit 1
fi
echo "   $build/bin/OndexSetupCA.dll, $root/build/host/tools/ondex-logreader"

source "$root/tests/e2e/lib.sh"
source "$root/tests/e2e/sql_assembly_lib.sh"
source "$root/tests/e2e/iis_maintenance_lib.sh"
source "$root/tests/e2e/sql_lib.sh"
source "$root/demo/packages.sh"
trap 'echo "demo: stopped at line $LINENO" >&2' ERR
trap 'e2e_picker_unregister; sql_double_restore; iis_maint_cleanup; iis_double_unregister; sql_doubles_unregister; sql_instances_clear; e2e_settings_clear; WINEPREFIX="$build/wineprefix" wineserver -k >/dev/null 2>&1 || true' EXIT

describe_result() {
  case $1 in
    1) echo "succeeded" ;;
    0) echo "failed" ;;
    none) echo "did not run" ;;
    *) echo "return value $1" ;;
  esac
}

# report_actions LOG_TXT ACTION...: each action and its result.
report_actions() {
  local log=$1 action
  shift
  echo "Actions:"
  for action in "$@"; do
    printf '    %-37s %s\n' "$action" "$(describe_result "$(e2e_action_result "$log" "$action")")"
  done
}

# report_log_lines LOG_TXT PATTERN: the log's lines that match PATTERN (grep -E).
report_log_lines() {
  echo "Installer log, lines from the library (action starts it sent, trace events, its own lines):"
  grep -E "$2" "$1" | tr -d '\r' | sed '/^$/d; s/^/    /' || echo "    (none)"
}

# report LOG_TXT TAG: what the actions did, from the log, the trace file and the prefix.
report() {
  local log=$1 tag=$2
  report_actions "$log" ShellProgress ShellProgressHidden SetBathShell BathShell
  report_log_lines "$log" '^Action [0-9:]+: (Ondex Setup|BathShell)\. .|^(ShellProgress|ShellProgressHidden|BathShell):  |^Tolka [0-9]'
  echo "Trace file $E2E_WORK/tlk:"
  if [ -s tlk ]; then e2e_text tlk | sed '/^$/d; s/^/    /'; else echo "    (none)"; fi
  echo "System changes:"
  if e2e_marker_installed "$tag"; then echo "    HKLM\\SOFTWARE\\OndexE2E\\$tag is installed"
  elif [ "$E2E_RC" -ne 0 ]; then echo "    HKLM\\SOFTWARE\\OndexE2E\\$tag is absent: the rollback removed it"
  else echo "    HKLM\\SOFTWARE\\OndexE2E\\$tag is absent"; fi
  if [ -f tools.txt ]; then echo "    tools.txt written by BathShell's tools:"; e2e_text tools.txt | sed 's/^/        /'; fi
  if [ -f hidden.txt ]; then echo "    hidden.txt written by ShellProgressHidden's command"; fi
}

# Trace events of BathShell (deferred) come from the settings key and go to
# the installer log, those of the immediate actions from their Tracer
# properties; only ShellProgress writes the trace file, because a command an
# action started can keep the file open for a moment after it ends, and the
# next action would then trace to the temporary folder instead.
demo_install() {
  local name=$1 data=$2
  e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/$name"
  e2e_settings_clear
  e2e_settings_dword BathShell 1030  # 0x406: trace and error events to the installer log
  e2e_build_package demo.msi "demo-$name" "$data" \
    'ShellCommand=cmd.exe /c exit 3' 'ShellStatus=Checking the machine' 'ShellDuration=10' \
    'ShellCommandHidden=cmd.exe /c echo hidden>hidden.txt' \
    'TracerShellProgress_TRACERFLAGS=1540' 'TracerShellProgressHidden_TRACERFLAGS=1028'
  e2e_install demo.msi install.log
  echo "wine msiexec /i demo.msi /qn /l*vx $E2E_WORK/install.log -> exit code $E2E_RC"
  report install.log.txt "demo-$name"
}

echo
echo "== Installation whose tools succeed"
demo_install success 'Configuring Ondex Harbor|||cmd.exe /c echo catalog configured>>tools.txt|||cmd.exe /c echo service registered>>tools.txt'
e2e_uninstall demo.msi remove.log
echo "Removal: exit code $E2E_RC; the marker is $(e2e_marker_installed demo-success && echo still there || echo gone)"

echo
echo "== Installation whose last tool fails (msiexec's 1603 reaches the shell as 67)"
demo_install failure 'Configuring Ondex Harbor|||cmd.exe /c echo catalog configured>>tools.txt|||cmd.exe /c echo disk full & exit 2'
if [ -s msiexec.out ]; then
  echo "Output of the failing tool, copied by BathShell to standard output:"
  e2e_text msiexec.out | sed 's/^/    /'
fi

# report_prerequisites LOG_TXT: the prerequisite engine's outcome, from the
# log's trace lines and the engine's closing property dump.
report_prerequisites() {
  local log=$1 id slot name
  report_actions "$log" CheckPrerequisites CheckDotNetFx20 SetMsxml6NotFound StartInstallPass InstallPrerequisites
  report_log_lines "$log" '^Action [0-9:]+: Ondex Setup\. .|^(CheckDotNetFx20|INTF_ExecPrerequisiteActions):  '
  echo "Prerequisites (status property after the check steps):"
  for id in DOTNETFX20:CHKRQ_PRODDOTNETFX20_STATUSCODE MSXML6:MSXML6_STATUS CATALOGTOOLS:CATALOGTOOLS_STATUS; do
    printf '    %-42s needs %-4s %s = %s\n' "$(e2e_property "$log" "CHKRQ_PROD${id%%:*}_NAME")" \
      "$(e2e_property "$log" "CHKRQ_PROD${id%%:*}_VERSIONNEED")" "${id#*:}" "$(e2e_property "$log" "${id#*:}")"
  done
  echo "CheckPrerequisitesResult = $(e2e_property "$log" CheckPrerequisitesResult)"
  echo "Display slots of the failed prerequisites (CHKRQ_PROD<n>_NAME; blank slots hold two blanks):"
  for slot in 1 2 3 4; do
    name=$(e2e_property "$log" "CHKRQ_PROD${slot}_NAME")
    printf '    %s: %s\n' "$slot" "$([ "$name" = "  " ] && echo "(blank)" || echo "$name")"
  done
  echo "System changes:"
  if [ -f msxml6.txt ]; then echo "    msxml6.txt written by the install step: $(e2e_text msxml6.txt)"; fi
  echo "    MSXML6_SETUP_CODE (the install command's exit code) = $(e2e_property "$log" MSXML6_SETUP_CODE)"
}

echo
echo "== Prerequisites: .NET Framework 2.0 present, MSXML 6.0 missing and installed, a failing check command"
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/prerequisites"
e2e_settings_clear
e2e_settings_dword INTF_ExecPrerequisiteActions 1028  # 0x404: trace events to the installer log
e2e_settings_dword INTF_INTF_CompareVersion 1028
runtime_key='HKLM\SOFTWARE\Classes\CLSID\{99749841-0D55-4cf4-8D0D-F212ECE9409A}'
e2e_reg add "$runtime_key\\InprocServer32" /v RuntimeVersion /d v2.0.50727 /f
echo "RuntimeVersion v2.0.50727 registered under $runtime_key\\InprocServer32"
demo_prerequisites_package demo.msi demo-prerequisites 'TracerCheckDotNetFx20_TRACERFLAGS=1028'
e2e_install demo.msi install.log
e2e_reg delete "$runtime_key" /f || true
echo "wine msiexec /i demo.msi /qn /l*vx $E2E_WORK/install.log -> exit code $E2E_RC"
report_prerequisites install.log.txt
e2e_uninstall demo.msi remove.log
echo "Removal: exit code $E2E_RC; the marker is $(e2e_marker_installed demo-prerequisites && echo still there || echo gone)"

# ---- System changes: local groups, firewall exceptions, folder sharing ----

# report_library_lines LOG_TXT ACTION...: each action's result and the lines
# the library logged during its run(s): its own "Tolka" lines and trace lines.
report_library_lines() {
  local log=$1 action pattern
  shift
  report_actions "$log" "$@"
  pattern=$(IFS='|'; echo "$*")
  echo "Installer log, lines from the library:"
  grep -E "^Tolka [0-9]|^($pattern):  " "$log" | tr -d '\r' | sed 's/^/    /' || echo "    (none)"
}

echo
echo "== System changes: local groups, firewall exceptions, folder sharing"
echo "Wine's own stubs answer these calls (NetLocalGroupAdd reports success without doing anything, NetShareAdd"
echo "answers 50, the firewall classes accept everything), so the report shows what the library passed and logged."

echo
echo "-- Local groups: LocalGroup rows B Harbor Readers (in Administrators), A Harbor Operators, Z Ghost (must exist)"
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/groups"
e2e_settings_clear
e2e_reg delete 'HKLM\SOFTWARE\Ondex\Setup' /f || true
e2e_settings_dword CreateGroup 516  # 0x204: trace events to the trace file
e2e_settings_dword INTF_InitDeferredCAData 516
e2e_settings_dword INTF_deserializeNxtToken 516
e2e_settings_dword INTF_executeCreateLocalGroups 1028  # 0x404: trace events to the installer log
demo_groups_package demo.msi
e2e_install demo.msi install.log
echo "wine msiexec /i demo.msi /qn /l*vx $E2E_WORK/install.log -> exit code $E2E_RC"
report_library_lines install.log.txt CreateLocalGroupsImmediate CreateLocalGroups CreateGroup
echo "What CreateGroup received, one deferred run per scheduled row (trace file $E2E_WORK/tlk; <01> separates the fields):"
if [ -s tlk ]; then
  e2e_text tlk | sed -n 's/\x01/<01>/g; s/^ *InitDeferredCAData: Custom Action data: /    data   /p;
    s/^ *deserializeNxtToken: deserializeData result: hr = 0: /        read   /p'
else echo "    (none)"; fi
e2e_uninstall demo.msi remove.log
echo "Removal: exit code $E2E_RC; RemoveLocalGroups $(describe_result "$(e2e_action_result remove.log.txt RemoveLocalGroups)")"
e2e_reg delete 'HKLM\SOFTWARE\Ondex\Setup' /f || true

echo
echo "-- Firewall exceptions: work lists set by type-51 property actions"
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/firewall"
e2e_settings_clear
e2e_settings_dword FirewallAddApplication 1028  # 0x404: trace events to the installer log
e2e_settings_dword FirewallRemoveApplication 1028
demo_firewall_package demo.msi \
  'Ondex Harbor|C:\Ondex\harbor.exe|Ondex Harbor|Catalog service|8080|Ondex' \
  'Ondex Harbor|C:\Ondex\harbor.exe|Ondex Harbor|8080'
e2e_install demo.msi install.log
echo "wine msiexec /i demo.msi /qn /l*vx $E2E_WORK/install.log -> exit code $E2E_RC"
echo "FirewallAddApplication's data: $(e2e_property install.log.txt FirewallAddApplication)"
report_library_lines install.log.txt SetFirewallAddApplication FirewallAddApplication
e2e_uninstall demo.msi remove.log
echo "Removal: exit code $E2E_RC"
report_library_lines remove.log.txt SetFirewallRemoveApplication FirewallRemoveApplication

echo
echo "-- Folder sharing: CheckShareFolder checks CATALOGPATH, ShareLocalFolder and DelShareFolder get \"|\" data"
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/shares"
e2e_settings_clear
for action in CheckShareFolder ShareLocalFolder DelShareFolder; do e2e_settings_dword $action 1028; done
demo_shares_package local.msi
e2e_install local.msi local.log 'CATALOGPATH=C:\OndexCatalog\' CATSHARENAME=OndexCatalog
echo "wine msiexec /i local.msi /qn /l*vx $E2E_WORK/local.log CATALOGPATH=C:\\OndexCatalog\\ CATSHARENAME=OndexCatalog -> exit code $E2E_RC"
echo "(NetShareAdd's 50 fails ShareLocalFolder and so the installation: msiexec's 1603, 67 in a Linux shell)"
echo "CheckShareFolderResult = $(e2e_property local.log.txt CheckShareFolderResult); ShareLocalFolder's data: $(e2e_property local.log.txt ShareLocalFolder)"
report_library_lines local.log.txt CheckShareFolder SetShareLocalFolder ShareLocalFolder
demo_shares_package root.msi
e2e_install root.msi root.log 'CATALOGPATH=C:\' CATSHARENAME=OndexCatalog
echo "wine msiexec /i root.msi /qn /l*vx $E2E_WORK/root.log CATALOGPATH=C:\\ CATSHARENAME=OndexCatalog -> exit code $E2E_RC"
echo "CheckShareFolderResult = $(e2e_property root.log.txt CheckShareFolderResult)"
report_library_lines root.log.txt CheckShareFolder SetShareLocalFolder ShareLocalFolder
e2e_uninstall root.msi remove.log CATSHARENAME=OndexCatalog
echo "Removal with CATSHARENAME=OndexCatalog: exit code $E2E_RC; DelShareFolder's data: $(e2e_property remove.log.txt DelShareFolder)"
report_library_lines remove.log.txt SetDelShareFolder DelShareFolder

# ---- IIS: the web-site dialog's actions and the web deployment ----

echo
echo "== IIS: the web-site dialog's actions and ConfigureWeb, against the tests' metabase double"
echo "Wine has no IIS: the tests' admin-base, WAM and ADSI classes are registered as an in-process server for"
echo "this section; every custom-action process reads and writes one metabase kept in a text file."
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/iis_web"
iis_double_register "$build/tests/metabase_double.dll"
iis_build_package web.msi demo-iisweb check
echo "Metabase before ($E2E_WORK/metabase.txt):"
sed 's/^/    /' metabase.txt
echo "The dialog's input: WEBSITEMBROOTID=2 (site whose bindings are read), a new site \"OndexAlmanac\" by TCP port,"
echo "EDIT_TCPPORT=08081, CheckLocalTCPPORT=70000"
e2e_install web.msi install.log
echo "wine msiexec /i web.msi /qn /l*vx $E2E_WORK/install.log -> exit code $E2E_RC"
report_library_lines install.log.txt PreInitIIsWebData InitWebConfigGui GetIIsServerBindings SetTargetSiteId \
  CheckWebConfig CheckLocalTCP StoreWebConfig GetValueEnable32BitModeOn64 ConfigureWeb ConfigureWebDeferred \
  EnableASPIIS SetEnable64BitMode
echo "The dialog's verdicts and properties:"
for name in USEEXISTINGWEB HOSTHEADER WEBSITEMBROOTID EDIT_TCPPORT CheckWebConfigResultCode CheckLocalTCPResult \
  WebCheckStat WEBSITENAME TCPPORT GetValueEnable32BitModeOn64Result; do
  printf '    %-35s %s\n' "$name" "$(e2e_property install.log.txt $name)"
done
echo "ConfigureWeb's deferred data (<01> separates the fields):"
echo "    $(e2e_property install.log.txt ConfigureWebDeferred | sed 's/\x01/<01>/g')"
echo "Metabase after (diff): ConfigureWebDeferred allowed ASP.NET v2.0, EnableASPIIS \"Active Server Pages\","
echo "SetEnable64BitMode switched the application pools to 64-bit:"
diff "$root/tests/e2e/metabase.txt" metabase.txt | sed 's/^/    /' || true
iis_double_unregister

# ---- IIS: the settings snapshot, the IIS Admin service and the removal ----

echo
echo "== IIS: ProtectIISSettings and its restore, IISADMIN checked and stopped, the site's clean-up on removal"
echo "The metabase double again (seeded from tests/e2e/metabase_maintenance.txt), the tests' service registered as"
echo "IISADMIN with sc, the stand-in iisreset.exe in the prefix's system32 and C:\\OndexReports as the root of site 2"
echo "(\"Ondex Reports\"); all of it is removed at the end of the section."
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/iis_maintenance"
iis_maint_setup "$build/tests/metabase_double.dll" "$build/tests/ondex_test_service.exe" \
  "$build/tests/iisreset/system32/iisreset.exe"
iis_admin_start
iis_maint_build maint.msi demo-iismaint
echo "IISADMIN state before: $(iis_admin_state) (4 running); AuthFlags before: site 1 \"$(iis_auth_flags /LM/W3SVC/1)\","
echo "site 2 none"
e2e_install maint.msi install.log
echo "wine msiexec /i maint.msi /qn /l*vx $E2E_WORK/install.log -> exit code $E2E_RC"
report_library_lines install.log.txt CheckIISState StopIISAdminService GetPathWWWRoot GetDotNetFrameworkPath \
  Debug_ShowIIsWebQuery IIsReset ChangeAuthFlags ProtectIISSettings RestoreIISSettings SetPiplineModeClassic
echo "Properties:"
for name in CheckIISStatePort CheckIISStateResult CheckIISStateException StartingIISAdminService STARTIIS IISROOTDIR \
  DOTNETFRAMEWORKPATH; do
  printf '    %-35s %s\n' "$name" "$(e2e_property install.log.txt $name)"
done
echo "IISADMIN state after: $(iis_admin_state) (1 stopped); iisreset.exe was started as: $(e2e_text "${IIS_RESET%/*}/commandline.txt")"
echo "The snapshot $IIS_SNAPSHOT_KEY as the deferred ChangeAuthFlags found it, before it set site 1's"
echo "AuthFlags to 16 in the metabase file:"
e2e_text snapshot.txt | grep REG_DWORD | sed 's/^ */    /'
echo "After RestoreIISSettings (queued by ProtectIISSettings, run after ChangeAuthFlags): site 1 \"$(iis_auth_flags /LM/W3SVC/1)\","
echo "site 2 \"$(iis_auth_flags /LM/W3SVC/2)\" (user type 2); the snapshot key is $(e2e_reg query "$IIS_SNAPSHOT_KEY" && echo "still there" || echo gone)."
echo "SetPiplineModeClassic (data \"OndexAlmanac\") wrote the pool's pipeline mode: \"$(iis_site_lines /LM/W3SVC/AppPools/OndexAlmanac)\""
cp metabase.txt metabase.installed.txt
e2e_uninstall maint.msi remove.log
echo
echo "-- Removal with IISADMIN stopped: CheckIISState's question goes to the engine, whose answer counts as No"
echo "wine msiexec /x maint.msi /qn /l*vx $E2E_WORK/remove.log -> exit code $E2E_RC"
report_library_lines remove.log.txt CheckIISState SetDeleteWebSiteStuff DeleteWebSiteStuff SetDeleteVirtualRootXP \
  DeleteVirtualRootXP
echo "CheckIISStateResult = $(e2e_property remove.log.txt CheckIISStateResult); C:\\OndexReports is $(
  [ -e "$IIS_REPORTS" ] && echo "still there" || echo "deleted with its tree")"
echo "Metabase, installed against removed (diff):"
diff metabase.installed.txt metabase.txt | sed 's/^/    /' || true
iis_maint_cleanup

echo
echo "-- InstallSSL: selfssl.exe (the tests' stand-in, which writes the certificate hash into the double's"
echo "metabase as the real tool writes it into IIS) for the site on port 80, then a given hash for the site on 8081"
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/iis_ssl"
iis_double_register "$build/tests/metabase_double.dll"
mkdir -p tools && cp "$build/tests/selfssl/selfssl.exe" tools/
tools=$(e2e_windows_path "$E2E_WORK/tools")
e2e_wixl "$root/demo/iis_ssl.wxs" ssl.msi demo-iisssl
e2e_install ssl.msi tool.log "SSLDATA=$tools|||80|||almanac.ondex.test|||443"
echo "wine msiexec /i ssl.msi /qn /l*vx $E2E_WORK/tool.log SSLDATA=<tools>|||80|||almanac.ondex.test|||443 -> exit code $E2E_RC"
echo "    selfssl.exe was run as: $(e2e_text tools/commandline.txt)"
e2e_uninstall ssl.msi remove.log
e2e_wixl "$root/demo/iis_ssl.wxs" hash.msi demo-iisssl
e2e_install hash.msi hash.log 'SSLDATA=C:\NoTools|||8081|||reports|||8443|||0a1BfF'
echo "wine msiexec /i hash.msi /qn /l*vx $E2E_WORK/hash.log SSLDATA=C:\\NoTools|||8081|||reports|||8443|||0a1BfF -> exit code $E2E_RC"
e2e_uninstall hash.msi remove.log
echo "Metabase after both (diff: SSLCertHash 5506 on site 1; hash, store name 5511 and SecureBindings 2021 on site 2):"
diff "$root/tests/e2e/metabase.txt" metabase.txt | sed 's/^/    /' || true
iis_double_unregister

# ---- SQL Server: the instance choice and the setup actions ----

echo
echo "== SQL Server: the instance choice, the partition batch, the authentication switch, SQL Server Express setup,"
echo "the database check and the lock record"
echo "Wine has no SQL Server: instances are written under HKLM\\SOFTWARE\\Microsoft\\Microsoft SQL Server for this"
echo "section (MSSQLSERVER, ONDEX, ONDEXSQL2008R2, MICROSOFT##SSEE) and the tests' SQL-DMO double, registered as an"
echo "in-process server, reports OTHERBOX\\SALES; a stand-in SQLEXPR32.exe records its command line."
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/sql_setup"
sql_instances_clear
sql_instances_add MSSQLSERVER ONDEX ONDEXSQL2008R2 "MICROSOFT##SSEE"
printf 'dmo-instance OTHERBOX\\SALES\r\n' >sql_doubles.txt
sql_doubles_register "$build/tests/sql_doubles.dll"
mkdir -p express && cp "$build/tests/sqlexpress/SQLEXPR32.exe" express/
e2e_settings_clear
e2e_settings_dword EnumerateSQLInstances 516        # trace events to the trace file
e2e_settings_dword GeneratePartitionsSQLCode 516
e2e_settings_dword InstallSQLServerInstance 1028
demo_sql_package sql.msi demo-sql 'SQLUSERNAME=[ComputerName]\sa' SQLUSERPASSWORD=secret SERVICEACCOUNT=svc \
  'PARTITIONS= Main Site ;Branch-2;;   '
installer=$(e2e_windows_path "$E2E_WORK/express/SQLEXPR32.exe")
e2e_install sql.msi install.log 'CHOSENINSTANCE=OTHERBOX\SALES' "SQLEXPR32=$installer" SQLINSTANCENEW=ONDEXNEW
echo "wine msiexec /i sql.msi /qn /l*vx $E2E_WORK/install.log CHOSENINSTANCE=OTHERBOX\\SALES SQLEXPR32=<stand-in>"
echo "SQLINSTANCENEW=ONDEXNEW -> exit code $E2E_RC"
report_library_lines install.log.txt EnumerateSQLInstances ParseSQLInstanceName GeneratePartitionsSQLCode \
  EnableWinAuth DisableWinAuth InstallSQLServerInstance
echo "The instances offered as ComboBox rows (EnumerateSQLInstances' trace file):"
grep -o 'Current Item: .*' tlk | tr -d '\r' | sed 's/^/    /'
echo "Properties (Wine's engine formats the values it logs, so the batch is shown from the trace file):"
for name in TEXT_SQLINSTANCENAME DISABLENEWINSTANCEOPTION RADIO_SQLINSTANCE SQLSERVER WIN_AUTH SERVICEACCOUNT; do
  printf '    %-35s %s\n' "$name" "$(e2e_property install.log.txt $name)"
done
grep -o 'PARTITIONSSQLCODE: .*' tlk | tr -d '\r' | sed 's/^/    /'
echo "SQLEXPR32.exe was run as: $(e2e_text express/commandline.txt)"
e2e_uninstall sql.msi remove.log
echo
echo "-- CheckSQLServerInstance against the tests' OLE DB provider double (server OTHERBOX\\SALES, database Harbor,"
echo "SQL Server authentication on master), one installation per scripted server; UpdateSqlDbLockInfo after it"
demo_sql_package check.msi demo-sqlcheck IS_SQLSERVER_PASSWORD=secret \
  'SQLLOCKINFO_FORMAT=[SQLLOCKINFO_COMPUTERNAME]|[SQLLOCKINFO_USERNAME]|[SQLLOCKINFO_TIME]|[SQLLOCKINFO_GUID]' \
  'SQLLOCKINFO_SELECTCMD=SELECT Owner FROM dbo.LockInfo'
while IFS='|' read -r what script; do
  printf '%b' "$script" >sql_doubles.txt
  e2e_install check.msi check.log SQL_SERVER_NAME=OTHERBOX SQL_SERVER_INSTANCE=SALES IS_SQLSERVER_DATABASE=Harbor \
    IS_SQLSERVER_AUTHENTICATION=1 IS_SQLSERVER_USERNAME=sa STRINGRES_CHKRQ_PROD_STATUS_OK=Ready \
    STRINGRES_CHKRQ_PROD_STATUS_INACCESSIBLEDB=NoAccess
  printf '    %-58s %s / %s\n' "$what:" "$(e2e_property check.log.txt CHKRQ_PRODSQLSRV_STATUSCODE)" \
    "$(e2e_property check.log.txt CHKRQ_PRODSQLSRV_STATUSTEXT)"
  grep -E '^SqlCheckInstance:  ' check.log.txt | tr -d '\r' | sed 's/^/        /' || true
  e2e_uninstall check.msi remove.log
done <<'TABLE'
no database Harbor|
Harbor exists, the lock query returns no row|oledb-database Harbor\n
Harbor exists and is locked|oledb-database Harbor\noledb-lock-row\n
Harbor exists, Windows authentication refused on it|oledb-database Harbor\noledb-refuse-windows-auth\n
the existence query fails|oledb-existence-fails\noledb-error Invalid object name sysdatabases\n
the server cannot be reached|oledb-unreachable\n
TABLE
echo "The lock record UpdateSqlDbLockInfo composed in the last one: $(e2e_property check.log.txt SQLLOCKINFO)"
sql_doubles_unregister
sql_instances_clear
e2e_settings_clear

# ---- Accounts: the account list, the picker, the credential checks and the lookups ----

echo
echo "== Accounts: the service-account dialog's actions, one case after another in one installation"
echo "Wine's LogonUserW lets every password in and its TranslateNameW never translates, so the checks take the"
echo "local-name path; the tests' object-picker double, registered as an in-process server, is scripted to cancel."
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/accounts"
printf 'cancel\r\n' >objsel.txt
e2e_picker_register "$build/tests/objsel_double.dll" objsel.txt
e2e_settings_clear
e2e_settings_dword PopulateUserAccounts 516        # trace events to the trace file
demo_table_package accounts.wxs accounts.msi demo-accounts ComboBox \
  CREDUIPASSWORD=secret CREDUICONFIRM=secret SERVICEPASSWORD=secret
e2e_install accounts.msi install.log
echo "wine msiexec /i accounts.msi /qn /l*vx $E2E_WORK/install.log -> exit code $E2E_RC"
report_library_lines install.log.txt PopulateUserAccounts DoObjSelDlg CheckEmpty CheckConfirm CheckLocalhost \
  CheckBare CheckCredentials2 CheckBlankService StoreCredentials CheckSetServiceCredentials LookAccountSid LookAccountName
echo "The accounts offered as ComboBox rows (PopulateUserAccounts' trace file):"
grep -o 'Adding .* to ComboBox table' tlk | tr -d '\r' | sed 's/^/    /'
echo "Each case's outcome (CredUIDialogCheckAccountResult and CREDUIACCOUNTNAME after it, or the service codes):"
while IFS='|' read -r name what; do
  printf '    %-60s %s\n' "$what:" "$(e2e_property install.log.txt "$name")"
done <<'TABLE'
A_LISTED|the account preselected in the list
CredUIDialogPickAccountResult|the picker, cancelled
V_EMPTY|CheckCredentials, no account
V_CONFIRM|CheckCredentials, confirmation typed differently
V_LOCALHOST|CheckCredentials, localhost\<user>
V_BARE|CheckCredentials, <user> alone
V_UNKNOWN|CheckCredentials2, NOWHERE\nobody (CREDUIERRORTEXT)
V_SERVICE_BLANK|CheckSetServiceCredentials, no service account
SERVICEACCOUNT|StoreCredentials' hand-over
V_SERVICE|CheckSetServiceCredentials after the hand-over
LookAccountSidACCOUNT|LookAccountSid S-1-5-18, account
LookAccountSidDOMAIN|LookAccountSid S-1-5-18, domain
LookAccountNameResult|LookAccountName <user>
TABLE
e2e_uninstall accounts.msi remove.log
e2e_picker_unregister
e2e_settings_clear

# ---- The setup library's managed database action ----

# report_sql NAME: the action's phases, its "***Ondex***" lines and the
# managed calls the stand-in runtime recorded (host set-up calls left out).
report_sql() {
  report_actions "$1.log.txt" OxSQLAssemblyCaller OxSQLAssemblyCaller_ExecuteRemove64 \
    OxSQLAssemblyCaller_ExecuteInstall64 OxSQLAssemblyCaller_Commit64
  echo "Installer log, the library's ***Ondex*** lines:"
  grep -v "^Storage name" "$1.ondex" | sed 's/^/    /' || echo "    (none)"
  echo "Managed calls recorded by the stand-in runtime:"
  sed -n 's/^Invoke /    /p' "$1.clr" | grep . || echo "    (none)"
}

echo
echo "== Setup library: OxaSQLAssemblyCaller installs, upgrades and removes the configuration database"
echo "Wine has no .NET runtime: the tests' runtime-host double stands in for system32\\mscoree.dll during this"
echo "section and records the managed calls; the two package versions name different SQL servers."
e2e_init "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/sql_assembly"
sql_double_install "$build/tests/mscoree.dll" "$build/wineprefix"
demo_sql_assembly_package v1.msi 1.0.0 SQL_SERVER_NAME=OldServer
v1=$E2E_PRODUCT_CODE
demo_sql_assembly_package v2.msi 2.0.0 SQL_SERVER_NAME=NewServer

echo
echo "-- Version 1.0.0 installs: the install stage creates the database (selected action 2)"
e2e_install v1.msi v1.log
echo "wine msiexec /i v1.msi /qn /l*vx $E2E_WORK/v1.log -> exit code $E2E_RC"
sql_collect v1
report_sql v1

echo
echo "-- Version 2.0.0 (same upgrade code, Upgrade table) installs over it: selected action 3"
e2e_install v2.msi upgrade.log
echo "wine msiexec /i v2.msi /qn /l*vx $E2E_WORK/upgrade.log -> exit code $E2E_RC"
sql_collect upgrade
report_sql upgrade
echo "The call with OldServer is the old product's removal: Wine's RemoveExistingProducts runs"
echo "\"msiexec /qn /i $v1 REMOVE=ALL\" in a process of its own, without a log and"
echo "without UPGRADINGPRODUCTCODE, so that removal selects 5 (on Windows: 6). Version 2.0.0 itself runs no"
echo "managed code: it leaves the upgrade to the extension action."
echo "OxRPCDataExist = $(e2e_property upgrade.log.txt OxRPCDataExist)"
rpc=$(sql_state_folder)/RPCAssembly.dat
echo "RPCAssembly.dat for the extension action: C:\\ProgramData\\Ondex\\Setup\\Temp\\$E2E_PRODUCT_CODE\\RPCAssembly.dat,"
echo "    $(stat -c %s "$rpc") bytes, $(demo_state_members "$rpc") protected members"
echo "Version 1.0.0 is $(e2e_product_registered "$v1" && echo still registered || echo no longer registered)"

echo
echo "-- Removal of version 2.0.0: the remove stage runs the creator with 5"
e2e_uninstall v2.msi remove.log
echo "wine msiexec /x v2.msi /qn /l*vx $E2E_WORK/remove.log -> exit code $E2E_RC"
sql_collect remove
report_sql remove
sql_double_restore
echo "Prefix restored: system32\\mscoree.dll is $(grep -q "Wine builtin DLL" "$SQL_MSCOREE" && echo "Wine's builtin again" ||
  echo "NOT Wine's builtin"); the products' folders under ProgramData\\Ondex\\Setup\\Temp are $(
  ls -d "$(sql_state_folder "$v1")" "$(sql_state_folder)" >/dev/null 2>&1 && echo "still there" || echo gone)."

# ---- The two products' packages, built from the package kit ----

echo
echo "== The products: Ondex Harbor and OndexAlmanac, built from the package kit (kit/README.md) and taken"
echo "through installation, repair, upgrade to 2.0.0 and removal with the tests' doubles in place of SQL Server,"
echo "the object picker, the .NET runtime and IIS (the end-to-end scenarios of tests/e2e, ok/FAIL per check)"
t=$build/tests
bash "$root/tests/e2e/product_harbor.sh" "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/harbor" \
  "$t/sql_doubles.dll" "$t/objsel_double.dll" "$t/mscoree.dll" "$build/wineprefix" "$t/sqlexpress/SQLEXPR32.exe" |
  grep -E '^(ok|FAIL) |^e2e:' | sed 's/^/    /' || true
bash "$root/tests/e2e/product_almanac.sh" "$build/bin/OndexSetupCA.dll" "$build/wine-run.sh" "$build/demo/almanac" \
  "$t/metabase_double.dll" "$t/ondex_test_service.exe" "$t/iisreset/system32/iisreset.exe" "$t/selfssl/selfssl.exe" |
  grep -E '^(ok|FAIL) |^e2e:' | sed 's/^/    /' || true
echo "Exports that entered the library in the two products' installations: $(cat "$build/demo/harbor/harbor.entered" \
  "$build/demo/almanac/almanac.entered" 2>/dev/null | sort -u | wc -l) of 72"

echo
echo "== The support log reader on the OndexAlmanac installation's log (build/host/tools/ondex-logreader LOG)"
summary=$("$root/build/host/tools/ondex-logreader" "$build/demo/almanac/install.log")
sed -n '1,40p' <<<"$summary" | sed 's/^/    /'
echo "    ..."
tail -1 <<<"$summary" | sed 's/^/    /'
