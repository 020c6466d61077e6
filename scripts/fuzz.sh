#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Fuzzes the devices.lst line splitting, the whole loader, the PCI scan, the .reg reader, the
# pci.ids reader (the updater's conversion and the program's lookups), the device-file layer,
# the registry hive path and the driver INF reader with its folder index with libFuzzer (clang),
# under AddressSanitizer and UndefinedBehaviorSanitizer, on a stack no larger than the default
# 8 MiB. The readers of other machines' files, of pci.ids and of INF files take inputs up to
# 1 MiB, with a dictionary of their formats' tokens (tests/fuzz/*.dict); what the readers of
# exports and of INF files keep is bounded by the input, so they run under an RSS limit of
# 512 MB (4096 MB for the others).
# Each target first reads large inputs made here once (a key 300,000 levels deep, 1 MiB of keys
# 500 levels below a device's instance, 40,000 values in one key, 1 MiB of the system's pci.ids;
# INF files of 1 MiB: 20,000 models lines, one field, 100,000 sections, a chain of continued
# bracket lines, a line of semicolons in a %strkey% token, 13,000 manufacturers each of its own
# models and install section, lines of 9 bytes each naming a string of 4,095 characters, one
# install section's 20 excluded IDs named by 50,000 lines, 30,000 strings), then fuzzes:
#   scripts/fuzz.sh [TARGET...]          a short run: 10 s a target (CI), large inputs from the start
#   scripts/fuzz.sh --build [TARGET...]  the targets built, not run
#   scripts/fuzz.sh --long [--workers N] [TARGET...]
#                                        10 million executions a target, inputs lengthening as libFuzzer
#                                        finds nothing new at the length it has reached; with N workers
#                                        (N processes sharing one corpus, each its share of the runs)
# New inputs go to a scratch directory; the corpora in tests/fuzz/corpus only seed, and
# fuzz_hive also gets the fixture machine as a hive (tests/support/make-hive.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
limit=(-max_total_time=10)
lengths=(-len_control=0)
workers=1
build_only=false
if [ "${1:-}" = "--build" ]; then
  build_only=true
  shift
elif [ "${1:-}" = "--long" ]; then
  shift
  if [ "${1:-}" = "--workers" ]; then
    workers=$2
    shift 2
  fi
  limit=(-runs=$((10000000 / workers)))
  lengths=()
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_line fuzz_loader fuzz_scan fuzz_regexport fuzz_pciids fuzz_devicefile fuzz_hive
                                     fuzz_inf)
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null
! $build_only || exit 0
scratch=$(mktemp -d -p "$([ -d /dev/shm ] && echo /dev/shm || echo /tmp)")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
# Recursion as deep as an input chooses must show here as it would for a user.
[ "$(ulimit -s)" != unlimited ] && [ "$(ulimit -s)" -le 8192 ] || ulimit -s 8192
# large TARGET DIR: the large inputs of a target, made in DIR.
large() {
  local key='[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\PCI\VEN_0010&DEV_8139&SUBSYS_00000000&REV_00\3&1&0&00'
  case $1 in
    fuzz_regexport | fuzz_devicefile)
      local first=""
      [ "$1" = fuzz_regexport ] && first='\0'  # the target's first byte is where it splits the file
      KEY=$key perl -e 'print "'"$first"'REGEDIT4\r\n\r\n$ENV{KEY}", "\\a" x 300000, "]\r\n"' >"$2/deep-key"
      KEY=$key perl -e 'print "'"$first"'REGEDIT4\r\n\r\n$ENV{KEY}]\r\n";
        for (my ($i, $n) = (0, 0); $n < 1048000; $i++) { my $l = "$ENV{KEY}\\$i" . "\\a" x 500 . "]\r\n"; print $l; $n += length $l }' \
        >"$2/keys-below-an-instance"
      KEY=$key perl -e 'print "'"$first"'REGEDIT4\r\n\r\n$ENV{KEY}]\r\n"; print "\"v$_\"=\"x\"\r\n" for 1..40000' >"$2/values" ;;
    fuzz_pciids)
      [ -f /usr/share/misc/pci.ids ] && head -c 1048576 /usr/share/misc/pci.ids >"$2/pci.ids" ;;
    fuzz_inf)
      local head=$'[Version]\r\nSignature="$Windows NT$"\r\n[Manufacturer]\r\n%M%=Models,NTamd64\r\n[Models.NTamd64]\r\n'
      HEAD=$head perl -e 'print "$ENV{HEAD}"; printf "%%D%%=Install,PCI\\VEN_1AF4&DEV_%04X,PCI\\CC_%04X\r\n", $_, $_ for 1..20000' >"$2/models"
      HEAD=$head perl -e 'print "$ENV{HEAD}", "%D%=Install,", "x" x 1048000, "\r\n"' >"$2/field"
      HEAD=$head perl -e 'print "$ENV{HEAD}"; print "[s$_]\n" for 1..100000' >"$2/sections"
      HEAD=$head perl -e 'print "$ENV{HEAD}", "a=b\\\n", "[c] \\\n" x 150000' >"$2/continued"
      HEAD=$head perl -e 'print "$ENV{HEAD}", "a=%", ";" x 1048000, "\n"' >"$2/semicolons"
      perl -e 'print "[Version]\nSignature=\$Windows NT\$\n[Manufacturer]\n"; print "M=S$_,NTamd64\n" for 1..13000;
               print "[S$_.NTamd64]\nd=I$_,PCI\\X$_\n[I$_]\nFeatureScore=1\n" for 1..13000' >"$2/installs"
      HEAD=$head perl -e 'print "[Strings]\r\na=", "x" x 4095, "\r\n$ENV{HEAD}"; print "d=i,%a%\r\n" x 116000' >"$2/substituted"
      HEAD=$head perl -e 'print "[Install]\r\nExcludeID=", join(",", map { "PCI\\VEN_9&DEV_$_" } 1..20), "\r\n$ENV{HEAD}";
                          print "d=Install,PCI\\VEN_1&DEV_2\r\n" x 50000' >"$2/excluded"
      HEAD=$head perl -e 'print "$ENV{HEAD}"; print "d=i,%k$_%\r\n" for 1..30000;
                          print "[Strings]\r\n"; print "k$_=PCI\\VEN_7&DEV_$_\r\n" for 1..30000' >"$2/strings" ;;
  esac
  return 0
}
status=0
mkdir "$scratch/fuzz_hive"
sed 's/\\CurrentControlSet\\/\\ControlSet001\\/' tests/windows/pci-fixture.reg.txt >"$scratch/fixture.reg"
tests/support/make-hive.sh "$scratch/fixture.reg" "$scratch/fixture.hive" &&
  { printf '\001'; cat "$scratch/fixture.hive"; } >"$scratch/fuzz_hive/fixture"
