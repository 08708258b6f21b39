#!/usr/bin/env bash
# A package whose execute sequence runs CheckPrerequisites and then
# InstallPrerequisites over the rows of Prerequisites.idt and
# PrerequisiteActions.idt:
#  - .NET Framework 2.0 is present: its check step runs the library's own
#    CheckDotNetFx20 through the installer, which finds v2.0.50727 registered;
#  - MSXML 6.0 is missing: a check step sets its status to E_NOT_INSTALLED
#    and runs a package action for its status text; the install pass runs its
#    install command;
#  - the catalog tools' check command exits with 3, which becomes their status.
# The installation succeeds; the outcome is in the verbose log (trace lines
# and the engine's closing property dump) and in what the install step wrote.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
runtime_key='HKLM\SOFTWARE\Classes\CLSID\{99749841-0D55-4cf4-8D0D-F212ECE9409A}'
trap 'e2e_settings_clear; e2e_reg delete "$runtime_key" /f' EXIT

e2e_settings_clear
# 0x404: trace level, to the installer log.
e2e_settings_dword INTF_ExecPrerequisiteActions 1028
e2e_settings_dword INTF_INTF_CompareVersion 1028
e2e_reg add "$runtime_key\\InprocServer32" /v RuntimeVersion /d v2.0.50727 /f
# Values found before the checks ran: the failed slots show these.
e2e_build_prerequisite_package prereq.msi prereq \
  'MSXML6_STATUSTEXT=Not checked' 'CATALOGTOOLS_VERSION=0.9' 'TracerCheckDotNetFx20_TRACERFLAGS=1028' || exit 1

e2e_install prereq.msi install.log
log=install.log.txt
property() { e2e_property $log "$1"; }
expect_eq "$E2E_RC" 0 "installation succeeds although prerequisites are missing"
expect_eq "$(e2e_action_result $log CheckPrerequisites)" 1 "CheckPrerequisites succeeds"
expect_eq "$(e2e_action_result $log CheckDotNetFx20)" 1 "CheckDotNetFx20 runs as a check step's installer action"
expect_eq "$(e2e_action_result $log InstallPrerequisites)" 1 "InstallPrerequisites succeeds"
expect_true "the marker is installed" e2e_marker_installed prereq

# The library's lines: traces of the .NET check and of the steps, and the
# action starts of the commands.
expect_line $log "CheckDotNetFx20:    CheckDotNetFx20: ...: MsiNetAssemblySupport after update: 2.0.50727"
expect_line $log "CheckDotNetFx20:    INTF_CompareVersion: Return Value: Result: 130"
expect_line $log 'INTF_ExecPrerequisiteActions:    ExecPrerequisiteActions: MsiDoAction('
expect_line $log ', "SetMsxml6NotFound") result: result = 0x0'
expect_line $log ": Ondex Setup. Checking the catalog tools..."
expect_line $log ": Ondex Setup. Installing MSXML 6.0..."
expect_eq "$(grep -c ': Ondex Setup. Checking the catalog tools' $log)" 1 \
  "the check command is taken by the install pass too, but its condition keeps it from running there"

# The outcome.
expect_eq "$(property CheckPrerequisitesResult)" E_FAILED "CheckPrerequisitesResult"
expect_eq "$(property CHKRQ_PRODDOTNETFX20_STATUSCODE)" OK ".NET Framework 2.0 is present"
expect_eq "$(property CHKRQ_PRODDOTNETFX20_STATUSTEXT)" Installed ".NET Framework 2.0 status text"
expect_eq "$(property MSXML6_STATUS)" E_NOT_INSTALLED "MSXML 6.0 is missing"
expect_eq "$(property MSXML6_STATUSTEXT)" "Not installed" "MSXML 6.0 status text"
expect_eq "$(property CATALOGTOOLS_STATUS)" 3 "the catalog tools' check command exits with 3"
expect_eq "$(property CHKRQ_PROD1_NAME)" "MSXML 6.0" "slot 1 names MSXML 6.0"
expect_eq "$(property CHKRQ_PROD1_VERSIONNEED)" 6.0 "slot 1 shows the required version"
expect_eq "$(property CHKRQ_PROD1_STATUSTEXT)" "Not checked" "slot 1 shows the status text found before the check"
expect_eq "$(property CHKRQ_PROD2_NAME)" "Ondex CA prereq catalog tools" "slot 2 names the catalog tools, formatted"
expect_eq "$(property CHKRQ_PROD2_VERSIONFOUND)" 0.9 "slot 2 shows the version found"
expect_eq "$(property CHKRQ_PROD3_NAME)" "  " "slot 3 stays blank"
expect_eq "$(property MSXML6_SETUP_CODE)" 0 "the install command's exit code"
expect_eq "$(e2e_text msxml6.txt)" "MSXML 6.0 installed" "the install command ran"

e2e_uninstall prereq.msi remove.log
expect_eq "$E2E_RC" 0 "removal succeeds"
expect_eq "$(e2e_action_result remove.log.txt CheckPrerequisites)" none "the check does not run on removal"
expect_false "the marker is removed" e2e_marker_installed prereq

e2e_finish
