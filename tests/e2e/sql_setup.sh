#!/usr/bin/env bash
# The SQL instance choice and setup actions under Wine's msiexec: instances
# in the prefix's registry plus the SQL-DMO double (registered as an
# in-process server), the chosen name's split, the partition batch, the
# authentication switch, the database check against the OLE DB provider
# double for each status and the lock record, the stand-in Express installer
# with success and a failing exit code, and the instance list and the check
# again with no double registered.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory, sql_doubles.dll,
# the stand-in SQLEXPR32.exe.
set -u
source "$(dirname "$0")/sql_lib.sh"
double=$(realpath "$4")
express=$(realpath "$5")
e2e_init "$1" "$2" "$3"
trap 'sql_doubles_unregister; sql_instances_clear; e2e_settings_clear' EXIT
sql_instances_clear
# Every scope traces on every channel for the first installation.
e2e_settings_clear
e2e_settings_dword @TRACERFLAGS_ANDORMASK 0
e2e_settings_dword @TRACERFLAGS_XORMASK 1799
sql_instances_add MSSQLSERVER ONDEX ONDEXSQL2008R2 "MICROSOFT##SSEE"
printf 'dmo-instance OTHERBOX\\SALES\r\ndmo-instance OTHERBOX\\SALES\r\n' >sql_doubles.txt
sql_doubles_register "$double" || { e2e_fail "the SQL doubles register"; e2e_finish; exit 1; }
secret=Pl4ntedSqlPassw0rd
login=(SQLUSERNAME=[ComputerName]\\sa "SQLUSERPASSWORD=$secret" SERVICEACCOUNT=svc "PARTITIONS=Main Site;Branch-2")

sql_build_package sql.msi sqlsetup "${login[@]}" || exit 1
e2e_install sql.msi sql.log CHOSENINSTANCE=OTHERBOX\\SALES
log=sql.log.txt
expect_eq "$E2E_RC" 0 "the SQL package installs"
for action in EnumerateSQLInstances ParseSQLInstanceName GeneratePartitionsSQLCode EnableWinAuth DisableWinAuth; do
  expect_eq "$(e2e_action_result $log $action)" 1 "$action succeeds"
done
computer=$(e2e_property $log ComputerName)
# Sorted and de-duplicated, the Windows Internal Database removed, the newest
# Ondex instance preselected and the new-instance option switched off.
# (The default instance's key is "localhost".)
expect_eq "$(grep -o 'Current Item: .*' tlk | tr -d '\r' | tr '\n' '|')" \
  'Current Item: localhost|Current Item: OTHERBOX\SALES|Current Item: localhost\ONDEX|Current Item: localhost\ONDEXSQL2008R2|' \
  "the instances offered, in order"
expect_line $log "Remove Windows Internal database from fiding sql instances."
while read -r name value; do
  expect_eq "$(e2e_property $log "$name")" "$value" "$name"
done <<TABLE
TEXT_SQLINSTANCENAME $computer\\ONDEXSQL2008R2
DISABLENEWINSTANCEOPTION 1
RADIO_SQLINSTANCE 2
SQLSERVER OTHERBOX
SQLINSTANCE SALES
WIN_AUTH
SERVICEACCOUNT $computer\\sa
TABLE
# The engine's closing property dump formats values ("[Partition]" vanishes
# there), so the batch is read from the action's trace line.
expect_line tlk \
  "PARTITIONSSQLCODE: IF NOT EXISTS (Select * from dbo.[Partition] where name != 'Excluded') BEGIN IF NOT EXISTS (Select * from dbo.[Partition] where DefaultAttributeName = 'ONDEX_Main_Site')BEGIN insert into dbo.[Partition] (name, DefaultAttributeName) values ('Main Site', 'ONDEX_Main_Site') END;IF NOT EXISTS (Select * from dbo.[Partition] where DefaultAttributeName = 'ONDEX_Branch_2')BEGIN insert into dbo.[Partition] (name, DefaultAttributeName) values ('Branch-2', 'ONDEX_Branch_2') END;END;"
expect_eq "$(grep -v '^Property(S)\|^Property(C)' $log | grep -c "$secret")" 0 "the SQL login's password is in no library line"
expect_false "the trace file holds no password" grep -q "$secret" tlk
e2e_uninstall sql.msi remove.log
e2e_settings_clear

