#!/usr/bin/env bash
# The web package's IIS actions under Wine's msiexec: first with the
# registrable metabase double in the prefix, whose text file every
# custom-action process reads and writes, then with the IIS classes missing.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, metabase_double.dll.
set -u
source "$(dirname "$0")/iis_web_lib.sh"
double=$(realpath "$4")
e2e_init "$1" "$2" "$3"
trap iis_double_unregister EXIT
iis_double_register "$double" || { e2e_fail "the metabase double registers"; e2e_finish; exit 1; }

# The seed metabase: sites 1 (":80:", "Default Web Site") and 2
# ("10.0.0.7:8081:reports.ondex.test", "Ondex Reports"), both extensions
# prohibited, application pools in 32-bit mode. The package reads site 2's
# bindings and asks for a new site "OndexAlmanac" on port 08081.
iis_build_package web.msi iisweb check || exit 1
e2e_install web.msi web.log
log=web.log.txt
expect_eq "$E2E_RC" 0 "the web package installs"
for action in PreInitIIsWebData InitWebConfigGui GetIIsServerBindings SetTargetSiteId CheckWebConfig CheckLocalTCP \
  StoreWebConfig GetValueEnable32BitModeOn64 ConfigureWeb ConfigureWebDeferred EnableASPIIS SetEnable64BitMode; do
  expect_eq "$(e2e_action_result $log $action)" 1 "$action succeeds"
done
expect_line $log 'SQL Command: DELETE FROM `IIsWebSite` WHERE `Web` ='"'DefaultWebSite'"
expect_line $log "DeleteWebFromWebsTable - DefaultWebSite: Result: 0"
while read -r name value; do
  expect_eq "$(e2e_property $log "$name")" "$value" "$name"
done <<'TABLE'
USEEXISTINGWEB NO
HOSTHEADER reports.ondex.test
WEBSITEMBROOTID 3
EDIT_TCPPORT 8081
CheckWebConfigResultCode E_TCPPORTVALUE_PORTOCCUPIED
CheckLocalTCPResult ERR_OUTOFRANGE
WebCheckStat S_OK
WEBSITENAME OndexAlmanac
TCPPORT 8081
GetValueEnable32BitModeOn64Result 1
TABLE
data=$(e2e_property $log ConfigureWebDeferred | tr '\001' '|')
expect_true "the deferred data names the new site" grep -qF "|/LM/W3SVC/3|OndexAlmanac|1|OndexAlmanac|Home.aspx|" <<<"$data"
expect_true "the deferred data carries the binding and ASP.NET" grep -qF "|3|8081|reports.ondex.test||ASP.NET v2.0|" <<<"$data"
expect_line metabase.txt '2168 0 1 5 list:1,C:\WINDOWS\Microsoft.NET\Framework\v2.0.50727\aspnet_isapi.dll,0,ASP.NET v2.0.50727,'
expect_line metabase.txt '|1,C:\WINDOWS\system32\inetsrv\asp.dll,0,ASP,Active Server Pages'
expect_line metabase.txt "9040 1 1 1 dword:0"

# Without the IIS classes: the package ignores the results so that every
# action runs; each logs or traces why it could not reach IIS and leaves the
# dialog's properties as the Windows tests show.
iis_double_unregister
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
while read -r name value; do
  expect_eq "$(e2e_property $log "$name")" "$value" "$name without IIS"
done <<'TABLE'
HOSTHEADER
WEBSITEMBROOTID 1
CheckWebConfigResultCode OK
GetValueEnable32BitModeOn64Result ERR
TABLE

# The deferred part's failure is the one that fails the installation.
iis_build_package deferred.msi iisdeferred check DEFERREDONLY=1 || exit 1
e2e_install deferred.msi deferred.log
log=deferred.log.txt
expect_eq "$(e2e_action_result $log ConfigureWebDeferred)" 0 "ConfigureWebDeferred fails"
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"
expect_false "the product is not registered" e2e_product_registered
e2e_finish
