#!/usr/bin/env bash
# The account and credential actions under Wine's msiexec: the account list
# and the picker (the object-picker double registered as an in-process
# server, scripted to cancel), the dialog checks' verdicts and name rewrites
# with a real logon call (Wine's LogonUserW lets every password in), the
# hand-over to the service account and its codes, and the SID and name
# lookups; one password planted in all three password properties appears in
# no line of the library, with every trace scope on.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, objsel_double.dll.
set -u
source "$(dirname "$0")/lib.sh"
double=$(realpath "$4")
e2e_init "$1" "$2" "$3"
trap 'e2e_picker_unregister; e2e_settings_clear' EXIT
e2e_settings_clear
e2e_settings_dword @TRACERFLAGS_ANDORMASK 0
e2e_settings_dword @TRACERFLAGS_XORMASK 1799
printf 'cancel\r\n' >objsel.txt
e2e_picker_register "$double" objsel.txt || { e2e_fail "the picker double registers"; e2e_finish; exit 1; }
secret=Pl4ntedAccountPassw0rd

e2e_wixl "$E2E_DIR/accounts.wxs" accounts.msi accounts || exit 1
msibuild accounts.msi -i "$E2E_DIR/ComboBox.idt" || exit 1
e2e_add_properties accounts.msi "CREDUIPASSWORD=$secret" "CREDUICONFIRM=$secret" "SERVICEPASSWORD=$secret" \
  CredUIDialogCheckAccountResult=untouched || exit 1
e2e_install accounts.msi accounts.log
log=accounts.log.txt
expect_eq "$E2E_RC" 0 "the accounts package installs"
for action in PopulateUserAccounts DoObjSelDlg UpdateCredUIControls CheckEmpty CheckConfirm CheckLocalhost CheckBare \
  CheckCredentials2 CheckBlankService StoreCredentials CheckSetServiceCredentials LookAccountSid LookAccountName; do
  expect_eq "$(e2e_action_result $log $action)" 1 "$action succeeds"
done
computer=$(e2e_property $log ComputerName)
user=$(e2e_property $log LogonUser)
while read -r name value; do
  expect_eq "$(e2e_property $log "$name")" "$value" "$name"
done <<TABLE
A_LISTED $computer\\$user
CredUIDialogPickAccountResult CANCEL
V_EMPTY EMPTY_ACCOUNT_NAME
V_CONFIRM CONFIRM_NOT_MATCH
V_LOCALHOST OK $computer\\$user
V_BARE OK $computer\\$user
V_SERVICE_BLANK 1 Blank account name specified
SERVICEACCOUNT $user
V_SERVICE 0 OK
LookAccountSidACCOUNT SYSTEM
LookAccountSidDOMAIN NT AUTHORITY
LookAccountSidRESULT OK
TABLE
expect_line tlk "Adding \"$computer\\$user\" to ComboBox table"
expect_line tlk "Final HR: 0x0"
expect_true "the unknown account's system text reaches CREDUIERRORTEXT" test -n "$(e2e_property $log V_UNKNOWN)"
expect_true "LookAccountName gives the user's SID" grep -q '^S-1-5-' <<<"$(e2e_property $log LookAccountNameResult)"
expect_eq "$(grep -v '^Property(S)\|^Property(C)' $log | grep -c "$secret")" 0 "the password is in no library line"
expect_false "the trace file holds no password" grep -q "$secret" tlk
e2e_uninstall accounts.msi remove.log
expect_eq "$E2E_RC" 0 "the accounts package is removed"
e2e_finish
