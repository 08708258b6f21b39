#!/usr/bin/env bash
# A package adds two firewall exceptions on installation and removes one on
# removal, through deferred actions whose data property actions set. Wine's
# firewall classes accept every call without changing anything, so what is
# checked is the library's log: the items, the interface chosen for Windows 7
# and no failure. A work list of 7 items is refused with its log line and the
# warning box (which returns at once without a display); the installation
# succeeds all the same.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
trap 'e2e_msiexec /x firewall.msi /qn' EXIT

add='Ondex Harbor|C:\Ondex\harbor.exe|Ondex Harbor|Backup service|8080,8443|Ondex|C:\Ondex\web.exe|Ondex Web|Web||Ondex'
remove='Ondex Harbor|C:\Ondex\harbor.exe|Ondex Harbor|8080,8443'
e2e_build_firewall_package firewall.msi "$add" "$remove" || exit 1

e2e_install firewall.msi seven.log 'FIREWALLADD=Harbor|C:\Ondex\harbor.exe|Harbor|d|80|g|extra'
log=seven.log.txt
expect_eq "$E2E_RC" 0 "installation with 7 items succeeds"
expect_eq "$(e2e_action_result $log FirewallAddApplication)" 1 "FirewallAddApplication succeeds on 7 items"
expect_line $log ": Property: extra"
expect_line $log ": Count of properties is not matched."
expect_no_line $log "Use Firewall API"
e2e_uninstall firewall.msi seven-remove.log
expect_eq "$E2E_RC" 0 "removal succeeds"

e2e_install firewall.msi install.log
log=install.log.txt
expect_eq "$E2E_RC" 0 "installation succeeds"
expect_eq "$(e2e_action_result $log FirewallAddApplication)" 1 "FirewallAddApplication succeeds"
expect_line $log ": Property: Ondex Harbor"
expect_line $log ": Property: C:\\Ondex\\web.exe"
expect_line $log ": Use Firewall API with Advanced Services."
expect_no_line $log " failed."
expect_no_line $log "Count of properties is not matched."

e2e_uninstall firewall.msi remove.log
log=remove.log.txt
expect_eq "$E2E_RC" 0 "removal succeeds"
expect_eq "$(e2e_action_result $log FirewallRemoveApplication)" 1 "FirewallRemoveApplication succeeds"
expect_eq "$(e2e_action_result $log FirewallAddApplication)" none "FirewallAddApplication does not run on removal"
expect_line $log ": Property: 8080,8443"
expect_no_line $log " failed."

e2e_finish
