#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Bad surroundings: error.log that cannot be written, devices.lst that is a
# directory, 200 MiB large or over the limit. Each run ends as it should,
# nothing hangs, and nothing but error.log is ever written. Usage: faults.sh CORVANE
set -u
corvane=$(realpath "$1")
. "$(dirname "$0")/xvfb.sh"
start_xvfb
chmod 755 "$work"

# Runs corvane in a directory, as USER, with a time limit; sets $status.
run_in() {  # run_in DIR USER [env...]
  local dir=$1 user=$2; shift 2
  local as=()
  [ "$user" = root ] || as=(setpriv --reuid="$user" --regid="$user" --clear-groups)
  (cd "$dir" && exec timeout 120 env "$@" "${as[@]}" "$corvane" >"$work/stdout" 2>"$work/stderr")
  status=$?
}
listing() { (cd "$1" && find . -mindepth 1 | sort | tr '\n' ' '); }
box_shown() { [ -n "$(xdotool search --name '^Oops!$' 2>/dev/null)" ]; }

# error.log cannot be created: a directory its user may not write to.
mkdir "$work/readonly" && chmod 555 "$work/readonly"
run_in "$work/readonly" 65534 DISPLAY="$DISPLAY"
check "read-only directory: exit status" "255" "$status"
check "read-only directory: nothing written" "" "$(listing "$work/readonly")"
grep -q "^Error: (core/hardware.cpp, [0-9]*) std::exception$" "$work/stderr" || fail "stderr: $(cat "$work/stderr")"
box_shown && fail "a box without a log"

# error.log is a directory.
mkdir -p "$work/logdir/error.log"
run_in "$work/logdir" root DISPLAY="$DISPLAY"
check "error.log a directory: exit status" "255" "$status"
check "error.log a directory: nothing written" "./error.log" "$(listing "$work/logdir" | xargs)"

# devices.lst is a directory: the open failure, reported.
mkdir -p "$work/dbdir/devices.lst"
run_in "$work/dbdir" root -u DISPLAY
check "devices.lst a directory: exit status" "255" "$status"
check "devices.lst a directory: only error.log written" "./devices.lst ./error.log" "$(listing "$work/dbdir" | xargs)"
grep -q "^Failed to open devices.lst for read accesss  (std::exception)" "$work/dbdir/error.log" ||
  fail "error.log: $(cat "$work/dbdir/error.log")"

# devices.lst of 200 MiB, under the limit: loaded, the window comes, Escape ends it.
mkdir "$work/big"
yes '"0x8086","0x10D3","Intel Corporation","a big devices.lst","82574L Gigabit Network Connection"' |
  head -c 209715200 >"$work/big/devices.lst"
start=$(date +%s.%N)
(cd "$work/big" && exec timeout 300 "$corvane" >"$work/stdout" 2>"$work/stderr") &
pid=$!
window=$(timeout 120 xdotool search --sync --name "^Corvane" 2>/dev/null | head -1)
if [ -z "$window" ]; then fail "200 MiB devices.lst: no window"; else
  pass "200 MiB devices.lst: window after $(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $start }") s"
  xdotool key --window "$window" Escape 2>/dev/null
fi
wait "$pid"
check "200 MiB devices.lst: exit status" "0" "$?"
check "200 MiB devices.lst: nothing written" "./devices.lst" "$(listing "$work/big" | xargs)"
rm -f "$work/big/devices.lst"

# devices.lst of 4 GiB (sparse: no disk space), over the limit of 256 MiB:
# the open failure, reported at once, nothing of it read.
truncate -s 4G "$work/big/devices.lst"
run_in "$work/big" root -u DISPLAY
check "4 GiB devices.lst: exit status" "255" "$status"
grep -q "^Failed to open devices.lst for read accesss  (std::exception)" "$work/big/error.log" ||
  fail "4 GiB devices.lst: error.log: $(cat "$work/big/error.log")"
rm -f "$work/big/devices.lst"

finish
