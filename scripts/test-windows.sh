#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Windows builds: cross-compiles for 64-bit (build-win64, its tests run
# under Wine) and 32-bit Windows (build-win32, the programs compiled and
# linked only), checks that every program carries its icon and manifest, and
# makes both zips and both installers. FLTK and libhivex for Windows are
# compiled once from their source tarballs and kept in ~/.cache/corvane (see
# docs/building.md).
#   scripts/test-windows.sh [--build | --test]   both parts, or the builds alone, or the tests alone
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
part=${1:-all}
status=0
[ "$part" = --test ] || for arch in x86_64 i686; do
  dir=build-win$([ $arch = x86_64 ] && echo 64 || echo 32)
  # The 32-bit tests could not run here: the programs alone are built.
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCORVANE_BENCH=OFF -DCORVANE_TESTS=$([ $arch = x86_64 ] && echo ON || echo OFF) >/dev/null
  cmake --build "$dir" -j"$jobs"
  cmake --build "$dir" --target package >/dev/null
  for program in corvane corvane-list corvane-update; do
    [ -e "$dir/$program.exe" ] || continue
    resources=$(wrestool -l "$dir/$program.exe")
    echo "$dir/$program.exe:"; echo "$resources"
    grep -q -- "--type=14 --name=101" <<<"$resources" || { echo "FAIL: no group icon 101"; status=1; }
    grep -q -- "--type=24 --name=1 " <<<"$resources" || { echo "FAIL: no manifest 1"; status=1; }
  done
  ls -l "$dir"/corvane-*.zip "$dir"/corvane-*-setup.exe || status=1
done
[ "$part" = --build ] && exit $status
echo "== tests under Wine in build-win64"
export CORVANE_WINE_DIR=$PWD/build-win64/wine
(cd build-win64 && ctest --output-on-failure) || status=1
WINEPREFIX=$CORVANE_WINE_DIR/prefix /usr/lib/wine/wineserver64 -k 2>/dev/null || true
# Said once, for both builds: what was left out and how to get it.
for note in window-skipped.txt hives-skipped.txt; do
  if [ -e "build-win64/$note" ]; then
    echo "== NOTE: $(cat "build-win64/$note")"
  fi
done
exit $status
