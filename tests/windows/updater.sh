#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-update.exe under Wine: pci.ids plain or gzip-compressed, by default
# from the working directory, written as the build machine's updater writes
# it, replacing the old devices.lst; a list that cannot be read changes nothing.
# Usage: updater.sh CORVANE_UPDATE_EXE DEVICES_LST_OF_THE_HOST_UPDATER PCI_IDS SOURCE_DIR
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
updater=$(realpath "$1") expected=$(realpath "$2") list=$(realpath "$3") source=$(realpath "$4")
. "$source/tests/e2e/xvfb.sh"
run=$source/scripts/wine-run.sh
case "$list" in *.gz) gzip -dc "$list" >"$work/pci.ids" ;; *) cp "$list" "$work/pci.ids" ;; esac

# The default input, plain, into a new devices.lst.
mkdir "$work/plain" && cp "$work/pci.ids" "$work/plain/"
(cd "$work/plain" && env -u DISPLAY "$run" "$updater" >stdout 2>stderr </dev/null)
check "exit status, plain list" "0" "$?"
cmp -s "$expected" "$work/plain/devices.lst" || fail "devices.lst differs from the build machine's"
grep -q "^devices.lst: [0-9]* vendors, [0-9]* devices" "$work/plain/stdout" || fail "summary: $(cat "$work/plain/stdout")"

# Only pci.ids.gz there: read it, and replace the old devices.lst.
mkdir "$work/gzip" && gzip -c "$work/pci.ids" >"$work/gzip/pci.ids.gz" && echo old >"$work/gzip/devices.lst"
(cd "$work/gzip" && env -u DISPLAY "$run" "$updater" >stdout 2>stderr </dev/null)
check "exit status, compressed list" "0" "$?"
cmp -s "$expected" "$work/gzip/devices.lst" || fail "devices.lst from pci.ids.gz differs"
check "files after the replace" "devices.lst pci.ids.gz stderr stdout" "$(ls "$work/gzip" | xargs)"

# No list: status 1, the old devices.lst stays.
mkdir "$work/none" && echo old >"$work/none/devices.lst"
(cd "$work/none" && env -u DISPLAY "$run" "$updater" >stdout 2>stderr </dev/null)
check "exit status without a list" "1" "$?"
check "old devices.lst kept" "old" "$(cat "$work/none/devices.lst")"
grep -q "cannot read pci.ids" "$work/none/stderr" || fail "stderr: $(cat "$work/none/stderr")"

finish
