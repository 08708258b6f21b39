#!/usr/bin/env bash
# Runs every test: the pure logic natively with sanitizers, a bounded fuzzing
# run of every parser of outside input, the Windows tests and the end-to-end
# installations under Wine, the DLL built by a second compiler, and the
# release folder.
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

echo "== Second compiler: the DLL built with clang (warnings as errors), its imports and one installation"
cmake --preset clang >/dev/null
cmake --build --preset clang
cmake -DDLL=build/clang/bin/OndexSetupCA.dll -P tests/platform/check_imports.cmake >/dev/null
bash tests/e2e/shell_actions_succeed.sh build/clang/bin/OndexSetupCA.dll build/windows/wine-run.sh "$root/build/clang/e2e"

echo "== Release folder (signed with a throwaway certificate)"
tests/release/check_release.sh
