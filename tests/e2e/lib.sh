# Shell helpers of the end-to-end tests and the demo: build a package from
# one of the .wxs files beside this one (wixl, then msibuild for custom tables
# and Property rows), install it with
# Wine's msiexec in the build tree's prefix, read its verbose log, and count
# expectations. Sourced, not run.

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_SETTINGS_KEY='HKLM\SOFTWARE\Ondex\setupdebug'
E2E_INSTALLER_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer'

# e2e_init DLL WINE_RUN WORKDIR
# Starts in a fresh work directory. It is msiexec's current directory and so
# that of the custom-action servers: the trace file "tlk" and whatever the
# test's commands write land there.
e2e_init() {
  E2E_DLL=$(realpath "$1")
  E2E_WINE=$(realpath "$2")
  E2E_WORK=$(realpath -m "$3")
  E2E_PASSED=0
  E2E_FAILED=0
  rm -rf "$E2E_WORK"
  mkdir -p "$E2E_WORK"
  cd "$E2E_WORK" || exit 1
  # wixl takes the Binary's source relative to the current directory only.
  cp "$E2E_DLL" OndexSetupCA.dll
  # Without a display MessageBoxW returns at once; a display would make it wait.
  unset DISPLAY WAYLAND_DISPLAY
}

e2e_uuid() { tr a-f A-F </proc/sys/kernel/random/uuid; }

# e2e_wixl WXS MSI TAG [WIXL_ARGS ...]: builds MSI from WXS with fresh product
# and component codes (the product code is left in E2E_PRODUCT_CODE).
e2e_wixl() {
  local wxs=$1 msi=$2 tag=$3 code
  shift 3
  code=$(e2e_uuid)
  E2E_PRODUCT_CODE="{$code}"
  wixl -a x64 -o "$msi" -D "ProductCode=$code" -D "ComponentGuid=$(e2e_uuid)" -D "Tag=$tag" "$@" "$wxs"
}

# e2e_add_properties MSI [NAME=VALUE ...]: Property rows; values must not
# contain a single quote.
e2e_add_properties() {
  local msi=$1 row
  shift
  for row in "$@"; do
    msibuild "$msi" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('${row%%=*}', '${row#*=}')" || return 1
  done
}

# e2e_build_package MSI TAG BATHSHELL_DATA [NAME=VALUE ...]
# Builds MSI from package.wxs and adds the given Property rows.
e2e_build_package() {
  local msi=$1 tag=$2 data=$3
  shift 3
  e2e_wixl "$E2E_DIR/package.wxs" "$msi" "$tag" -D "BathShellData=$data" || return 1
  e2e_add_properties "$msi" "$@"
}

# e2e_msiexec ARGS...: Wine's msiexec in the build prefix; its standard output
# (where a failing tool's captured output is copied) is appended to msiexec.out.
# Returns msiexec's exit code as the shell sees it (1603 arrives as 67).
# With E2E_TIMING set, each call appends "<milliseconds> <exit code> <arguments>"
# to that file (the product-share benchmark reads it).
e2e_msiexec() {
  local start rc=0
  start=$(date +%s%N)
  "$E2E_WINE" msiexec "$@" </dev/null >>msiexec.out 2>&1 || rc=$?
  [ -z "${E2E_TIMING:-}" ] || echo "$((($(date +%s%N) - start) / 1000000)) $rc $*" >>"$E2E_TIMING"
  return $rc
}

# e2e_install MSI LOG [NAME=VALUE ...] / e2e_uninstall ...: silent
# installation or removal with a verbose log; leaves the exit code in E2E_RC
# and the log as UTF-8 text in LOG.txt.
e2e_install() { e2e_logged_msiexec /i "$@"; }
e2e_uninstall() { e2e_logged_msiexec /x "$@"; }
e2e_logged_msiexec() {
  local mode=$1 msi=$2 log=$3
  shift 3
  e2e_wait_installer_idle
  E2E_RC=0
  e2e_msiexec "$mode" "$msi" /qn /l*vx "$log" "$@" || E2E_RC=$?
  e2e_log_text "$log"
}

# e2e_dll_exports DLL / e2e_def_exports DEF: the names in a DLL's export
# table, and those a .def file declares, sorted, one per line.
e2e_dll_exports() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' | sort
}
e2e_def_exports() { sed -n '/^EXPORTS/,$p' "$1" | grep -v EXPORTS | tr -d ' \r' | sed '/^$/d' | sort; }

