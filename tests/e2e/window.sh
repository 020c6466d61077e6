#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
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

# Without devices.lst: no window, the box, error.log, status 255. Xvfb here
# resets when its last client leaves: the program is started while no other
# client is connected, many times, so that a display connection it dropped
# and opened again would be caught.
for run in $(seq "${CORVANE_BOX_RUNS:-10}"); do
  mkdir "$work/missing$run"
  (cd "$work/missing$run" && exec "$corvane" >stdout 2>stderr) &
  pid=$!
  sleep 0.3
  box=$(find_window '^Oops!$')
  if [ -z "$box" ]; then
    fail "run $run: no Oops! box"
    kill "$pid" 2>/dev/null
  else
    [ -n "$(xdotool search --name '^Corvane' 2>/dev/null)" ] && fail "run $run: a main window was shown"
    xdotool key --window "$box" Return 2>/dev/null
  fi
  timeout 20 tail --pid="$pid" -f /dev/null
  wait "$pid"
  check "run $run: exit status of the fatal-error report" "255" "$?"
  check "run $run: error.log lines" "1" "$(wc -l <"$work/missing$run/error.log" 2>/dev/null)"
  grep -Eq "$missing_database_log\$" \
    "$work/missing$run/error.log" || fail "run $run: error.log line: $(cat "$work/missing$run/error.log")"
  stderr=$(cat "$work/missing$run/stderr")
  [[ "$stderr" =~ $missing_database_stderr ]] || fail "run $run: stderr line: [$stderr]"
  check "run $run: no line end after the stderr line" "" "$(tail -c1 "$work/missing$run/stderr" | tr -d -c '\n')"
  check "run $run: nothing on standard output" "" "$(cat "$work/missing$run/stdout")"
done

# In use: "Copy all devices" from the menu gives what corvane-list prints;
# F5 rescans quietly; F5 without devices.lst keeps the window, reports the
# failure in error.log and the box, and the program still ends with 0.
mkdir "$work/use" && cp "$source/tests/data/devices.lst" "$work/use/"
(cd "$work/use" && exec "$(dirname "$corvane")/corvane-list" >list)
(cd "$work/use" && exec "$corvane" >stdout 2>stderr) &
pid=$!
window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011'\$")
if [ -z "$window" ]; then
  fail "no window to use"
  kill "$pid" 2>/dev/null
else
  xdotool windowfocus "$window"
  # The first device line: the tree's top, below the label and the box.
  # The menu's fourth entry, once the menu shows.
  sh "$source/tests/support/in-menu.sh" "mousemove --window $window 60 49 click 3" "Down Down Down Down Return"
  check "Copy all devices is corvane-list's listing" "$(tail -n +2 "$work/use/list" | od -An -tx1)" \
    "$(timeout 10 xclip -o -selection clipboard | od -An -tx1)"
  xdotool key F5
  sleep 0.5
  rm "$work/use/devices.lst"
  xdotool key F5
  box=$(find_window '^Oops!$')
  if [ -z "$box" ]; then fail "no Oops! box after F5 without devices.lst"; else
    sleep 0.3
    xdotool key --window "$box" Return 2>/dev/null
  fi
  sleep 0.5
  [ -n "$(xdotool search --name '^Oops!$' 2>/dev/null)" ] && fail "the box is still there"
  [ -n "$(xdotool search --name '^Corvane' 2>/dev/null)" ] || fail "the window went with the failed F5"
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status after F5 failed" "0" "$?"
check "standard output: the start-up's line feed alone" "0a" "$(od -An -tx1 "$work/use/stdout" | tr -d ' \n')"
check "error.log lines after the failed F5" "1" "$(wc -l <"$work/use/error.log" 2>/dev/null)"
grep -Eq "$missing_database_log\$" \
  "$work/use/error.log" || fail "error.log line after F5: $(cat "$work/use/error.log")"
grep -Eq "$missing_database_stderr" "$work/use/stderr" ||
  fail "stderr after F5: [$(cat "$work/use/stderr")]"

finish
