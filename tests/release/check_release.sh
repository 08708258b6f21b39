#!/usr/bin/env bash
# The release command, signed with a throwaway self-signed certificate: the
# folder's contents, the signature (osslsigncode verify against that
# certificate), the DLL stripped with its debug information beside it and
# linked by name, the version resource, the export table, and one
# installation under Wine's msiexec with the release DLL.
set -u
cd "$(dirname "$0")/../.."
source tests/e2e/lib.sh
E2E_PASSED=0 E2E_FAILED=0
# check WHAT COMMAND...: an expectation whose command's output is not shown.
check() {
  local what=$1
  shift
  expect_true "$what" quiet "$@"
}
quiet() { "$@" >/dev/null 2>&1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Ondex throwaway test signing" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
scripts/release.sh --sign "$work/cert.pem" "$work/key.pem" >"$work/release.log" 2>&1 ||
  { cat "$work/release.log"; echo "FAIL  the release command"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-tree/CMakeCache.txt)
out=build/release/OndexSetupCA-$version
dll=$out/OndexSetupCA.dll
E2E_WORK=$out

for file in OndexSetupCA.dll OndexSetupCA.dll.debug kit/README.md kit/OndexSetupCA.wxi kit/CustomTables.wxi \
  kit/wixl-fixup.sh kit/tables/LocalGroup.idt docs/behaviour.md docs/actions/README.md docs/actions/ConfigureWeb.md; do
  check "the release folder holds $file" test -s "$out/$file"
done
check "the signature verifies against the signing certificate" osslsigncode verify -CAfile "$work/cert.pem" -in "$dll"
sections=$(x86_64-w64-mingw32-objdump -h "$dll")
check "the shipped DLL carries no debug sections" bash -c '! grep -q "\.debug_" <<<"$1"' _ "$sections"
check "the shipped DLL names its debug file" grep -q gnu_debuglink <<<"$sections"
check "the debug file holds the debug information" bash -c 'x86_64-w64-mingw32-objdump -h "$1" | grep -q "\.debug_info"' _ "$dll.debug"
strings=$(strings -el "$dll")
for text in "$version.0" Ondex "Ondex Setup Custom Actions" OndexSetupCA.dll; do
  check "the version resource holds \"$text\"" grep -qx "$text" <<<"$strings"
done
exported=$(e2e_dll_exports "$dll")
declared=$(e2e_def_exports src/exports/OndexSetupCA.def)
check "the release DLL exports exactly the 72 declared actions" test "$exported" = "$declared" -a "$(wc -l <<<"$declared")" -eq 72
# The signed, stripped DLL under Wine's msiexec, when the Windows build's prefix is there.
if [ -x build/windows/wine-run.sh ]; then
  check "the release DLL runs an installation's actions" \
    bash tests/e2e/shell_actions_succeed.sh "$dll" build/windows/wine-run.sh "$PWD/build/release/e2e"
fi
e2e_finish
