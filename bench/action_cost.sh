#!/usr/bin/env bash
# Per-action cost under Wine's msiexec: packages of N immediate calls to one
# export each, installed silently in alternating rounds beside a package
# without actions. Prints, per case, the median of the rounds' time per
# action above the empty package, and the median of the rounds' ratios to the
# minimal DLL's no-op export.
# Usage: bench/action_cost.sh BUILD_DIR [calls per package] [rounds] [library DLL]
# (the library defaults to the build's OndexSetupCA.dll; another build of it,
# an earlier one say, can be measured against the same yardstick)
# Not a test: run by scripts/bench.sh actions.
set -euo pipefail
build=$(realpath "$1")
calls=${2:-20}
rounds=${3:-5}
library=$(realpath "${4:-$1/bin/OndexSetupCA.dll}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../tests/e2e/lib.sh"

work="$build/bench/action_cost"
e2e_init "$library" "$build/wine-run.sh" "$work"
# The shipped form of the library: the same build without symbols or debug sections.
x86_64-w64-mingw32-strip --strip-debug --strip-unneeded OndexSetupCA.dll
cp "$build/bin/minimal_ca.dll" minimal_ca.dll

# package NAME DLL ENTRY COUNT: a package with COUNT immediate calls of ENTRY.
package() {
  local name=$1 dll=$2 entry=$3 count=$4 i
  {
    echo '<?xml version="1.0" encoding="utf-8"?>'
    echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">'
    echo "  <Product Id=\"$(e2e_uuid)\" Name=\"Ondex bench $name\" Language=\"1033\" Version=\"1.0.0\""
    echo "           Manufacturer=\"Ondex\" UpgradeCode=\"$(e2e_uuid)\">"
    echo '    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>'
    [ "$count" -gt 0 ] && echo "    <Binary Id=\"Lib\" SourceFile=\"$dll\"/>"
    echo '    <Directory Id="TARGETDIR" Name="SourceDir">'
    echo "      <Component Id=\"Marker\" Guid=\"$(e2e_uuid)\" Win64=\"yes\">"
    echo "        <RegistryValue Root=\"HKLM\" Key=\"SOFTWARE\\OndexBench\\$name\" Name=\"Installed\" Type=\"string\" Value=\"1\" KeyPath=\"yes\"/>"
    echo '      </Component>'
    echo '    </Directory>'
    echo '    <Feature Id="Main" Level="1"><ComponentRef Id="Marker"/></Feature>'
    for ((i = 1; i <= count; i++)); do
      echo "    <CustomAction Id=\"Call$i\" BinaryKey=\"Lib\" DllEntry=\"$entry\" Execute=\"immediate\" Return=\"check\"/>"
    done
    echo '    <InstallExecuteSequence>'
    for ((i = 1; i <= count; i++)); do
      echo "      <Custom Action=\"Call$i\" Sequence=\"$((1400 + i))\">NOT REMOVE</Custom>"
    done
    echo '    </InstallExecuteSequence>'
    echo '  </Product>'
    echo '</Wix>'
  } >"$name.wxs"
  wixl -a x64 -o "$name.msi" "$name.wxs"
}

cases=(empty minimal ShowIIsWebQuery GetCoreNumber)
package empty - - 0
package minimal minimal_ca.dll NoOp "$calls"
package ShowIIsWebQuery OndexSetupCA.dll Debug_ShowIIsWebQuery "$calls"
package GetCoreNumber OndexSetupCA.dll GetCoreNumber "$calls"

# install NAME: milliseconds of one silent installation (the removal that
# follows is not timed).
install_ms() {
  local start end
  e2e_wait_installer_idle
  start=$(date +%s%N)
  e2e_msiexec /i "$1.msi" /qn || { echo "installation of $1 failed" >&2; exit 1; }
  end=$(date +%s%N)
  e2e_wait_installer_idle
  e2e_msiexec /x "$1.msi" /qn || true
  echo $(((end - start) / 1000000))
}

# Each round: every case's time per action above that round's empty package,
# and its ratio to that round's minimal DLL; the report gives the medians.
declare -A per_action ratios
"$E2E_WINE" cmd /c exit 0 # the prefix's server is up before the first round
for ((round = 1; round <= rounds; round++)); do
  # Each round starts with another case, so that every case sees every slot.
  declare -A ms=()
  line="round $round:"
  for ((k = 0; k < ${#cases[@]}; k++)); do
    name=${cases[(k + round) % ${#cases[@]}]}
    ms[$name]=$(install_ms "$name")
    line+=" $name ${ms[$name]} ms"
  done
  echo "$line"
  minimal=$(((ms[minimal] - ms[empty]) * 1000 / calls))
  for name in minimal ShowIIsWebQuery GetCoreNumber; do
    us=$(((ms[$name] - ms[empty]) * 1000 / calls))
    per_action[$name]+="$us "
    ratios[$name]+="$(awk -v a="$us" -v b="$minimal" 'BEGIN{printf "%.3f", (b > 0) ? a / b : 0}') "
  done
done

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{v[NR] = $1} END{print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
echo
echo "$calls calls per package, $rounds rounds, medians of the rounds:"
for name in minimal ShowIIsWebQuery GetCoreNumber; do
  us=$(median <<<"${per_action[$name]}")
  ratio=$(median <<<"${ratios[$name]}")
  awk -v n="$name" -v u="$us" -v r="$ratio" 'BEGIN{printf "  %-16s %6.2f ms per action   ratio %.2f\n", n, u / 1000, r}'
done
