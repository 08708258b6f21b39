#!/usr/bin/env bash
# The library's share of the products' installations: each round takes Ondex
# Harbor and OndexAlmanac through their whole life under Wine's msiexec (the
# end-to-end scenarios: install, repair, upgrade, removal, with the tests'
# doubles) once with the library and once with a stand-in DLL whose 72
# exports do nothing, the order rotating. A round's share for a product is
# 1 - (stand-in's msiexec time / library's msiexec time); the report gives
# the medians over the rounds. The library runs as shipped: stripped, no
# trace scope on.
# Usage: bench/product_share.sh BUILD_DIR [rounds]   (not a test: scripts/bench.sh products)
set -euo pipefail
build=$(realpath "$1")
rounds=${2:-3}
work="$build/bench/product_share"
rm -rf "$work" && mkdir -p "$work"
x86_64-w64-mingw32-strip --strip-debug --strip-unneeded -o "$work/OndexSetupCA.dll" "$build/bin/OndexSetupCA.dll"
mkdir -p "$work/stub" && cp "$build/bin/stub_ca.dll" "$work/stub/OndexSetupCA.dll"

# command PRODUCT: the scenario's script and arguments as CTest runs them, one per line.
command() {
  ctest --test-dir "$build" -R "^e2e\.product_$1\$" -N -V | sed -n 's/.*Test command: //p' |
    grep -o '"[^"]*"' | tr -d '"'
}

# life PRODUCT DLL TIMES: one life of the product with that DLL; the msiexec
# calls' times go to TIMES. Prints the sum in milliseconds and how many calls failed.
life() {
  local args
  mapfile -t args < <(command "$1")
  args[1]=$2 args[3]="$work/run-$1"
  rm -f "$3"
  E2E_TIMING=$3 E2E_AS_SHIPPED=1 bash "${args[@]}" >"$3.out" 2>&1 || true
  awk '{ms += $1; failed += ($2 != 0)} END{print ms, failed}' "$3"
}

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{v[NR] = $1} END{print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

declare -A shares
kinds=(library stub)
for ((round = 1; round <= rounds; round++)); do
  for product in harbor almanac; do
    declare -A ms=()
    line="round $round, $product:"
    for ((k = 0; k < 2; k++)); do
      kind=${kinds[(k + round) % 2]}
      dll="$work/OndexSetupCA.dll"
      [ "$kind" = stub ] && dll="$work/stub/OndexSetupCA.dll"
      read -r total failed < <(life "$product" "$dll" "$work/$product.$kind.$round.times")
      ms[$kind]=$total
      line+=" $kind $total ms ($failed msiexec calls not 0)"
    done
    echo "$line"
    shares[$product]+="$(awk -v s="${ms[stub]}" -v l="${ms[library]}" 'BEGIN{printf "%.3f", 1 - s / l}') "
  done
done
echo
echo "$rounds rounds, medians of the rounds' shares (1 - stand-in / library):"
for product in harbor almanac; do
  echo "  $product: $(median <<<"${shares[$product]}")"
done
