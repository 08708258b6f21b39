# Helpers of the scenarios that run the SQL actions under msiexec with the
# registrable SQL doubles (the e2e tests and the demo). Sourced; loads lib.sh
# when it is not loaded yet.
[ -n "${E2E_DIR:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

SQL_INSTANCES_KEY='HKLM\SOFTWARE\Microsoft\Microsoft SQL Server'

# sql_doubles_register DOUBLE_DLL (in the work directory): registers the SQL
# doubles, scripted by sql_doubles.txt in the work directory (the caller
# writes it), until sql_doubles_unregister.
sql_doubles_register() {
  e2e_inproc_register "$1" sql_doubles.dll OXSQL_DOUBLES_FILE sql_doubles.txt || return 1
  SQL_DOUBLES=$E2E_INPROC
}
sql_doubles_unregister() { e2e_inproc_unregister "${SQL_DOUBLES:-}"; SQL_DOUBLES=; }

# sql_instances_add NAME...: instances in the registry's newer layout.
sql_instances_add() {
  local name
  for name in "$@"; do
    e2e_reg add "$SQL_INSTANCES_KEY\\Instance Names\\SQL" /v "$name" /t REG_SZ /d "MSSQL.$name" /f
  done
}
sql_instances_clear() { e2e_reg delete "$SQL_INSTANCES_KEY" /f || true; }
