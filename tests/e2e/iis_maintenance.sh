#!/usr/bin/env bash
# The IIS state and maintenance actions under Wine's msiexec, against the
# registrable metabase double and the tests' service registered as
# "IISADMIN": the settings snapshot and its restore across the immediate and
# deferred processes, the service check and stop, the deferred pipeline
# change, and on removal the site's clean-up.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, metabase_double.dll,
# ondex_test_service.exe, the stand-in iisreset.exe.
set -u
source "$(dirname "$0")/iis_maintenance_lib.sh"
double=$(realpath "$4") service=$(realpath "$5") reset=$(realpath "$6")
e2e_init "$1" "$2" "$3"
trap iis_maint_cleanup EXIT
iis_maint_setup "$double" "$service" "$reset" || { e2e_fail "the IIS stand-ins are set up"; e2e_finish; exit 1; }
expect_true "IISADMIN runs" iis_admin_start

# The seed: site 1 (":80:", AuthFlags 4, virtual directory OndexLegacy),
# site 2 ("Ondex Reports" on 8082, no AuthFlags, its root C:\OndexReports),
# the application pools OndexAlmanac and "Ondex Reports".
iis_maint_build maint.msi iismaint || exit 1
e2e_install maint.msi install.log
log=install.log.txt
expect_eq "$E2E_RC" 0 "the package installs"
for action in CheckIISState StopIISAdminService GetPathWWWRoot GetDotNetFrameworkPath Debug_ShowIIsWebQuery IIsReset \
  ChangeAuthFlags ProtectIISSettings RestoreIISSettings SetPiplineModeClassic; do
  expect_eq "$(e2e_action_result $log $action)" 1 "$action succeeds"
done
while read -r name value; do
  expect_eq "$(e2e_property $log "$name")" "$value" "$name"
done <<'TABLE'
CheckIISStateResult OK
CheckIISStateException Current state of site with index 1is 2
StartingIISAdminService YES
STARTIIS YES
IISROOTDIR C:\Inetpub\wwwroot\
DOTNETFRAMEWORKPATH C:\Windows\Microsoft.NET\Framework64\v2.0.50727\
TABLE
expect_eq "$(iis_admin_state)" 1 "StopIISAdminService stopped IISADMIN"
expect_line $log "Debug_ShowIIsWebQuery code is currently disabled"
expect_true "IIsReset started the prefix's iisreset.exe quoted" \
  grep -qiF '"C:\windows\system32\iisreset.exe"' "${IIS_RESET%/*}/commandline.txt"

# The snapshot as the deferred ChangeAuthFlags found it, before it set site
# 1's AuthFlags to 16; RestoreIISSettings, queued after it, put the saved
# flags back as file-type records and removed the key.
snapshot=$(tr -d '\r' <snapshot.txt 2>/dev/null)
expect_true "the snapshot holds site 1's AuthFlags" grep -q '/LM/W3SVC/1 *REG_DWORD *0x4$' <<<"$snapshot"
expect_true "the snapshot holds 5 for site 2" grep -q '/LM/W3SVC/2 *REG_DWORD *0x5$' <<<"$snapshot"
script=$(sed -n '/^Action start [0-9:]*: InstallFinalize\./,$ s/^Action start [0-9:]*: \([A-Za-z]*\)\..*/\1/p' $log |
  grep -x 'ChangeAuthFlags\|RestoreIISSettings\|SetPiplineModeClassic' | tr '\n' ' ')
expect_eq "$script" "ChangeAuthFlags RestoreIISSettings SetPiplineModeClassic " "the script runs the restore where ProtectIISSettings queued it"
expect_eq "$(iis_auth_flags /LM/W3SVC/1)" "6000 1 2 1 dword:4" "site 1's AuthFlags are restored"
expect_eq "$(iis_auth_flags /LM/W3SVC/2)" "6000 1 2 1 dword:5" "site 2 gets AuthFlags 5"
expect_false "the snapshot key is gone" e2e_reg query "$IIS_SNAPSHOT_KEY"
expect_eq "$(iis_site_lines /LM/W3SVC/AppPools/OndexAlmanac)" "9041 1 1 1 dword:1" "SetPiplineModeClassic set the pool classic"

# Removal with IISADMIN stopped: nobody answers CheckIISState's question,
# whose default is No. DeleteWebSiteStuff removes the reports site's folder
# and keys, DeleteVirtualRootXP site 1's virtual directory.
e2e_uninstall maint.msi remove.log
log=remove.log.txt
expect_eq "$E2E_RC" 0 "the package is removed"
for action in DeleteWebSiteStuff DeleteVirtualRootXP; do
  expect_eq "$(e2e_action_result $log $action)" 1 "$action succeeds"
done
expect_eq "$(e2e_property $log CheckIISStateResult)" ERR_SERVICE "CheckIISStateResult with IISADMIN stopped"
expect_eq "$(e2e_tolka_lines $log CheckIISState)" "IIS Service is stopped." "CheckIISState logs the stopped service"
expect_eq "$(e2e_tolka_lines $log DeleteWebSiteStuff)" "Path of web site:/2
Folder of web site: C:\\OndexReports
OpenKey succeded.
DeleteKey site stuff succeded.
DeleteKey site AppPools succeded." "DeleteWebSiteStuff logs its steps"
expect_false "the reports site's folder tree is deleted" test -e "$IIS_REPORTS"
expect_no_line metabase.txt "/LM/W3SVC/2"
expect_no_line metabase.txt "/LM/W3SVC/AppPools/Ondex Reports"
expect_false "site 1's virtual directory is gone" grep -qx /LM/W3SVC/1/ROOT/OndexLegacy metabase.txt
expect_line metabase.txt "AppDelete /LM/W3SVC/1/ROOT/OndexLegacy"
e2e_finish
