#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane.exe under Wine on a private Xvfb, as a user starts it: its window
# (seen by the system through window_probe.exe, and on X), Escape, and the
# fatal-error report with the system's message box.
# Usage: window.sh CORVANE_EXE WINDOW_PROBE_EXE SOURCE_DIR DEVICES_LST MAINTAINER_EMAIL [SCREENSHOT.png]
# Wine programs write to files here: a pipe would be inherited by Wine's
# background processes and never close.
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
corvane=$(realpath "$1") probe=$(realpath "$2") source=$(realpath "$3") database=$(realpath "$4")
email=$5 screenshot=${6:-}
. "$source/tests/e2e/xvfb.sh"
. "$source/tests/windows/wine-display.sh"
start_wine_display

# A normal run with the full database: the window, then Escape.
title="Corvane 1.5.1 Release 12/17/2011'"
mkdir "$work/ok" && cp "$database" "$work/ok/devices.lst"
(cd "$work/ok" && exec "$run" "$corvane" >stdout 2>stderr </dev/null) &
pid=$!
probe "$title" "$work/window.txt"
check "client area" "client 800x600" "$(grep '^client' "$work/window.txt")"
check "frame" "resizable no" "$(grep '^resizable' "$work/window.txt")"
check "client area after an attempt to resize" "resized 800x600" "$(grep '^resized' "$work/window.txt")"
window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011'\$")
if [ -z "$window" ]; then fail "no X window titled $title"; kill "$pid" 2>/dev/null; else
  check "title on X" "$title" "$(xdotool getwindowname "$window")"
  # Wine shows the window's icons on X: both sizes of resource 101 (its
  # default icon has one size). Other processes cannot ask Wine for them.
  check "icon sizes on X" "Icon (32 x 32): Icon (16 x 16):" \
    "$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*):' | xargs)"
  if [ -n "$screenshot" ]; then
    # Open the device on the 15th line (of 18 pixels each), the PCI bridge
    # whose texts are Russian, and both its groups: click it, then Enter on
    # it, on "Database" and on "Windows", whose lines come between.
    xdotool mousemove --window "$window" 100 $((30 + 14 * 18)) click 1
    for key in Return Down Down Return Up Return; do xdotool key --window "$window" $key; sleep 0.2; done
    sleep 0.5
    geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
      /Width:/ {w = $NF} /Height:/ {h = $NF} END {print w "x" h "+" x "+" y}')
    import -window root -crop "$geometry" +repage "$screenshot"
  fi
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status after Escape" "0" "$?"
check "standard output" "0d0a" "$(od -An -tx1 "$work/ok/stdout" | tr -d ' \n')"
check "files in the working directory" "devices.lst stderr stdout" "$(ls "$work/ok" | xargs)"
cmp -s "$database" "$work/ok/devices.lst" || fail "devices.lst changed"

# Another machine's export, given on the command line: its name in the
# title, and a line with text outside ASCII copied with Ctrl+C onto the
# Windows clipboard, then its whole device with Ctrl+Shift+C; its report saved
# with Ctrl+S.
mkdir "$work/file" && cp "$database" "$work/file/devices.lst"
printf '\xff\xfe' >"$work/file/other machine.reg"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\0]\r\n"Class"="Net"\r\n"Mfg"="Intel"\r\n"DeviceDesc"=";Ünïcødé € Ω device"\r\n' |
  iconv -f UTF-8 -t UTF-16LE >>"$work/file/other machine.reg"
(cd "$work/file" && SOURCE_DATE_EPOCH=1765216140 exec "$run" "$corvane" "other machine.reg" >stdout 2>stderr </dev/null) &
pid=$!
window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011' - other machine\.reg\$")
if [ -z "$window" ]; then fail "no window titled with the file's name: $(cat "$work/file/stderr")"; kill "$pid" 2>/dev/null; else
  pass "the file's name in the title"
  xdotool key --window "$window" Down ctrl+c; sleep 0.5
  "$run" "$probe" --clipboard >"$work/clipboard" 2>/dev/null </dev/null
  check "Ctrl+C on the Windows clipboard" "Ünïcødé € Ω device" "$(cat "$work/clipboard")"
  xdotool key --window "$window" ctrl+shift+c; sleep 0.5
  "$run" "$probe" --clipboard >"$work/clipboard" 2>/dev/null </dev/null
  check "Ctrl+Shift+C on the Windows clipboard" \
    "Ünïcødé € Ω device|  Windows|    Net|    Intel|    No driver|  Database|    0x8086|    0x10D3|    Intel Corporation|    82574L Gigabit Network Connection" \
    "$(tr -d '\r' <"$work/clipboard" | head -10 | paste -sd'|')"
  # Ctrl+S: the system's save dialog proposes a name after the file, in the
  # user's Documents; saved as proposed, the report is corvane-list.exe's,
  # byte for byte.
  saved="$CORVANE_WINE_DIR/prefix/drive_c/users/$(id -un)/Documents/corvane-other_machine.reg.html"
  rm -f "$saved"
  xdotool key --window "$window" ctrl+s
  if [ -z "$(timeout 20 xdotool search --sync --name '^Save report$' 2>/dev/null | head -1)" ]; then
    fail "Ctrl+S: no save dialog"
  else
    sleep 0.5; xdotool key Return
    for _ in $(seq 100); do [ -s "$saved" ] && break; sleep 0.1; done
    (cd "$work/file" && SOURCE_DATE_EPOCH=1765216140 "$run" "$(dirname "$corvane")/corvane-list.exe" --html \
      "other machine.reg" >listed.html 2>/dev/null </dev/null)
    cmp -s "$work/file/listed.html" "$saved" &&
      pass "Ctrl+S: the report saved as proposed is corvane-list.exe's" ||
      fail "Ctrl+S: the saved report: $(ls "$(dirname "$saved")" | xargs)"
  fi
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status after Escape, with a file" "0" "$?"

