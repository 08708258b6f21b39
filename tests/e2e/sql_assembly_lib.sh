# Helpers of the scenarios that run OxaSQLAssemblyCaller under msiexec with
# the runtime-host double standing in for the .NET runtime (the e2e tests and
# the demo). Sourced; loads lib.sh when it is not loaded yet.
[ -n "${E2E_DIR:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

SQL_UPGRADE_CODE=2C4F7A1E-93B0-4D5E-A6C8-1F0E3B9D7A52
SQL_COMPONENT=515C8333-3A04-4486-BA63-376F81227B4F
SQL_ASSEMBLY="C:\\Program Files\\OndexSqlAssemblyE2E\\Ondex.Harbor.DBCreator.dll"
SQL_PRODUCTS=()

# sql_init DLL WINE_RUN WORKDIR DOUBLE_DLL PREFIX: a scenario's start: a
# fresh work directory (e2e_init) and the double in place until the script
# exits.
sql_init() {
  e2e_init "$1" "$2" "$3"
  trap sql_double_restore EXIT
  sql_double_install "$4" "$5"
}

# sql_double_install DOUBLE_DLL PREFIX (in the work directory): puts the
# double in place of the prefix's system32\mscoree.dll (sql_double_restore
# puts Wine's builtin back), names its call log, writes the stand-in assembly
# (the double answers for any file) and removes what earlier runs left.
sql_double_install() {
  local builtin
  SQL_PREFIX=$(realpath -m "$2")
  SQL_MSCOREE=$SQL_PREFIX/drive_c/windows/system32/mscoree.dll
  SQL_SAVED_MSCOREE=$E2E_WORK/builtin-mscoree.dll
  # Make sure the prefix exists before its mscoree.dll is swapped.
  "$E2E_WINE" cmd /c exit 0 >/dev/null 2>&1
  # A run killed before its restore left the double there: take Wine's own.
  builtin=$SQL_MSCOREE
  grep -q "Wine builtin DLL" "$builtin" || builtin=$(ls /usr/lib/*/wine/x86_64-windows/mscoree.dll | head -1)
  cp -p "$builtin" "$SQL_SAVED_MSCOREE" || return 1
  cp "$1" "$SQL_MSCOREE" || return 1
  # The custom-action servers are started by msiexec and inherit its
  # environment: the double's call log is named through it.
  export OXCLR_DOUBLE_LOG="Z:$E2E_WORK/clr.log"
  unset OXCLR_DOUBLE_FAIL OXCLR_DOUBLE_RETURN OXCLR_DOUBLE_THROW
  echo "stand-in assembly" >Ondex.Harbor.DBCreator.dll
  sql_remove_leftovers
  rm -f clr.log
}

# Puts Wine's builtin back, removes the products' state folders and the
# client registrations that a failed installation leaves under Wine.
sql_double_restore() {
  local code
  [ -n "${SQL_SAVED_MSCOREE:-}" ] && [ -f "$SQL_SAVED_MSCOREE" ] || return 0
  cp -p "$SQL_SAVED_MSCOREE" "$SQL_MSCOREE"
  rm -f "$SQL_SAVED_MSCOREE"
  unset OXCLR_DOUBLE_LOG
  for code in "${SQL_PRODUCTS[@]}"; do rm -rf "$(sql_state_folder "$code")"; done
  if [ -z "$(e2e_related_products "$SQL_UPGRADE_CODE")" ]; then
    e2e_reg delete "$(e2e_component_key "$SQL_COMPONENT")" /f || true
  fi
}

# The service component has a fixed code that the action asks the installer
# about: a product of these packages left installed by an interrupted run,
# or a client registration that a failed installation leaves behind under
# Wine (the engine does not take it back on rollback), would change the
# component's mode. Both are removed.
sql_remove_leftovers() {
  local code key
  for code in $(e2e_related_products "$SQL_UPGRADE_CODE"); do
    echo "note: removing $code, left installed by an earlier run"
    SQL_PRODUCTS+=("$code")
    e2e_msiexec /x "$code" /qn || echo "note: msiexec could not remove $code"
  done
  key=$(e2e_component_key "$SQL_COMPONENT")
  if e2e_reg query "$key"; then
    echo "note: removing stale client registrations of the service component"
    e2e_reg delete "$key" /f
  fi
}

# sql_state_folder [PRODUCT]: <common application data>\Ondex\Setup\Temp\<product>,
# which holds the state file OxSQLAssemblyCaller and RPCAssembly.dat.
sql_state_folder() { echo "$SQL_PREFIX/drive_c/ProgramData/Ondex/Setup/Temp/${1:-$E2E_PRODUCT_CODE}"; }
sql_state_file() { echo "$(sql_state_folder "$@")/OxSQLAssemblyCaller"; }

# sql_collect NAME: NAME.ondex gets the library's lines of NAME.log.txt,
# NAME.clr the managed calls recorded since the last collection. The
# installer formats the record's template, so the bracketed time stamp reads
# as a property reference and comes out empty.
sql_collect() {
  sed -n 's/^\*\*\*Ondex\*\*\* *//p' "$1.log.txt" >"$1.ondex"
  if [ -f clr.log ]; then mv clr.log "$1.clr"; else : >"$1.clr"; fi
}

# sql_create_calls CLR: the codes "Create" was called with, in call order.
sql_create_calls() { sed -n 's/^Invoke .*CBackupCreator\.Create(int:\([0-9]*\).*/\1/p' "$1" | tr -d '\n'; }
