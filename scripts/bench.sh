#!/usr/bin/env bash
# The benchmarks, under Wine in the build prefix; not part of the tests
# (docs/benchmark.md has their figures).
#   scripts/bench.sh [frame] [calls per round] [rounds]     the entry frame
#   scripts/bench.sh actions [calls per package] [rounds]   per-action cost under msiexec
#   scripts/bench.sh runner [rounds]                        RunToolCaptured draining 100 MB
#   scripts/bench.sh prereq [rounds]                        CheckPrerequisites with 10, 100, 1,000 rows
#   scripts/bench.sh products [rounds]                      the library's share of the products' installations
set -euo pipefail
cd "$(dirname "$0")/.."
which=frame
case "${1:-}" in frame | actions | runner | prereq | products) which=$1; shift ;; esac
scripts/install-deps.sh
cmake --preset windows >/dev/null
prefix="$PWD/build/windows/wineprefix"
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true' EXIT
case "$which" in
  actions)
    cmake --build --preset windows --target OndexSetupCA minimal_ca
    bench/action_cost.sh build/windows "$@" ;;
  products)
    cmake --build --preset windows
    bench/product_share.sh build/windows "$@" ;;
  *)
    cmake --build --preset windows --target "${which}_bench"
    build/windows/wine-run.sh "build/windows/tests/${which}_bench.exe" "$@" ;;
esac