# A hive on the command line: the notice that Windows did not close it cleanly
# in the toolkit's box (not the "Oops!" one), then its name and its machine's
# in the title. Ctrl+O offers hives among the file types, and opens one.
mkdir "$work/hive" && cp "$database" "$work/hive/devices.lst"
(cd "$work/hive" && bash "$source/tests/support/hive-fixtures.sh" "$source" >fixtures.log 2>&1) ||
  fail "hive-fixtures.sh: $(cat "$work/hive/fixtures.log")"
(cd "$work/hive" && exec "$run" "$corvane" dirty >stdout 2>stderr </dev/null) &
pid=$!
box=$(find_window '^Corvane$')
if [ -z "$box" ]; then fail "no notice box for the dirty hive: $(cat "$work/hive/stderr")"; else
  pass "the dirty hive's notice in the notice box"
  [ -n "$(xdotool search --name '^Oops!$' 2>/dev/null)" ] && fail "an Oops! box for a notice"
  sleep 0.5
  xdotool key --window "$box" Return 2>/dev/null
fi
window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011' - dirty \(DESKTOP-1234\)\$")
if [ -z "$window" ]; then fail "no window titled with the hive and its machine"; kill "$pid" 2>/dev/null; else
  pass "the hive's name and its machine's in the title"
  xdotool key --window "$window" ctrl+o
  probe "Open another machine's devices" "$work/open.txt"
  grep -qx "choice Registry hives (SYSTEM)" "$work/open.txt" && pass "Ctrl+O offers hives" ||
    fail "Ctrl+O: no choice of hives: $(grep '^choice' "$work/open.txt" | paste -sd'|')"
  dialog=$(find_window "^Open another machine's devices\$")
  if [ -n "$screenshot" ] && [ -n "$dialog" ]; then
    xdotool mousemove --window "$dialog" 300 250; sleep 0.5
    import -window root -crop "$(xwininfo -id "$dialog" | awk '/Absolute upper-left X/ {x = $NF}
      /Absolute upper-left Y/ {y = $NF} /Width:/ {w = $NF} /Height:/ {h = $NF} END {print w "x" h "+" x "+" y}')" \
      +repage "${screenshot%.png}-open.png"
  fi
  xdotool type --delay 50 SYSTEM; xdotool key Return
  opened=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011' - SYSTEM\$")
  [ -n "$opened" ] && pass "Ctrl+O opens a hive" || fail "Ctrl+O: no window titled with the hive SYSTEM"
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status after Escape, with a hive" "0" "$?"
# Wine's file dialog says on standard error which drives it cannot look into.
check "with a hive, nothing on standard error" "" "$(grep -v '^wine: ' "$work/hive/stderr")"

# Without devices.lst: the "Oops!" box (MessageBoxA), error.log, status 255.
mkdir "$work/missing"
(cd "$work/missing" && exec "$run" "$corvane" >stdout 2>stderr </dev/null) &
pid=$!
probe "Oops!" "$work/box.txt"
check "box is the system's message box" "class #32770" "$(grep '^class' "$work/box.txt")"
check "box text" "text A bug log has been generated as 'error.log'.\\nTry running the updater utility.\\nIf the errors persist please forward 'error.log' along with 'devices.lst' to $email." \
  "$(grep '^text' "$work/box.txt")"
box=$(find_window '^Oops!$')
if [ -z "$box" ]; then fail "no X window titled Oops!"; kill "$pid" 2>/dev/null; else
  check "box title on X" "WM_NAME(STRING) = \"Oops!\"" "$(xprop -id "$box" WM_NAME)"
  [ -n "$(xdotool search --name '^Corvane' 2>/dev/null)" ] && fail "a main window was shown"
  sleep 0.5
  xdotool key --window "$box" Return 2>/dev/null
fi
timeout 30 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status of the fatal-error report" "255" "$?"
check "error.log lines" "1" "$(wc -l <"$work/missing/error.log" 2>/dev/null)"
grep -Eq "$missing_database_log"$'\r'"\$" \
  "$work/missing/error.log" || fail "error.log line: $(cat -A "$work/missing/error.log")"
stderr=$(cat "$work/missing/stderr")
[[ "$stderr" =~ $missing_database_stderr ]] || fail "stderr line: [$stderr]"
check "nothing on standard output" "" "$(cat "$work/missing/stdout")"

finish