# The database check against the OLE DB provider double, one installation per
# scripted server; SQL Server authentication on master. UpdateSqlDbLockInfo
# composes the lock record after it.
sql_build_package check.msi sqlcheck "IS_SQLSERVER_PASSWORD=$secret" \
  'SQLLOCKINFO_FORMAT=[SQLLOCKINFO_COMPUTERNAME]|[SQLLOCKINFO_USERNAME]|[SQLLOCKINFO_TIME]|[SQLLOCKINFO_GUID]' \
  'SQLLOCKINFO_SELECTCMD=SELECT Owner FROM dbo.LockInfo' || exit 1
check=(SQL_SERVER_NAME=OTHERBOX SQL_SERVER_INSTANCE=SALES IS_SQLSERVER_DATABASE=Harbor IS_SQLSERVER_AUTHENTICATION=1
  IS_SQLSERVER_USERNAME=sa STRINGRES_CHKRQ_PROD_STATUS_OK=Ready STRINGRES_CHKRQ_PROD_STATUS_INACCESSIBLEDB=NoAccess)
while IFS='|' read -r name script code text; do
  printf '%b' "$script" >sql_doubles.txt
  e2e_install check.msi "check_$name.log" "${check[@]}"
  expect_eq "$(e2e_action_result "check_$name.log.txt" CheckSQLServerInstance)" 1 "CheckSQLServerInstance succeeds ($name)"
  expect_eq "$(e2e_property "check_$name.log.txt" CHKRQ_PRODSQLSRV_STATUSCODE)|$(e2e_property "check_$name.log.txt" CHKRQ_PRODSQLSRV_STATUSTEXT)" \
    "$code|$text" "the check's status pair ($name)"
  expect_eq "$(grep -v '^Property(S)\|^Property(C)' "check_$name.log.txt" | grep -c "$secret")" 0 "no password in the library's lines ($name)"
  e2e_uninstall check.msi remove.log
done <<'TABLE'
absent||OK|Ready
exists|oledb-database Harbor\n|S_DBEXISTS|Database Harbor already exists on SQL Instance
locked|oledb-database Harbor\noledb-lock-row\n|S_DBLOCKED|S_DATABASELOCKED
refused|oledb-database Harbor\noledb-refuse-windows-auth\n|E_INACCESSIBLEDB|NoAccess
failing|oledb-existence-fails\noledb-error Invalid object name sysdatabases\n|3|Unknown status
unreachable|oledb-unreachable\n|4|Unknown status
TABLE
expect_line check_failing.log.txt "calling SqlSessionDatabaseExists for Harbor: Invalid object name sysdatabases"
expect_line check_unreachable.log.txt "connecting 'master' database at the server 'OTHERBOX', instance 'SALES'"
lock=$(e2e_property check_absent.log.txt SQLLOCKINFO)
expect_true "UpdateSqlDbLockInfo composes the lock record (got '$lock')" \
  grep -qE "^$computer\|[^|]*\|[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\|[0-9a-fA-F-]{36}\$" <<<"$lock"

mkdir -p express && cp "$express" express/SQLEXPR32.exe
installer=$(e2e_windows_path "$E2E_WORK/express/SQLEXPR32.exe")
for exit_code in 0 1603; do
  sql_build_package express.msi sqlexpress "${login[@]}" || exit 1
  OXSQL_EXPRESS_EXIT=$exit_code e2e_install express.msi express$exit_code.log "SQLEXPR32=$installer" SQLINSTANCENEW=ONDEXNEW
  expect_eq "$(e2e_text express/commandline.txt)" \
    "\"$installer\" -q /norebootchk /qn reboot=ReallySuppress addlocal=all instancename=ONDEXNEW SQLAUTOSTART=1" \
    "the Express installer's command line (exit code $exit_code)"
  rm -f express/commandline.txt
done
expect_eq "$(e2e_action_result express0.log.txt InstallSQLServerInstance)" 1 "Express setup with exit code 0 succeeds"
e2e_uninstall express.msi remove.log
expect_eq "$(e2e_action_result express1603.log.txt InstallSQLServerInstance)" 0 "Express setup with 1603 fails the action"
expect_eq "$E2E_RC" 0 "the first Express package is removed"

sql_doubles_unregister
rm -f tlk
e2e_settings_dword EnumerateSQLInstances 516
sql_build_package alone.msi sqlalone "${login[@]}" || exit 1
e2e_install alone.msi alone.log CHOSENINSTANCE=OTHERBOX\\SALES "${check[@]}"
expect_eq "$E2E_RC" 0 "without the SQL doubles the package installs"
expect_eq "$(e2e_property alone.log.txt CHKRQ_PRODSQLSRV_STATUSCODE)" 4 "without a provider the check gives 4"
expect_line tlk 'Current Item: localhost\ONDEX'
expect_no_line tlk 'OTHERBOX'
e2e_uninstall alone.msi remove.log
e2e_finish
