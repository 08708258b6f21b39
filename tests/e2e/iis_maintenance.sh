#!/usr/bin/env bash
# The IIS settings snapshot and its restore under Wine's msiexec, across the
# immediate and deferred processes, against the registrable metabase double
# and the tests' service registered as "IISADMIN"; on removal, the engine's
# own answer to CheckIISState's question. (What each action does to the
# metabase, the service and the site's folder is proven by the Windows tests
# and, in a product's life, by the OndexAlmanac scenario.)
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
expect_line $log "Debug_ShowIIsWebQuery code is currently disabled"

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

# Removal with IISADMIN stopped: nobody answers CheckIISState's question,
# whose default is No.
e2e_uninstall maint.msi remove.log
expect_eq "$E2E_RC" 0 "the package is removed"
expect_eq "$(e2e_property remove.log.txt CheckIISStateResult)" ERR_SERVICE "CheckIISStateResult with IISADMIN stopped"
e2e_finish
