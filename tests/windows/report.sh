#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list.exe under Wine: the fatal-error report without and with a
# display (never a box: it is a command-line program), and the device listing, as UTF-8 under the Western and the Russian
# code page. Usage: report.sh CORVANE_LIST_EXE SOURCE_DIR
# Wine programs write to files here: a pipe would be inherited by Wine's
# background processes and never close.
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
: "${CORVANE_LOCALE_DIR:?set it to a directory holding the ru_RU.UTF-8 locale}"
program=$(realpath "$1") source=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"
. "$source/tests/windows/wine-display.sh"

# No display: the box is skipped, the rest of the report happens.
mkdir "$work/plain"
(cd "$work/plain" && env -u DISPLAY "$run" "$program" >stdout 2>stderr </dev/null)
check "exit status without devices.lst" "255" "$?"
check "error.log lines" "1" "$(wc -l <"$work/plain/error.log" 2>/dev/null)"
grep -Eq "$missing_database_log"$'\r'"?\$" \
  "$work/plain/error.log" || fail "error.log line: $(cat -A "$work/plain/error.log")"
stderr=$(cat "$work/plain/stderr")
[[ "$stderr" =~ $missing_database_stderr ]] || fail "stderr line: [$stderr]"

# A second failure appends.
(cd "$work/plain" && env -u DISPLAY "$run" "$program" >stdout 2>stderr </dev/null)
check "error.log lines after a second failure" "2" "$(wc -l <"$work/plain/error.log")"

# With a display too: a command-line program shows no box; the report ends
# the program at once.
start_wine_display
mkdir "$work/box"
(cd "$work/box" && exec timeout 60 "$run" "$program" >stdout 2>stderr </dev/null)
check "exit status with a display" "255" "$?"
[ -n "$(xdotool search --name '^Oops!$' 2>/dev/null)" ] && fail "an Oops! box was shown"
check "error.log lines with a display" "1" "$(wc -l <"$work/box/error.log" 2>/dev/null)"

# With devices.lst: the devices of Wine's registry, as the window would show them.
mkdir "$work/list" && cp "$source/tests/data/devices.lst" "$work/list/"
(cd "$work/list" && env -u DISPLAY "$run" "$program" >stdout 2>stderr </dev/null)
check "exit status with devices.lst" "0" "$?"
grep -q "Intel(R) 82574L Gigabit Network Connection" "$work/list/stdout" || fail "listing: $(cat "$work/list/stdout")"
grep -q "82574L Gigabit Network Connection"$'\r'"\?$" "$work/list/stdout" || fail "database text in the listing"
[ -e "$work/list/error.log" ] && fail "error.log written by a normal run"

# Text outside ASCII comes out as UTF-8 under the code page that holds it:
# Western by default, Russian (1251) with LOCPATH holding that locale.
grep -q "Intel® Ethernet Connection (7) I219-V" "$work/list/stdout" || fail "text of code page 1252 as UTF-8"
(cd "$work/list" && env -u DISPLAY LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 LOCPATH="$CORVANE_LOCALE_DIR" \
  "$run" "$program" >stdout 2>stderr </dev/null)
check "exit status under a Russian locale" "0" "$?"
grep -q "^Мост PCI-PCI"$'\r'"\?$" "$work/list/stdout" || fail "text of code page 1251 as UTF-8"
grep -q "Intel® Ethernet Connection (7) I219-V" "$work/list/stdout" || fail "® under code page 1251"

finish
