#!/usr/bin/env bash
# The real program under Xvfb: its window, Escape, and the fatal-error report.
# Usage: window.sh CORVANE SOURCE_DIR [SCREENSHOT.png]
set -u
corvane=$(realpath "$1") source=$(realpath "$2") screenshot=${3:-}
. "$(dirname "$0")/xvfb.sh"
start_xvfb

# A normal run: the window, then Escape.
mkdir "$work/ok" && cp "$source/tests/data/devices.lst" "$work/ok/"
(cd "$work/ok" && exec "$corvane" >stdout 2>stderr) &
pid=$!
title="Corvane 1.5.1 Release 12/17/2011'"
window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011'\$")
if [ -z "$window" ]; then
  fail "no window titled $title"
  kill "$pid" 2>/dev/null
else
  check "window title" "$title" "$(xdotool getwindowname "$window")"
  info=$(xwininfo -id "$window")
  check "window width" "800" "$(sed -n 's/^ *Width: //p' <<<"$info")"
  check "window height" "600" "$(sed -n 's/^ *Height: //p' <<<"$info")"
  hints=$(xprop -id "$window" WM_NORMAL_HINTS)
  grep -q "program specified minimum size: 800 by 600" <<<"$hints" || fail "minimum size: $hints"
  grep -q "program specified maximum size: 800 by 600" <<<"$hints" || fail "maximum size: $hints"
  if [ -n "$screenshot" ]; then sleep 0.5; import -window root "$screenshot"; fi
  xdotool key --window "$window" Escape 2>/dev/null  # the window may be gone before the key is let go
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status after Escape" "0" "$?"
check "standard output" "0a" "$(od -An -tx1 "$work/ok/stdout" | tr -d ' \n')"
[ -e "$work/ok/error.log" ] && fail "error.log written by a normal run"

# Without devices.lst: no window, the box, error.log, status 255.
mkdir "$work/missing"
(cd "$work/missing" && exec "$corvane" >stdout 2>stderr) &
pid=$!
box=$(find_window '^Oops!$')
if [ -z "$box" ]; then
  fail "no Oops! box"
  kill "$pid" 2>/dev/null
else
  [ -n "$(xdotool search --name '^Corvane' 2>/dev/null)" ] && fail "a main window was shown"
  xdotool key --window "$box" Return 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status of the fatal-error report" "255" "$?"
check "error.log lines" "1" "$(wc -l <"$work/missing/error.log" 2>/dev/null)"
grep -Eq "^Failed to open devices\.lst for read accesss  \(std::exception\) \(flGUI/hardware\.cpp: [0-9]+\) \[.+\]\$" \
  "$work/missing/error.log" || fail "error.log line: $(cat "$work/missing/error.log")"
stderr=$(cat "$work/missing/stderr")
[[ "$stderr" =~ ^Error:\ \(flGUI/hardware\.cpp,\ [0-9]+\)\ std::exception$ ]] || fail "stderr line: [$stderr]"
check "no line end after the stderr line" "" "$(tail -c1 "$work/missing/stderr" | tr -d -c '\n')"
check "nothing on standard output" "" "$(cat "$work/missing/stdout")"

finish
