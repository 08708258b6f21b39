#!/usr/bin/env bash
# Every export in the DLL's export table entered the library in the two
# products' installations (their scenarios leave the entered exports in
# <work>/harbor.entered and <work>/almanac.entered, read from the library's
# own entry lines: Wine logs a missing export as a success).
# Arguments: OndexSetupCA.dll, the Harbor and Almanac scenarios' work directories.
set -u
source "$(dirname "$0")/lib.sh"
dll=$(realpath "$1")
exported=$(e2e_dll_exports "$dll")
entered=$(cat "$2/harbor.entered" "$3/almanac.entered" 2>/dev/null | sort -u)
E2E_PASSED=0 E2E_FAILED=0
expect_eq "$(wc -l <<<"$exported")" 72 "the DLL exports 72 actions"
expect_eq "$(comm -23 <(echo "$exported") <(echo "$entered") | tr '\n' ' ')" "" "every export ran in the products' installations"
expect_eq "$(comm -13 <(echo "$exported") <(echo "$entered") | tr '\n' ' ')" "" "nothing but exports entered"
e2e_finish
