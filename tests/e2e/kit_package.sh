#!/usr/bin/env bash
# A package built from the package kit as its README says (wixl with the kit
# as include folder, the type fix-up, the kit's tables): every export of the
# DLL is declared with the DLL as its source, the deferred, rollback and
# commit actions and HideTarget have the types their markup means, the kit's
# example rows are in their tables, and the package installs and is removed
# under Wine's msiexec, running the actions it schedules.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, the .def file.
set -u
source "$(dirname "$0")/lib.sh"
def=$(realpath "$4")
kit=$(realpath "$E2E_DIR/../../kit")
e2e_init "$1" "$2" "$3"
trap 'e2e_settings_clear; e2e_reg delete "HKLM\\SOFTWARE\\Ondex\\Setup" /f' EXIT
e2e_settings_clear
e2e_settings_dword GetCoreNumber 1028
e2e_settings_dword CreateGroup 1028

e2e_wixl "$E2E_DIR/kit_package.wxs" kit.msi kit -I "$kit" || { e2e_fail "wixl builds the kit package"; e2e_finish; exit 1; }
"$kit/wixl-fixup.sh" kit.msi
for table in Prerequisites PrerequisiteActions LocalGroup SqlDatabase; do
  msibuild kit.msi -i "$kit/tables/$table.idt" || e2e_fail "the kit's $table table imports"
done

# Declarations: every export is some custom action's entry point in the DLL.
msiinfo export kit.msi CustomAction | tr -d '\r' >actions.idt
declared=$(e2e_def_exports "$def")
entries=$(awk -F'\t' 'NR > 3 && $3 == "OndexSetupCA" { print $4 }' actions.idt | sort -u)
expect_eq "$(comm -23 <(echo "$declared") <(echo "$entries") | tr '\n' ' ')" "" "every export is declared by the kit"
expect_eq "$(comm -13 <(echo "$declared") <(echo "$entries") | tr '\n' ' ')" "" "the kit declares no entry point the DLL lacks"
type_of() { awk -F'\t' -v a="$1" '$1 == a { print $2 }' actions.idt; }
while read -r action type; do
  expect_eq "$(type_of "$action")" "$type" "$action has type $type"
done <<'TABLE'
GetCoreNumber 1
CreateGroup 3073
BathShell 11265
ConfigureWebDeferred 11265
DelShareFolder 3137
OxSQLAssemblyCaller_Rollback64 3329
OxSQLAssemblyCaller_Commit64 3585
TABLE
expect_true "MsiHiddenProperties names the passwords" \
  bash -c 'msiinfo export kit.msi Property | grep -q "^MsiHiddenProperties.*CREDUIPASSWORD;CREDUICONFIRM;SERVICEPASSWORD"'
expect_true "the example LocalGroup row is in the package" \
  bash -c 'msiinfo export kit.msi LocalGroup | grep -q "^HarborOperators	OndexHarborService_x64	Harbor Operators"'

e2e_install kit.msi install.log
log=install.log.txt
expect_eq "$E2E_RC" 0 "the kit package installs"
expect_true "GetCoreNumber gives a processor count" grep -qE '^[1-9][0-9]*$' <<<"$(e2e_property $log GetCoreNumberResult)"
expect_line $log "GetCoreNumber:    GetCoreNumber: Welcome!: Entering Binary custom action"
expect_line $log "CreateGroup:    CreateGroup: Welcome!: Entering Binary custom action"
e2e_uninstall kit.msi remove.log
expect_eq "$E2E_RC" 0 "the kit package is removed"
expect_eq "$(e2e_action_result remove.log.txt RemoveLocalGroups)" 1 "RemoveLocalGroups runs on removal"
e2e_finish
