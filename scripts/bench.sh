#!/usr/bin/env bash
# Builds and runs the entry-frame benchmark under Wine in the build prefix.
# Arguments (optional): calls per round, rounds. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target frame_bench
prefix="$PWD/build/windows/wineprefix"
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true' EXIT
build/windows/wine-run.sh build/windows/bin/frame_bench.exe "$@"
