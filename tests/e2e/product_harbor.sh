#!/usr/bin/env bash
# The Ondex Harbor package built from the package kit (packages/OndexHarbor.wxs)
# through its whole life under Wine's msiexec, with the tests' doubles in
# place of what Wine lacks (SQL-DMO and the SQL Server OLE DB provider, the
# object picker, the .NET runtime host): version 1.0.0 installed, repaired,
# upgraded to 2.0.0 (a major upgrade) and removed. Each installation's actions
# must succeed, and every export the package calls must have entered the
# library (its entry line: every trace scope is on). Along the way: the kit's
# declarations, the engine's hand-over to the setup library's deferred,
# rollback and commit stages and to one deferred CreateGroup per scheduled
# row, and the managed calls of each stage.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, sql_doubles.dll,
# objsel_double.dll, the runtime-host double mscoree.dll, the Wine prefix, the
# stand-in SQLEXPR32.exe.
set -u
source "$(dirname "$0")/sql_assembly_lib.sh"
source "$(dirname "$0")/sql_lib.sh"
source "$(dirname "$0")/products_lib.sh"
sql=$(realpath "$4") picker=$(realpath "$5") express=$(realpath "$8")
sql_init "$1" "$2" "$3" "$6" "$7" || exit 1
echo '<BackupDatabase/>' >BackupDatabase.xml
echo "stand-in assembly" >Ondex.Harbor.WmiServer.Core.dll
echo "stand-in service" >Ondex.Harbor.WmiServer.exe
mkdir -p express && cp "$express" express/SQLEXPR32.exe
export OXCLR_DOUBLE_RETURN="Ondex.Harbor.DBCreator.CBackupValidator.Validate=true;Ondex.Harbor.DBCreator.CBackupLockValidator.Validate=true"
HARBOR_UPGRADE_CODE=7E3A5C21-4B86-4F0D-9A1C-2D6B8E0F4A37
trap 'products_remove_leftovers "$HARBOR_UPGRADE_CODE"; e2e_picker_unregister; sql_doubles_unregister; sql_instances_clear; sql_double_restore; e2e_settings_clear; e2e_reg delete "HKLM\\SOFTWARE\\Ondex\\Setup" /f' EXIT
products_remove_leftovers "$HARBOR_UPGRADE_CODE"
e2e_settings_clear
e2e_settings_dword @TRACERFLAGS_ANDORMASK 0
e2e_settings_dword @TRACERFLAGS_XORMASK 1799
sql_instances_clear
sql_instances_add MSSQLSERVER ONDEX
printf 'oledb-database Harbor\r\n' >sql_doubles.txt
printf 'cancel\r\n' >objsel.txt
e2e_picker_register "$picker" objsel.txt || { e2e_fail "the picker double registers"; e2e_finish; exit 1; }
mkdir -p catalog
secret=Pl4ntedHarborPassw0rd
sep=$'\x01'

# The package's inputs, as Property rows (values with blanks cannot pass msiexec's command line).
inputs=(SQL_SERVER_NAME=OTHERBOX SQL_SERVER_INSTANCE=SALES IS_SQLSERVER_DATABASE=Harbor 'DOTNETFX_EXE=C:\missing\dotnetfx.exe'
  'CHOSENINSTANCE=localhost\ONDEX' 'PARTITIONS=Main Site;Branch-2' "CATALOGPATH=$(e2e_windows_path "$E2E_WORK/catalog")"
 'FIREWALLADD=Ondex Harbor|C:\Program Files\Ondex Harbor\harbor.exe|Ondex Harbor|Backup service|8080|Ondex'
  'FIREWALLREMOVE=Ondex Harbor|C:\Program Files\Ondex Harbor\harbor.exe|Ondex Harbor|8080' 'BATHSHELLCOMMANDS=Finishing|||cmd.exe /c exit 0'
  'ShellCommand=cmd.exe /c exit 0' 'ShellCommandHidden=cmd.exe /c exit 0'
  "REMOVEGROUPDATA=RemoveGroup${sep}Harbor Operators${sep}${sep}${sep}13${sep}" LookAccountSidSID=S-1-5-18 LookAccountUser=root PICKACCOUNT=1 GROUPSNOW=1)

