#!/usr/bin/env bash
# Fuzzes the devices.lst line splitting, the whole loader, the PCI scan, the .reg reader
# and the registry hive path with libFuzzer (clang), under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#   scripts/fuzz.sh           a short run: 20 s a target (CI)
#   scripts/fuzz.sh --long    10 million executions a target
#   scripts/fuzz.sh [--long] TARGET...   those targets alone
# New inputs go to a scratch directory; the corpora in tests/fuzz/corpus only seed, and
# fuzz_hive also gets the fixture machine as a hive (tests/support/make-hive.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
limit=(-max_total_time=20)
if [ "${1:-}" = "--long" ]; then limit=(-runs=10000000); shift; fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_line fuzz_loader fuzz_scan fuzz_regexport fuzz_hive)
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null
scratch=$(mktemp -d -p "$([ -d /dev/shm ] && echo /dev/shm || echo /tmp)")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
status=0
mkdir "$scratch/fuzz_hive"
sed 's/\\CurrentControlSet\\/\\ControlSet001\\/' tests/windows/pci-fixture.reg.txt >"$scratch/fixture.reg"
tests/support/make-hive.sh "$scratch/fixture.reg" "$scratch/fixture.hive" &&
  { printf '\001'; cat "$scratch/fixture.hive"; } >"$scratch/fuzz_hive/fixture"
for target in "${targets[@]}"; do
  mkdir -p "$scratch/$target"
  options=()
  [ -f "tests/fuzz/$target.dict" ] && options=(-dict="tests/fuzz/$target.dict")
  echo "== $target"
  if build-fuzz/tests/fuzz/$target "$scratch/$target" "tests/fuzz/corpus/$target" "${limit[@]}" "${options[@]}" \
       -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 >"$scratch/$target.log" 2>&1; then
    grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb" "$scratch/$target.log"
  else
    tail -40 "$scratch/$target.log"
    echo "FAIL: $target"
    status=1
  fi
done
exit $status
