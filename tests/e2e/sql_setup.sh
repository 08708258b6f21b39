#!/usr/bin/env bash
# The SQL instance choice and setup actions under Wine's msiexec: instances
# in the prefix's registry plus the SQL-DMO double (registered as an
# in-process server), the chosen name's split, the partition batch, the
# authentication switch, the stand-in Express installer with success and a
# failing exit code, and the instance list again with no double registered.
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
e2e_install alone.msi alone.log CHOSENINSTANCE=OTHERBOX\\SALES
expect_eq "$E2E_RC" 0 "without the SQL doubles the package installs"
expect_line tlk 'Current Item: localhost\ONDEX'
expect_no_line tlk 'OTHERBOX'
e2e_uninstall alone.msi remove.log
e2e_finish
