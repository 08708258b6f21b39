#!/usr/bin/env bash
# OxaSQLAssemblyCaller under msiexec in all its phases, with the runtime-host
# double standing in for the .NET runtime of the custom-action server:
#  - installation: the immediate action writes the state file, the deferred
#    remove stage only logs, the deferred install stage runs the managed
#    creator with code 2 and the commit deletes the state file;
#  - a later failing deferred action: the rollback runs the creator with 5;
#  - removal: the remove stage runs the creator with 5.
# The double replaces system32\mscoree.dll of the prefix for this test only
# (Wine's builtin is put back on exit); leftovers of earlier runs are removed
# first.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, the double's DLL,
# the Wine prefix.
set -u
source "$(dirname "$0")/sql_assembly_lib.sh"
sql_init "$@" || exit 1

# ---- 1. Installation ----
sql_build ok.msi 1.0.0 'unused|||cmd.exe /c exit 0' || exit 1
e2e_install ok.msi install.log
log=install.log.txt
sql_collect install
expect_eq "$E2E_RC" 0 "installation succeeds"
for action in OxSQLAssemblyCaller OxSQLAssemblyCaller_ExecuteRemove64 OxSQLAssemblyCaller_ExecuteInstall64 \
  OxSQLAssemblyCaller_Commit64; do
  expect_eq "$(e2e_action_result $log $action)" 1 "$action succeeds"
done
expect_line install.ondex "Extension assembly path: '$SQL_ASSEMBLY'."
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
expect_false "the commit deletes the state file" test -e "$(sql_state_file)"
expect_line install.clr "MsiInit"
expect_line install.clr "Create"
expect_line install.clr "Invoke Ondex.Harbor.DBCreator.CLogger.MsiInit(int:"
expect_line install.clr \
  "Invoke Ondex.Harbor.DBCreator.CBackupCreator.Create(int:2, bstr:, bstr:, bstr:, bstr:C:\\Program Files\\OndexSqlAssemblyE2E\\)"
expect_eq "$(grep -c '^Invoke' install.clr)" 2 "only the install stage runs managed code"

# ---- 2. Removal: the remove stage runs the creator with 5 ----
e2e_uninstall ok.msi remove.log
log=remove.log.txt
sql_collect remove
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
expect_false "the commit deletes the state file" test -e "$(sql_state_file)"

# ---- 3. A failing deferred action after the install stage: rollback ----
sql_build fail.msi 1.0.0 'Failing tool|||cmd.exe /c exit 2' || exit 1
e2e_install fail.msi fail.log FAILLATE=1
log=fail.log.txt
sql_collect fail
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
expect_eq "$(sql_create_calls fail.clr)" 2 "only the install stage reaches the creator"
expect_false "the product is not registered" e2e_product_registered
expect_false "the rollback deletes the state file" test -e "$(sql_state_file)"

e2e_finish
