#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The 64-bit zip as a user gets it: unpacked into a fresh directory, its
# files, their line ends, libhivex's licence and the README's word on how to
# relink with a changed libhivex, corvane-list.exe reading a hive, and
# corvane.exe started from there under Wine, opening its window on the
# shipped database.
# Usage: package.sh ZIP WINDOW_PROBE_EXE SOURCE_DIR
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
zip=$(realpath "$1") probe=$(realpath "$2") source=$(realpath "$3")
. "$source/tests/e2e/xvfb.sh"
. "$source/tests/windows/wine-display.sh"
[ -e "$zip" ] || { fail "no $zip: make it with cmake --build BUILD_DIR --target package"; finish; }

mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
top=$(basename "$zip" .zip)
check "files" "COPYING COPYING-FLTK.txt COPYING-hivex.txt COPYING-pci.ids.txt COPYING-zlib.txt README.txt corvane-list.exe corvane-update.exe corvane.exe devices.lst" \
  "$(ls "$work/unpacked/$top" | xargs)"
cd "$work/unpacked/$top" || finish
for text in README.txt COPYING COPYING-FLTK.txt COPYING-hivex.txt COPYING-pci.ids.txt COPYING-zlib.txt; do
  lines=$(wc -l <"$text")
  [ "$lines" -gt 5 ] || fail "$text: $lines lines"
  check "$text: lines ending in CR LF" "$lines" "$(grep -c $'\r$' "$text")"
done
grep -q "General Public License.*or the 3-clause BSD License" <(tr -d '\r\n' <COPYING-pci.ids.txt) ||
  fail "COPYING-pci.ids.txt: no licence notice: $(head -c 300 COPYING-pci.ids.txt)"
grep -Eq '^"0x8086","0x[0-9A-F]{4}","Intel Corporation","pci\.ids [^"]+","[^"]+"$' devices.lst ||
  fail "devices.lst holds no Intel device"
grep -q "GNU LESSER GENERAL PUBLIC LICENSE" COPYING-hivex.txt || fail "COPYING-hivex.txt: not the LGPL"
readme=$(tr -d '\r' <README.txt | tr '\n' ' ')
for said in "libhivex 1.3.23" "COPYING-hivex.txt" "https://github.com/libguestfs/hivex" "-DCORVANE_HIVEX_SOURCE="; do
  [[ "$readme" == *"$said"* ]] || fail "README.txt: no \"$said\" on libhivex's source and relinking"
done

# The zip's corvane-list.exe reads a hive, as the one of the build did.
(cd "$work" && bash "$source/tests/support/hive-fixtures.sh" "$source" >fixtures.log 2>&1) ||
  fail "hive-fixtures.sh: $(cat "$work/fixtures.log")"
cp "$work/SYSTEM" "$work/system.reg" .
env -u DISPLAY "$run" corvane-list.exe system.reg >reg.out 2>/dev/null </dev/null
env -u DISPLAY "$run" corvane-list.exe SYSTEM >hive.out 2>hive.err </dev/null
check "corvane-list.exe of the zip on a hive: exit status" "0" "$?"
check "corvane-list.exe of the zip on a hive: the export's devices" "$(cat reg.out)" "$(cat hive.out)"
[ "$(grep -c . hive.out)" -gt 100 ] || fail "corvane-list.exe of the zip on a hive: $(head -3 hive.out hive.err)"
rm SYSTEM system.reg reg.out hive.out hive.err

start_wine_display
exec "$run" corvane.exe >stdout 2>stderr </dev/null &
pid=$!
probe "Corvane 1.5.1 Release 12/17/2011'" "$work/window.txt"
check "window from the zip" "client 800x600" "$(grep '^client' "$work/window.txt")"
window=$(find_window "^Corvane 1\.5\.1 Release")
[ -n "$window" ] && xdotool key --window "$window" Escape 2>/dev/null
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status after Escape" "0" "$?"
[ -e error.log ] && fail "error.log written: $(cat error.log)"
cd /
finish
