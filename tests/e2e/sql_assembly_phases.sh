#!/usr/bin/env bash
# OxaSQLAssemblyCaller under msiexec in all its phases, with the runtime-host
# double standing in for the .NET runtime of the custom-action server:
#  - installation: the immediate action writes the state file, the deferred
#    remove stage only logs, the deferred install stage runs the managed
#    creator with code 2 and the commit deletes the state file;
#  - a later failing deferred action: the rollback runs the creator with 5;
#  - removal: the remove stage runs the creator with 5.
# The double replaces system32\mscoree.dll of the prefix for this test only
# (Wine's builtin is put back on exit).
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, the double's DLL,
# the Wine prefix.
set -u
source "$(dirname "$0")/lib.sh"
double=$(realpath "$4")
prefix=$5
e2e_init "$1" "$2" "$3"

# Make sure the prefix exists before its mscoree.dll is swapped.
"$E2E_WINE" cmd /c exit 0 >/dev/null 2>&1
system_mscoree=$prefix/drive_c/windows/system32/mscoree.dll
cp -p "$system_mscoree" builtin-mscoree.dll || exit 1
products=()
# Puts Wine's builtin back and removes the products' (empty) state folders.
restore_prefix() {
  local code
  cp -p "$E2E_WORK/builtin-mscoree.dll" "$system_mscoree"
  for code in "${products[@]}"; do rm -rf "$prefix/drive_c/ProgramData/Ondex/Setup/Temp/$code"; done
}
trap restore_prefix EXIT
cp "$double" "$system_mscoree" || exit 1
export WINEDLLOVERRIDES=mscoree=n

# The custom-action servers are started by msiexec and inherit its
# environment: the double's call log is named through it.
export OXCLR_DOUBLE_LOG="Z:$E2E_WORK/clr.log"
unset OXCLR_DOUBLE_FAIL OXCLR_DOUBLE_RETURN OXCLR_DOUBLE_THROW

# The stand-in assembly: the double answers for any file.
echo "stand-in assembly" >Ondex.Harbor.DBCreator.dll
# build MSI BATHSHELL_DATA: wixl writes every deferred action as 3073
# (deferred, no impersonation); the rollback and commit types are patched.
build() {
  e2e_wixl "$E2E_DIR/sql_assembly.wxs" "$1" sql -D "BathShellData=$2" || return 1
  products+=("$E2E_PRODUCT_CODE")
  msibuild "$1" -q "UPDATE CustomAction SET Type=3329 WHERE Action='OxSQLAssemblyCaller_Rollback64'" || return 1
  msibuild "$1" -q "UPDATE CustomAction SET Type=3585 WHERE Action='OxSQLAssemblyCaller_Commit64'"
}
# The state file: <common application data>\Ondex\Setup\Temp\<product>\OxSQLAssemblyCaller.
state_file() {
  echo "$prefix/drive_c/ProgramData/Ondex/Setup/Temp/$E2E_PRODUCT_CODE/OxSQLAssemblyCaller"
}
assembly="C:\\Program Files\\OndexSqlAssemblyE2E\\Ondex.Harbor.DBCreator.dll"
# The library's lines: the installer formats the record's template, so the
# bracketed time stamp reads as a property reference and comes out empty.
ondex_lines() { sed -n 's/^\*\*\*Ondex\*\*\* *//p' "$1"; }

# ---- 1. Installation ----
build ok.msi 'unused|||cmd.exe /c exit 0' || exit 1
e2e_install ok.msi install.log
log=install.log.txt
ondex_lines $log >install.ondex
cp clr.log install.clr 2>/dev/null || : >install.clr
expect_eq "$E2E_RC" 0 "installation succeeds"
for action in OxSQLAssemblyCaller OxSQLAssemblyCaller_ExecuteRemove64 OxSQLAssemblyCaller_ExecuteInstall64 \
  OxSQLAssemblyCaller_Commit64; do
  expect_eq "$(e2e_action_result $log $action)" 1 "$action succeeds"
