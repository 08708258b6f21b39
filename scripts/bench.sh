#!/usr/bin/env bash
# The benchmarks, under Wine in the build prefix; not part of the tests.
#   scripts/bench.sh [frame] [calls per round] [rounds]     the entry frame
#   scripts/bench.sh actions [calls per package] [rounds]   per-action cost under msiexec
set -euo pipefail
cd "$(dirname "$0")/.."
which=frame
case "${1:-}" in frame | actions) which=$1; shift ;; esac
scripts/install-deps.sh
cmake --preset windows >/dev/null
prefix="$PWD/build/windows/wineprefix"
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true' EXIT
if [ "$which" = actions ]; then
  cmake --build --preset windows --target OndexSetupCA minimal_ca
  bench/action_cost.sh build/windows "$@"
else
  cmake --build --preset windows --target frame_bench
  build/windows/wine-run.sh build/windows/bin/frame_bench.exe "$@"
fi
