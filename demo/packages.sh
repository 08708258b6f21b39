# Builders of the demo's packages (the .wxs and .idt files beside this one),
# on the helpers of tests/e2e/lib.sh, sql_lib.sh and sql_assembly_lib.sh,
# which the caller sources first. Sourced, not run.

DEMO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# demo_table_package WXS MSI TAG "TABLE..." [NAME=VALUE ...]: builds MSI from
# WXS, imports the custom tables' .idt files and adds the Property rows.
demo_table_package() {
  local wxs=$1 msi=$2 tag=$3 tables=$4 table
  shift 4
  e2e_wixl "$DEMO_DIR/$wxs" "$msi" "$tag" || return 1
  for table in $tables; do
    msibuild "$msi" -i "$DEMO_DIR/$table.idt" || return 1
  done
  e2e_add_properties "$msi" "$@"
}

# demo_prerequisites_package MSI TAG [NAME=VALUE ...]: prerequisites.wxs with
# its Prerequisites and PrerequisiteActions tables.
demo_prerequisites_package() {
  demo_table_package prerequisites.wxs "$1" "$2" "Prerequisites PrerequisiteActions" "${@:3}"
}

# demo_groups_package MSI [NAME=VALUE ...]: groups_package.wxs with the
# LocalGroup table of LocalGroup.idt: rows B (Harbor Readers, in
# Administrators), A (Harbor Operators) and Z (Ghost, a group the package
# demands but does not create).
demo_groups_package() { demo_table_package groups_package.wxs "$1" groups LocalGroup "${@:2}"; }

# demo_firewall_package MSI ADD_LIST REMOVE_LIST: builds MSI from
# firewall.wxs with the "|"-separated work lists of FirewallAddApplication
# (installation) and FirewallRemoveApplication (removal).
demo_firewall_package() {
  e2e_wixl "$DEMO_DIR/firewall.wxs" "$1" firewall -D "AddData=$2" -D "RemoveData=$3"
}

# demo_shares_package MSI: builds MSI from shares.wxs; CATALOGPATH and
# CATSHARENAME are given on the msiexec command line.
demo_shares_package() { e2e_wixl "$DEMO_DIR/shares.wxs" "$1" shares; }

# demo_sql_package MSI TAG [NAME=VALUE ...]: sql_setup.wxs with its ComboBox
# and SqlDatabase tables.
demo_sql_package() { demo_table_package sql_setup.wxs "$1" "$2" "ComboBox SqlDatabase" "${@:3}"; }

# demo_sql_assembly_package MSI VERSION [NAME=VALUE ...]: builds MSI from
# sql_assembly.wxs; wixl writes every deferred action as 3073 (deferred, no
# impersonation), so the rollback and commit types are patched.
demo_sql_assembly_package() {
  local msi=$1 version=$2
  shift 2
  e2e_wixl "$DEMO_DIR/sql_assembly.wxs" "$msi" sql -D "Version=$version" || return 1
  SQL_PRODUCTS+=("$E2E_PRODUCT_CODE")
  msibuild "$msi" -q "UPDATE CustomAction SET Type=3329 WHERE Action='OxSQLAssemblyCaller_Rollback64'" || return 1
  msibuild "$msi" -q "UPDATE CustomAction SET Type=3585 WHERE Action='OxSQLAssemblyCaller_Commit64'" || return 1
  e2e_add_properties "$msi" "$@"
}

# demo_state_members FILE: the member count of a protected state file such as
# RPCAssembly.dat, printed only when the length-prefixed blobs fill the file.
demo_state_members() {
  local file=$1 size count offset=4 i length
  size=$(stat -c %s "$file") || return 1
  count=$(od -An -tu4 -N4 "$file" | tr -d ' ')
  for ((i = 0; i < ${count:-0} && offset < size; i++)); do
    length=$(od -An -tu4 -j"$offset" -N4 "$file" | tr -d ' ')
    offset=$((offset + 4 + ${length:-0}))
  done
  [ "$i" = "${count:-}" ] && [ "$offset" -eq "$size" ] && echo "$count"
}
