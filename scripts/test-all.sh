#!/usr/bin/env bash
# Runs every test: the pure logic natively with sanitizers, a bounded fuzzing
# run of every parser of outside input, then the Windows tests and the
# end-to-end installations under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh

echo "== Pure logic (host, sanitizers)"
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

echo "== Fuzzing (${ONDEX_FUZZ_SECONDS:-20} s per target)"
scripts/fuzz.sh "${ONDEX_FUZZ_SECONDS:-20}"

echo "== Windows tests and end to end (Wine)"
cmake --preset windows >/dev/null
cmake --build --preset windows
prefix="$root/build/windows/wineprefix"
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true' EXIT
ctest --preset windows

echo "== Release folder (signed with a throwaway certificate)"
tests/release/check_release.sh