# e2e_wait_installer_idle: waits (at most 15 s) until no msiexec process of
# the build prefix is left. The custom-action servers of an installation
# outlive msiexec's return by about two seconds; an msiexec started in that
# window may end at once with 0, doing nothing and writing no log.
e2e_wait_installer_idle() {
  local prefix pid i busy
  prefix=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$E2E_WINE")
  for ((i = 0; i < 60; i++)); do
    busy=0
    for pid in $(pgrep -f 'msiexec' || true); do
      { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && busy=1
    done
    [ "$busy" -eq 0 ] && return 0
    sleep 0.25
  done
}

# e2e_text FILE: the file's text without carriage returns; nothing when absent.
e2e_text() { [ -f "$1" ] && tr -d '\r' <"$1"; }

# The verbose log is written in the ANSI code page (CP1252).
e2e_log_text() { iconv -f CP1252 -t UTF-8 "$1" >"$1.txt" 2>/dev/null || cp "$1" "$1.txt"; }

# e2e_action_result LOG_TXT ACTION: the "Return value" of ACTION's last
# "Action ended" line (1 success; Wine writes 0 for a failure), or "none".
e2e_action_result() {
  local value
  value=$(sed -n "s/^Action ended [0-9:]*: $2\. Return value \([0-9]*\)\..*/\1/p" "$1" | tail -1)
  echo "${value:-none}"
}

# e2e_property LOG_TXT NAME: NAME's value in the engine's closing property
# dump ("Property(S): NAME = value"); nothing when it is empty or unset.
e2e_property() { sed -n "s/^Property(S): $2 = //p" "$1" | tr -d "\r" | tail -1; }

# e2e_tolka_lines LOG_TXT ACTION: the library's time-stamped lines ("Tolka
# h:mm:ss: text", given without the prefix) logged by ACTION's run(s).
e2e_tolka_lines() {
  sed -n "/^Action start [0-9:]*: $2\./,/^Action ended [0-9:]*: $2\./s/^Tolka [0-9:]*: //p" "$1"
}

e2e_reg() { "$E2E_WINE" reg "$@" </dev/null >/dev/null 2>&1; }

# e2e_windows_path PATH: the prefix's name of a Linux path (drive Z:).
e2e_windows_path() { echo "Z:${1//\//\\}"; }

# e2e_inproc_register DLL NAME VARIABLE SCRIPT (in the work directory): copies
# a test double built as an in-process server to NAME, names its script file
# SCRIPT (in the work directory) through the environment value VARIABLE,
# which msiexec's custom-action servers inherit, and registers it; leaves the
# prefix's path of the copy in E2E_INPROC, for e2e_inproc_unregister.
e2e_inproc_register() {
  cp "$1" "$2" || return 1
  E2E_INPROC=$(e2e_windows_path "$E2E_WORK/$2")
  export "$3=$(e2e_windows_path "$E2E_WORK/$4")"
  "$E2E_WINE" regsvr32 /s "$E2E_INPROC" </dev/null >/dev/null 2>&1
}
# e2e_inproc_unregister PATH: nothing for an empty PATH.
e2e_inproc_unregister() {
  [ -n "$1" ] || return 0
  "$E2E_WINE" regsvr32 /s /u "$1" </dev/null >/dev/null 2>&1
}

# e2e_packed_guid GUID: the installer's registry form of a GUID (braces
# optional): the first three groups' digits reversed, then the digits of each
# further byte swapped. Applied to a packed GUID it gives the plain digits.
e2e_packed_guid() {
  local guid=${1//[\{\}-]/} packed i
  packed=$(rev <<<"${guid:0:8}")$(rev <<<"${guid:8:4}")$(rev <<<"${guid:12:4}")
  for ((i = 16; i < 32; i += 2)); do packed+=${guid:i+1:1}${guid:i:1}; done
  echo "$packed"
}

# e2e_related_products UPGRADE_CODE: the braced codes of the installed
# products with that upgrade code, one a line.
e2e_related_products() {
  local packed digits
  "$E2E_WINE" reg query "$E2E_INSTALLER_KEY\\UpgradeCodes\\$(e2e_packed_guid "$1")" </dev/null 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *\([0-9A-F]\{32\}\) .*/\1/p' | while read -r packed; do
      digits=$(e2e_packed_guid "$packed")
      echo "{${digits:0:8}-${digits:8:4}-${digits:12:4}-${digits:16:4}-${digits:20:12}}"
    done
}

# e2e_component_key COMPONENT_CODE: the key that lists the component's
# client products (machine installations).
e2e_component_key() { echo "$E2E_INSTALLER_KEY\\UserData\\S-1-5-18\\Components\\$(e2e_packed_guid "$1")"; }

e2e_settings_clear() { e2e_reg delete "$E2E_SETTINGS_KEY" /f || true; }
# e2e_settings_dword NAME VALUE: writes a settings value and reads it back
# (one more try when the first write did not stick); complains when it fails.
# With E2E_AS_SHIPPED set, trace scopes are left off (the benchmark's runs).
e2e_settings_dword() {
  local try
  [ -n "${E2E_AS_SHIPPED:-}" ] && [[ $1 == @TRACERFLAGS* ]] && return 0
  for try in 1 2; do
    e2e_reg add "$E2E_SETTINGS_KEY" /v "$1" /t REG_DWORD /d "$2" /f
    e2e_reg query "$E2E_SETTINGS_KEY" /v "$1" && return 0
  done
  echo "note: settings value $1 could not be written"
  return 1
}
e2e_marker_installed() { e2e_reg query "HKLM\\SOFTWARE\\OndexE2E\\$1" /v Installed; }
# e2e_product_registered [PRODUCT_CODE]: by default the last package built.
e2e_product_registered() {
  e2e_reg query "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${1:-$E2E_PRODUCT_CODE}"
}

# ---- Expectations: each prints one line and is counted. ----
e2e_pass() { E2E_PASSED=$((E2E_PASSED + 1)); echo "ok    $1"; }
e2e_fail() { E2E_FAILED=$((E2E_FAILED + 1)); echo "FAIL  $1"; }

# expect_eq ACTUAL EXPECTED WHAT
expect_eq() {
  if [ "$1" = "$2" ]; then e2e_pass "$3"; else e2e_fail "$3 (got '$1', expected '$2')"; fi
}
# expect_true WHAT COMMAND...
expect_true() {
  local what=$1
  shift
  if "$@"; then e2e_pass "$what"; else e2e_fail "$what"; fi
}
expect_false() {
  local what=$1
  shift
  if "$@"; then e2e_fail "$what"; else e2e_pass "$what"; fi
}
# expect_line FILE TEXT: a line of FILE contains TEXT (fixed string). On a
# miss, the file's lines that share TEXT's first word are shown as context.
expect_line() {
  if grep -qF -- "$2" "$1" 2>/dev/null; then e2e_pass "$(basename "$1") has '$2'"
  else
    e2e_fail "$(basename "$1") has '$2'"
    local word
    read -r word _ <<<"${2//:/ }"
    [ -n "$word" ] && grep -F -- "$word" "$1" 2>/dev/null | head -20 | sed 's/^/      | /'
  fi
}
expect_no_line() {
  if grep -qF -- "$2" "$1" 2>/dev/null; then e2e_fail "$(basename "$1") lacks '$2'"
  else e2e_pass "$(basename "$1") lacks '$2'"; fi
}

# Prints the tally and ends the test: non-zero exit when anything failed.
e2e_finish() {
  echo "e2e: $E2E_PASSED passed, $E2E_FAILED failed"
  [ "$E2E_FAILED" -eq 0 ] || echo "work directory: $E2E_WORK"
  [ "$E2E_FAILED" -eq 0 ]
}

# e2e_picker_register DLL SCRIPT / e2e_picker_unregister: the tests'
# object-picker double in place of Wine's own, scripted by SCRIPT (in the work
# directory); unregistering deletes the class key they share, so Wine's own
# picker is registered again afterwards.
e2e_picker_register() {
  e2e_inproc_register "$1" objsel_double.dll OXOBJSEL_SCRIPT "$2" || return 1
  E2E_PICKER=$E2E_INPROC
}
e2e_picker_unregister() {
  [ -n "${E2E_PICKER:-}" ] || return 0
  e2e_inproc_unregister "$E2E_PICKER"
  "$E2E_WINE" regsvr32 /s objsel.dll </dev/null >/dev/null 2>&1
  E2E_PICKER=
}
