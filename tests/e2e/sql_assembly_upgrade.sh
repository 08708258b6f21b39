#!/usr/bin/env bash
# A major upgrade of the package that runs OxaSQLAssemblyCaller, under msiexec
# with the runtime-host double (see sql_assembly_phases.sh):
#  - version 1.0.0 installs and creates the database (selected action 2);
#  - version 2.0.0, same upgrade code, finds it: its immediate action selects
#    3 and leaves RPCAssembly.dat for the extension action, and neither of its
#    stages runs managed code; RemoveExistingProducts removes 1.0.0, whose
#    remove stage runs the creator;
#  - removal of 2.0.0 runs the creator with 5.
# The packages name different SQL servers, so each managed call shows which
# product made it. Arguments: as for sql_assembly_phases.sh.
set -u
source "$(dirname "$0")/sql_assembly_lib.sh"
sql_init "$@" || exit 1

sql_build v1.msi 1.0.0 unused SQL_SERVER_NAME=OldServer || exit 1
v1=$E2E_PRODUCT_CODE
sql_build v2.msi 2.0.0 unused SQL_SERVER_NAME=NewServer || exit 1

e2e_install v1.msi v1.log
sql_collect v1
expect_eq "$E2E_RC" 0 "version 1.0.0 installs"
expect_eq "$(sql_create_calls v1.clr)" 2 "version 1.0.0 creates the database"

# ---- The upgrade ----
e2e_install v2.msi upgrade.log
log=upgrade.log.txt
sql_collect upgrade
expect_eq "$E2E_RC" 0 "version 2.0.0 installs over it"
expect_eq "$(e2e_property $log OLDERVERSIONS)" "$v1" "the Upgrade table finds 1.0.0"
expect_line upgrade.ondex "Service component mode: 3."
expect_line upgrade.ondex "Selected action: 3."
expect_line upgrade.ondex "Action '3' won't be executed while ExecuteRemove."
expect_line upgrade.ondex "Upgrade will be performed in OxRPCExtension action."
expect_no_line upgrade.ondex "Loading Ondex.Harbor.DBCreator assembly"
expect_eq "$(e2e_property $log OxRPCDataExist)" 1 "OxRPCDataExist is set"
rpc=$(sql_state_folder)/RPCAssembly.dat
expect_eq "$(sql_state_members "$rpc")" 9 "RPCAssembly.dat in the new product's folder holds nine members"
expect_false "its members are protected" grep -qaP 'N\x00e\x00w\x00S\x00e\x00r\x00v\x00e\x00r' "$rpc"
expect_false "the commit deletes the state file" test -e "$(sql_state_file)"
# Wine removes the older product with "msiexec /qn /i {code} REMOVE=ALL" in a
# process of its own, without a log and without UPGRADINGPRODUCTCODE (Windows
# passes it): that removal selects 5, not 6. The double records the calls of
# every process, so its remove stage shows up here, with the old server name.
expect_eq "$(sql_create_calls upgrade.clr)" 5 "only the old product's remove stage reaches the creator, with 5"
expect_line upgrade.clr "Invoke Ondex.Harbor.DBCreator.CBackupCreator.Create(int:5, bstr:OldServer, "
expect_false "version 1.0.0 is no longer registered" e2e_product_registered "$v1"
expect_true "version 2.0.0 is registered" e2e_product_registered

# ---- Removal of 2.0.0 ----
e2e_uninstall v2.msi remove.log
sql_collect remove
expect_eq "$E2E_RC" 0 "removal succeeds"
expect_line remove.ondex "Selected action: 5."
expect_line remove.clr "Invoke Ondex.Harbor.DBCreator.CBackupCreator.Create(int:5, bstr:NewServer, "
expect_eq "$(sql_create_calls remove.clr)" 5 "only the remove stage reaches the creator"
expect_false "version 2.0.0 is no longer registered" e2e_product_registered

e2e_finish