for target in "${targets[@]}"; do
  options=()
  rss=4096
  case $target in
    fuzz_regexport | fuzz_pciids | fuzz_devicefile | fuzz_inf) options+=(-max_len=1048576 "${lengths[@]}") ;;
  esac
  case $target in
    fuzz_regexport | fuzz_devicefile) rss=512 ;;  # 1 MiB of keys below an instance once took 650 MB
    fuzz_inf) rss=512 ;;  # 1 MiB of lines naming a long string once took some 450 MB
  esac
  [ -f "tests/fuzz/$target.dict" ] && options+=(-dict="tests/fuzz/$target.dict")
  mkdir -p "$scratch/$target" "$scratch/$target-large"
  mkdir -p build-fuzz/artifacts  # what fails or is slow is kept there, not in the project's root
  echo "== $target"
  large "$target" "$scratch/$target-large"
  if [ -n "$(ls "$scratch/$target-large")" ] &&
     ! build-fuzz/tests/fuzz/$target -rss_limit_mb=$rss "$scratch/$target-large"/* >"$scratch/$target.log" 2>&1; then
    tail -40 "$scratch/$target.log"
    echo "FAIL: $target, large inputs"
    status=1
    continue
  fi
  start=$SECONDS
  pids=()
  for worker in $(seq "$workers"); do
    build-fuzz/tests/fuzz/$target "$scratch/$target" "tests/fuzz/corpus/$target" "${limit[@]}" "${options[@]}" \
      -seed="$worker" -artifact_prefix="build-fuzz/artifacts/$target-" -timeout=10 -rss_limit_mb=$rss \
      -print_final_stats=1 >"$scratch/$target.$worker.log" 2>&1 &
    pids+=($!)
  done
  failed=0
  for worker in $(seq "$workers"); do
    if wait "${pids[$((worker - 1))]}"; then
      grep -E "^Done|stat::number_of_executed_units|stat::peak_rss_mb" "$scratch/$target.$worker.log"
    else
      tail -40 "$scratch/$target.$worker.log"
      failed=1
    fi
  done
  if [ $failed = 0 ]; then
    echo "in $((SECONDS - start)) s, no failure"
  else
    echo "FAIL: $target"
    status=1
  fi
done
exit $status
