#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The program's start-up under valgrind's memcheck, with the full devices.lst
# from pci.ids, under Xvfb: the window comes up, Escape ends it, and memcheck
# saw no invalid read or write. Usage: valgrind.sh CORVANE CORVANE_UPDATE
set -u
corvane=$(realpath "$1") update=$(realpath "$2")
. "$(dirname "$0")/xvfb.sh"
start_xvfb
"$update" --output "$work/devices.lst" >/dev/null || fail "corvane-update"
(cd "$work" && exec valgrind --tool=memcheck --log-file="$work/memcheck.log" "$corvane" >"$work/stdout" 2>"$work/stderr") &
pid=$!
window=$(timeout 120 xdotool search --sync --name "^Corvane" 2>/dev/null | head -1)
if [ -z "$window" ]; then fail "no window under valgrind"; kill "$pid"; else
  sleep 1  # let it draw
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 60 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status under valgrind" "0" "$?"
invalid=$(grep -c -E "Invalid (read|write|free)" "$work/memcheck.log")
check "invalid reads, writes and frees" "0" "$invalid"
grep "ERROR SUMMARY" "$work/memcheck.log" | sed 's/^==[0-9]*== /memcheck: /'
[ "$invalid" = 0 ] || grep -A12 -E "Invalid (read|write|free)" "$work/memcheck.log" | head -60
finish
