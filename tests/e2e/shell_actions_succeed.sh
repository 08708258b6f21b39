#!/usr/bin/env bash
# A package runs ShellProgress and ShellProgressHidden (immediate) and
# BathShell (deferred) and installs: the actions succeed, the tools run in
# order, and the traces switched on by the Tracer properties and by
# BathShell's settings value reach the verbose log and the trace file, without
# the hidden command's secret. Removal takes it all back.
# Both command actions write the trace file, one after the other: the
# commands they start must not keep it open for the next action.
# Arguments: OndexSetupCA.dll, wine-run.sh, work directory.
set -u
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
trap e2e_settings_clear EXIT

e2e_settings_clear
# 0x406: trace and error levels, to the installer log.
e2e_settings_dword BathShell 1030
# OR-ed into the default 0x101: 0x604 trace level to box, trace file and
# installer log.
e2e_build_package succeed.msi succeed \
  'Copying tools|||cmd.exe /c echo one>>order.txt|||cmd.exe /c echo two>>order.txt' \
  'ShellCommand=cmd.exe /c exit 5' 'ShellStatus=Preparing the tools' 'ShellDuration=5' \
  'ShellCommandHidden=cmd.exe /c echo Pa55w0rd-e2e>hidden.txt' 'MsiHiddenProperties=ShellCommandHidden' \
  'TracerShellProgress_TRACERFLAGS=1540' 'TracerShellProgressHidden_TRACERFLAGS=1540' || exit 1

e2e_install succeed.msi install.log
log=install.log.txt
expect_eq "$E2E_RC" 0 "installation succeeds"
expect_eq "$(e2e_action_result $log ShellProgress)" 1 "ShellProgress succeeds although its command exits with 5"
expect_eq "$(e2e_action_result $log BathShell)" 1 "BathShell succeeds"
expect_eq "$(e2e_text order.txt)" $'one\ntwo' "BathShell runs its tools in order"
expect_eq "$(e2e_action_result $log ShellProgressHidden)" 1 "ShellProgressHidden succeeds"
expect_eq "$(e2e_text hidden.txt)" "Pa55w0rd-e2e" "ShellProgressHidden runs its command"
expect_true "the marker is installed" e2e_marker_installed succeed

# BathShell's trace events, switched on by its settings value in the
# deferred run, in the installer log behind the action's log name.
expect_line $log "BathShell:    BathShell: Welcome!: Entering Binary custom action"
expect_line $log "BathShell:    BathShell: GoodBye!: Exiting Binary custom action, result: 0"
# The immediate actions' events in the trace file, one action after the
# other; those after the command ran reach only the trace file, because the command runner's own session scope has
# detached the layer by then.
expect_line tlk "    ShellProgress: Executing SQL Express installer: cmd.exe /c exit 5"
expect_line tlk "    ShellProgress: ShellProgress Result Code: 5"
expect_line tlk "    ShellProgress: GoodBye!: Exiting Binary custom action, result: 0"
expect_line tlk "    ShellProgressHidden: Welcome!: Entering Binary custom action"
expect_line tlk "    ShellProgressHidden: GoodBye!: Exiting Binary custom action, result: 0"
# The secret stays out of every line but the engine's own property dump
# (Wine's msiexec ignores MsiHiddenProperties there).
grep -v '^Property([SC]): ' $log >library-lines.txt
expect_no_line library-lines.txt "Pa55w0rd-e2e"
expect_no_line tlk "Pa55w0rd-e2e"

e2e_uninstall succeed.msi remove.log
expect_eq "$E2E_RC" 0 "removal succeeds"
expect_eq "$(e2e_action_result remove.log.txt BathShell)" none "BathShell does not run on removal"
expect_false "the marker is removed" e2e_marker_installed succeed

e2e_finish
