# Helpers of the scenarios that run the IIS state and maintenance actions
# under msiexec (the e2e test and the demo): the metabase double seeded from
# metabase_maintenance.txt, the tests' service registered as "IISADMIN", the
# stand-in iisreset.exe in the prefix's system32, an IIS web root in the
# registry and the reports site's folder on drive C:. iis_maint_cleanup
# undoes all of it. Sourced; loads iis_web_lib.sh.
source "$(dirname "${BASH_SOURCE[0]}")/iis_web_lib.sh"

IIS_SNAPSHOT_KEY='HKLM\SOFTWARE\Ondex\Setup\IISoptions'
IIS_INETSTP_KEY='HKLM\SOFTWARE\Microsoft\InetStp'
IIS_ADMIN=IISADMIN

# e2e_sc ARGS...: Wine's sc; never fails (the demo runs with set -e).
e2e_sc() { "$E2E_WINE" sc "$@" </dev/null 2>/dev/null | tr -d '\r' || true; }

# iis_admin_state: the STATE number of IISADMIN (1 stopped, 4 running), or
# nothing when it is not registered.
iis_admin_state() { e2e_sc query $IIS_ADMIN | sed -n 's/^ *STATE *: *\([0-9]*\).*/\1/p'; }

# iis_admin_start: starts IISADMIN and waits (at most 5 s) until it runs.
iis_admin_start() {
  local try
  e2e_sc start $IIS_ADMIN >/dev/null
  for try in 1 2 3 4 5 6 7 8 9 10; do
    [ "$(iis_admin_state)" = 4 ] && return 0
    sleep 0.5
  done
  return 1
}

# iis_maint_setup DOUBLE_DLL SERVICE_EXE IISRESET_EXE (in the work directory):
# everything the package's actions meet on a server with IIS; remembers what
# iis_maint_cleanup has to undo.
iis_maint_setup() {
  local system32
  IIS_CLEANUP=1
  iis_double_register "$1" "$E2E_DIR/metabase_maintenance.txt" || return 1
  e2e_sc delete $IIS_ADMIN >/dev/null
  e2e_sc create $IIS_ADMIN binpath= "$(e2e_windows_path "$(realpath "$2")")" >/dev/null
  [ -n "$(iis_admin_state)" ] || return 1
  # Wine's service manager can miss the first start in a fresh or idle
  # prefix: one start and stop before the package meets the service.
  iis_admin_start || iis_admin_start || iis_admin_start
  e2e_sc stop $IIS_ADMIN >/dev/null
  sleep 1  # the service's process ends a moment after it reports stopped
  system32=$("$E2E_WINE" winepath -u 'C:\windows\system32' </dev/null 2>/dev/null | tr -d '\r')
  IIS_RESET=${system32%/}/iisreset.exe
  cp "$3" "$IIS_RESET" || return 1
  IIS_REPORTS=$("$E2E_WINE" winepath -u 'C:\OndexReports' </dev/null 2>/dev/null | tr -d '\r')
  mkdir -p "$IIS_REPORTS/bin" && echo report >"$IIS_REPORTS/bin/Reports.aspx" || return 1
  e2e_reg query "$IIS_INETSTP_KEY" && IIS_INETSTP_KEPT=1 || IIS_INETSTP_KEPT=
  e2e_reg add "$IIS_INETSTP_KEY" /v PathWWWRoot /t REG_EXPAND_SZ /d '%SystemDrive%\Inetpub\wwwroot' /f
}

# Removes what iis_maint_setup and the package left in the prefix; safe to
# call more than once and after a partial setup.
iis_maint_cleanup() {
  [ -n "${IIS_CLEANUP:-}" ] || return 0
  e2e_sc stop $IIS_ADMIN >/dev/null
  e2e_sc delete $IIS_ADMIN >/dev/null
  iis_double_unregister
  e2e_reg delete "$IIS_SNAPSHOT_KEY" /f || true
  if [ -z "${IIS_INETSTP_KEPT:-}" ]; then e2e_reg delete "$IIS_INETSTP_KEY" /f || true
  else e2e_reg delete "$IIS_INETSTP_KEY" /v PathWWWRoot /f || true; fi
  if [ -n "${IIS_RESET:-}" ]; then rm -f "$IIS_RESET" "${IIS_RESET%/*}/commandline.txt"; fi
  if [ -n "${IIS_REPORTS:-}" ]; then rm -rf "$IIS_REPORTS"; fi
  IIS_CLEANUP=
}

# iis_maint_build MSI TAG: the package of iis_maintenance.wxs for this work
# directory.
iis_maint_build() { e2e_wixl "$E2E_DIR/iis_maintenance.wxs" "$1" "$2" -D "WorkDir=$(e2e_windows_path "$E2E_WORK")"; }

# iis_auth_flags KEY: KEY's AuthFlags record in metabase.txt, or nothing.
iis_auth_flags() { iis_site_lines "$1" | grep '^6000 ' || true; }

# iis_site_lines KEY: the records of metabase.txt's KEY (exact key line), one
# a line without the indentation.
iis_site_lines() { awk -v key="$1" '/^\// { on = ($0 == key); next } on { sub(/^ +/, ""); print }' metabase.txt; }