# harbor_build MSI VERSION: the package as the kit's guide builds it, with the inputs.
harbor_build() {
  local table
  products_build "$PRODUCTS_ROOT/packages/OndexHarbor.wxs" "$1" harbor "$2" || return 1
  SQL_PRODUCTS+=("$E2E_PRODUCT_CODE")
  for table in Prerequisites PrerequisiteActions LocalGroup SqlDatabase ComboBox; do
    msibuild "$1" -i "$PRODUCTS_ROOT/kit/tables/$table.idt" || return 1
  done
  # A second group, before the kit's row in key order.
  msibuild "$1" -q "INSERT INTO \`LocalGroup\` (\`LocalGroup\`, \`Component_\`, \`Name\`, \`Attributes\`) VALUES ('HarborAuditors', 'OndexHarborService_x64', 'Harbor Auditors', 9)" || return 1
  e2e_add_properties "$1" "CREDUIPASSWORD=$secret" "CREDUICONFIRM=$secret" "SERVICEPASSWORD=$secret" \
    "SQLUSERPASSWORD=$secret" "IS_SQLSERVER_PASSWORD=$secret" "${inputs[@]}"
}


harbor_build v1.msi 1.0.0 || exit 1
# The kit declares every export, and nothing else, with the DLL as source,
# and the types its markup means.
msiinfo export v1.msi CustomAction | tr -d '\r' >actions.idt
entries=$(awk -F'\t' 'NR > 3 && $3 == "OndexSetupCA" { print $4 }' actions.idt | sort -u)
expect_eq "$(comm -3 <(e2e_def_exports "$PRODUCTS_ROOT/src/exports/OndexSetupCA.def") <(echo "$entries") | tr -d '\t' | tr '\n' ' ')" \
  "" "the kit declares exactly the DLL's exports"
expect_eq "$(awk -F'\t' '$1 ~ /^(GetCoreNumber|CreateGroup|BathShell|ConfigureWebDeferred|DelShareFolder|OxSQLAssemblyCaller_(Rollback|Commit)64)$/ { print $1 "=" $2 }' actions.idt | sort | tr '\n' ' ')" \
  "BathShell=11265 ConfigureWebDeferred=11265 CreateGroup=3073 DelShareFolder=3137 GetCoreNumber=1 OxSQLAssemblyCaller_Commit64=3585 OxSQLAssemblyCaller_Rollback64=3329 " \
  "the kit's action types"
# Wine cannot share a folder (NetShareAdd answers 50): with the catalog share
# asked for, the installation fails and is rolled back; without it, it succeeds.
# The SQL doubles are not registered yet: no OLE DB provider for the check.
# (Not in the benchmark's runs, whose stand-in DLL shares nothing.)
if [ -z "${E2E_AS_SHIPPED:-}" ]; then
  e2e_install v1.msi share.log IS_SQLSERVER_AUTHENTICATION=0 CATSHARENAME=HarborCatalog
  expect_eq "$E2E_RC" 67 "with the share, the installation fails under Wine"
  expect_line share.log.txt "ShareFolder NetShareAdd failed.: (0x32): "
  # Wine runs the rollback actions after its own rollback of the files.
  sql_collect share
  expect_line share.ondex "Executing Rollback for action '2' ..."
  expect_line share.ondex "Assembly file cannot be found."
  expect_false "the rolled back Harbor is not registered" e2e_product_registered
  expect_line share.log.txt "SqlCheckInstance:  Error 0x80040154: connecting 'master' database at the server 'OTHERBOX'"
  expect_line share.log.txt "CheckSQLServerInstance: SqlCheckInstance Result: Code: 4"
