#!/usr/bin/env bash
# The web package's IIS actions under Wine's msiexec with the IIS classes
# missing: the package ignores the results so that every action runs, and
# each logs or traces why it could not reach IIS and gives the dialog's
# properties their values without IIS; the deferred part's failure fails the
# installation. (With the metabase double the same actions run in the
# OndexAlmanac package.)
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory.
set -u
source "$(dirname "$0")/iis_web_lib.sh"
e2e_init "$1" "$2" "$3"

iis_build_package bare.msi iisbare ignore TracerGetIIsServerBindings_TRACERFLAGS=1540 \
  TracerEnableASPIIS_TRACERFLAGS=1540 || exit 1
e2e_install bare.msi bare.log
log=bare.log.txt
expect_eq "$E2E_RC" 0 "the package installs"
expect_line $log "WAM Admin Initialization failed"
expect_line $log "finish: 0x80040154"
for action in GetValueEnable32BitModeOn64 SetEnable64BitMode; do
  expect_eq "$(e2e_tolka_lines $log $action)" "InitWamAdmin failed.: (0x80040154): Unknown error" "$action logs the failure"
done
expect_line $log 'SQL Command: DELETE FROM `IIsWebSite` WHERE `Web` ='"'DefaultWebSite'"
expect_line $log "DeleteWebFromWebsTable - DefaultWebSite: Result: 0"
while read -r name value; do
  expect_eq "$(e2e_property $log "$name")" "$value" "$name without IIS"
done <<'TABLE'
HOSTHEADER
WEBSITEMBROOTID 1
CheckWebConfigResultCode OK
GetValueEnable32BitModeOn64Result ERR
TABLE

iis_build_package deferred.msi iisdeferred check DEFERREDONLY=1 || exit 1
e2e_install deferred.msi deferred.log
expect_eq "$(e2e_action_result deferred.log.txt ConfigureWebDeferred)" 0 "ConfigureWebDeferred fails"
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"
expect_false "the product is not registered" e2e_product_registered
e2e_finish
