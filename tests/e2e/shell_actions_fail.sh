#!/usr/bin/env bash
# A package whose deferred BathShell meets a failing tool: the tool's output
# is reported, the later tools do not run, the installation rolls back and
# msiexec exits with 1603 (67 in a Linux shell). BathShell's settings value
# sends its error event to the installer log and the trace file; ShellProgress
# runs with default flags and traces nothing.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
trap e2e_settings_clear EXIT

e2e_settings_clear
# 0x602: error level, to the trace file and the installer log.
e2e_settings_dword BathShell 1538
e2e_build_package fail.msi fail \
  'Failing tools|||cmd.exe /c echo first>>ran.txt|||cmd.exe /c echo boom & exit 2|||cmd.exe /c echo third>>ran.txt' \
  'ShellCommand=cmd.exe /c exit 0' 'ShellStatus=Preparing the tools' || exit 1

e2e_install fail.msi install.log
log=install.log.txt
expect_eq "$E2E_RC" 67 "msiexec exits with 1603"
expect_eq "$(e2e_action_result $log ShellProgress)" 1 "ShellProgress succeeds"
expect_eq "$(e2e_action_result $log BathShell)" 0 "BathShell fails"
expect_eq "$(e2e_text ran.txt)" first "BathShell stops at the failing tool"
expect_line msiexec.out "boom"
expect_false "the rollback removes the marker" e2e_marker_installed fail
expect_false "the product is not registered" e2e_product_registered

expect_line $log "BathShell:  ! BathShell: Finalize error! #1603: BathShell  error: (0x643): "
expect_line tlk "!   BathShell: Finalize error! #1603: BathShell  error: (0x643): "
expect_no_line tlk "Entering Binary custom action"
expect_no_line $log "ShellProgress:  "

e2e_finish