fi
sql_doubles_register "$sql" || { e2e_fail "the SQL doubles register"; e2e_finish; exit 1; }
e2e_install v1.msi install.log IS_SQLSERVER_AUTHENTICATION=0
expect_eq "$E2E_RC" 0 "version 1.0.0 installs"
expect_eq "$(products_failed_actions install.log.txt)" "" "no action fails"
expect_eq "$(e2e_property install.log.txt CredUIDialogCheckAccountResult)" OK "the service account is checked"
expect_eq "$(e2e_property install.log.txt CheckServiceAccountResultCode)" 0 "the service account is accepted"
expect_line install.log.txt "CheckSQLServerInstance:    CheckSQLServerInstance: SqlCheckInstance Result: Code: S_DBEXISTS"
expect_eq "$(e2e_property install.log.txt IsProductLineInstalledResult)" NO "no older Harbor is installed"
expect_eq "$(grep -v '^Property(S)\|^Property(C)' install.log.txt | grep -c "$secret")" 0 "no password in the library's lines"
sql_collect install
expect_eq "$(sql_create_calls install.clr)" 2 "the install stage creates the database (2)"
expect_false "the commit deletes the state file" test -e "$(sql_state_file)"
expect_eq "$(grep -c "Storage name: '.*OxSQLAssemblyCaller'." install.ondex)" 4 "every phase names the state file"
expect_eq "$(grep -o 'cszName = `[^`]*`' install.log.txt | uniq | tr '\n' '|')" 'cszName = `Harbor Auditors`|cszName = `Harbor Operators`|' \
  "each deferred CreateGroup reads its own row's data, in key order"
expect_line install.log.txt "InitDeferredCAData: Custom Action data: CreateGroup${sep}Harbor Auditors${sep}${sep}${sep}9${sep}"
expect_line install.log.txt "Current Item: localhost\ONDEX"
expect_line install.log.txt " to ComboBox table"

# A repair (Wine's msiexec /f does nothing and answers 1: REINSTALL does it).
e2e_install v1.msi repair.log REINSTALL=ALL REINSTALLMODE=vomus
expect_eq "$E2E_RC" 0 "version 1.0.0 is repaired"
expect_eq "$(products_failed_actions repair.log.txt)" "" "no action of the repair fails"
sql_collect repair

harbor_build v2.msi 2.0.0 || exit 1
e2e_install v2.msi upgrade.log IS_SQLSERVER_AUTHENTICATION=1 \
  "SQLEXPR32=$(e2e_windows_path "$E2E_WORK/express/SQLEXPR32.exe")" SQLUSERNAME=sa
expect_eq "$E2E_RC" 0 "version 2.0.0 upgrades 1.0.0"
expect_eq "$(e2e_property upgrade.log.txt IsProductLineInstalledResult)" YES "the upgrade finds the older Harbor"
expect_eq "$(products_failed_actions upgrade.log.txt)" "" "no action of the upgrade fails"
# Wine removes the older product in a process of its own without
# UPGRADINGPRODUCTCODE: that removal's remove stage selects 5 (on Windows: 6).
sql_collect upgrade
expect_line upgrade.ondex "Upgrade will be performed in OxRPCExtension action."
expect_line upgrade.ondex "Action '3' won't be executed while ExecuteRemove."
expect_eq "$(sql_create_calls upgrade.clr)" 5 "only the old Harbor's remove stage reaches the creator"

e2e_uninstall v2.msi remove.log CATSHARENAME=HarborCatalog
expect_eq "$E2E_RC" 0 "version 2.0.0 is removed"
sql_collect remove
expect_eq "$(sql_create_calls remove.clr)" 5 "the remove stage runs the creator with 5"
expect_line remove.ondex "Executing action '5' while ExecuteRemove..."
cat share.log.txt install.log.txt repair.log.txt upgrade.log.txt remove.log.txt >all.log.txt
products_entered all.log.txt >harbor.entered
expect_eq "$(wc -l <harbor.entered)" "$(wc -l <"$E2E_DIR/product_harbor.exports")" "the exports the package calls"
expect_eq "$(comm -13 harbor.entered "$E2E_DIR/product_harbor.exports" | tr '\n' ' ')" "" "every export of Harbor entered the library"
e2e_finish