done
expect_line install.ondex "Extension assembly path: '$assembly'."
expect_line install.ondex "Service component mode: 3."
expect_line install.ondex "Selected action: 2."
expect_line install.ondex "Action '2' won't be executed while ExecuteRemove."
expect_line install.ondex "Executing action '2' while ExecuteInstall..."
expect_line install.ondex "Executing Ondex.Harbor.DBCreator.CBackupCreator.Create()"
expect_line install.ondex "=========OxSQLAssemblyCaller: Cleaning up temporary data."
expect_no_line install.ondex "Executing Rollback"
expect_eq "$(grep -c "Storage name: '.*OxSQLAssemblyCaller'." install.ondex)" 4 \
  "every phase names the state file"
expect_eq "$(e2e_property $log OxSQLAssemblyCaller_ExecuteInstall64 | sed 's/.*\\//')" OxSQLAssemblyCaller \
  "the deferred data names the state file"
expect_false "the commit deletes the state file" test -e "$(state_file)"
expect_line install.clr "MsiInit"
expect_line install.clr "Create"
expect_line install.clr "Invoke Ondex.Harbor.DBCreator.CLogger.MsiInit(int:"
expect_line install.clr \
  "Invoke Ondex.Harbor.DBCreator.CBackupCreator.Create(int:2, bstr:, bstr:, bstr:, bstr:C:\\Program Files\\OndexSqlAssemblyE2E\\)"
expect_eq "$(grep -c '^Invoke' install.clr)" 2 "only the install stage runs managed code"

# ---- 2. Removal: the remove stage runs the creator with 5 ----
rm -f clr.log
e2e_uninstall ok.msi remove.log
log=remove.log.txt
ondex_lines $log >remove.ondex
cp clr.log remove.clr 2>/dev/null || : >remove.clr
expect_eq "$E2E_RC" 0 "removal succeeds"
expect_line remove.ondex "Service component mode: 1."
expect_line remove.ondex "Selected action: 5."
expect_line remove.ondex "Executing action '5' while ExecuteRemove..."
expect_line remove.ondex "Action '5' won't be executed while ExecuteInstall."
expect_line remove.ondex "=========OxSQLAssemblyCaller: Cleaning up temporary data."
expect_line remove.clr \
  "Invoke Ondex.Harbor.DBCreator.CBackupCreator.Create(int:5, bstr:, bstr:, bstr:, bstr:C:\\Program Files\\OndexSqlAssemblyE2E\\)"
expect_eq "$(grep -c '^Invoke' remove.clr)" 2 "only the remove stage runs managed code"
expect_false "the product is no longer registered" e2e_product_registered
expect_false "the commit deletes the state file" test -e "$(state_file)"

# ---- 3. A failing deferred action after the install stage: rollback ----
rm -f clr.log
build fail.msi 'Failing tool|||cmd.exe /c exit 2' || exit 1
e2e_install fail.msi fail.log FAILLATE=1
log=fail.log.txt
ondex_lines $log >fail.ondex
cp clr.log fail.clr 2>/dev/null || : >fail.clr
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"
expect_eq "$(e2e_action_result $log BathShell)" 0 "BathShell fails"
expect_eq "$(e2e_action_result $log OxSQLAssemblyCaller_Rollback64)" 1 "the rollback action succeeds"
expect_line fail.ondex "Executing action '2' while ExecuteInstall..."
expect_line fail.ondex "Executing Rollback for action '2' ..."
expect_line fail.ondex "=========OxSQLAssemblyCaller: Cleaning up temporary data."
expect_line fail.clr \
  "Invoke Ondex.Harbor.DBCreator.CBackupCreator.Create(int:2, bstr:, bstr:, bstr:, bstr:C:\\Program Files\\OndexSqlAssemblyE2E\\)"
# Wine runs the rollback custom actions after its own rollback of the file
# installation (Windows reverses the script), so the assembly is gone by then.
expect_line fail.ondex "Assembly file cannot be found."
expect_eq "$(grep '^Invoke .*Create' fail.clr | sed 's/.*Create(int:\([0-9]\).*/\1/' | tr -d '\n')" 2 \
  "only the install stage reaches the creator"
expect_false "the product is not registered" e2e_product_registered
expect_false "the rollback deletes the state file" test -e "$(state_file)"

e2e_finish
