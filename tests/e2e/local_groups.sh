#!/usr/bin/env bash
# A package with a LocalGroup table whose component is installed runs
# CreateLocalGroupsImmediate and CreateLocalGroups: both take the rows in key
# order and stop at the row that demands a group it does not create; the
# engine runs one deferred CreateGroup per scheduled row, which reads exactly
# the data the writer packed (trailing separator included). Wine's group
# calls only pretend, so the assertions read what the library logs and traces.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
trap 'e2e_settings_clear; e2e_reg delete "HKLM\\SOFTWARE\\Ondex\\Setup" /f' EXIT

e2e_settings_clear
e2e_reg delete 'HKLM\SOFTWARE\Ondex\Setup' /f
# 0x204: trace level to the trace file; 0x404: trace level to the installer log.
e2e_settings_dword CreateGroup 516
e2e_settings_dword INTF_InitDeferredCAData 516
e2e_settings_dword INTF_deserializeNxtToken 516
e2e_settings_dword INTF_executeCreateLocalGroups 1028

e2e_build_groups_package groups.msi || exit 1

e2e_install groups.msi install.log
log=install.log.txt
expect_eq "$E2E_RC" 0 "installation succeeds"
for action in CreateLocalGroupsImmediate CreateLocalGroups CreateGroup; do
  expect_eq "$(e2e_action_result $log $action)" 1 "$action succeeds"
done
# Wine logs a start line when the action is queued and another when it runs.
expect_eq "$(grep -c '^Action start [0-9:]*: CreateGroup\.' $log)" 4 "two rows are scheduled and run before the missing group"
expect_line $log "Tolka "
expect_line $log ": Open registry key failed."
expect_line $log "CreateLocalGroupsImmediate:  Error 0x80070103: Local group \"Ghost\" doesn't exist."
expect_line $log "CreateLocalGroups:  Error 0x80070103: Local group \"Ghost\" doesn't exist."
expect_line $log "CreateLocalGroups:    executeCreateLocalGroups: WcaDoDeferredAction: WcaDoDeferredAction Result: 0x0"
expect_true "the logoff mark is set" e2e_reg query 'HKLM\SOFTWARE\Ondex\Setup' /v IsNeedLogoff

# The data each deferred run received, in key order, and what it read of it.
sep=$'\x01'
expect_line tlk "    InitDeferredCAData: Custom Action data: CreateGroup${sep}Harbor Operators${sep}${sep}${sep}9${sep}"
expect_line tlk "    InitDeferredCAData: Custom Action data: CreateGroup${sep}Harbor Readers${sep}Read only${sep}Administrators${sep}5${sep}"
expect_eq "$(grep -o 'cszName = `[^`]*`' tlk | tr '\n' '|')" 'cszName = `Harbor Operators`|cszName = `Harbor Readers`|' \
  "CreateGroup reads the names in key order"
expect_line tlk 'deserializeData result: hr = 0: cszDescription = `Read only`'
expect_line tlk 'deserializeData result: hr = 0: dwAttributes = `5`'
expect_eq "$(grep -c 'CreateGroup: Getting deferred CA data complete : Performing actual execution of deferred CA' tlk)" 2 \
  "both deferred runs read all their fields"

e2e_uninstall groups.msi remove.log
expect_eq "$E2E_RC" 0 "removal succeeds"
expect_eq "$(e2e_action_result remove.log.txt RemoveLocalGroups)" 1 "RemoveLocalGroups succeeds"
expect_eq "$(e2e_action_result remove.log.txt CreateGroup)" none "nothing is created on removal"

e2e_finish
