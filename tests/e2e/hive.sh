#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list FILE and corvane FILE with registry hives, out of process: the
# fixture machine as a .reg export and as a SYSTEM hive prints the same
# lines; a hive Windows did not close cleanly is read with its notice; a
# damaged one, a FIFO and a device are errors naming the file.
# Usage: hive.sh CORVANE_LIST CORVANE SOURCE_DIR
set -u
list=$(realpath "$1") corvane=$(realpath "$2") source=$(realpath "$3")
. "$(dirname "$0")/xvfb.sh"
cp "$source/tests/data/devices.lst" "$work/"
cd "$work" || exit 1

# The fixture as Windows exports a SYSTEM hive, that hive, and one of a named
# machine that Windows did not close cleanly (tests/support/hive-fixtures.sh).
bash "$source/tests/support/hive-fixtures.sh" "$source" || fail "hive-fixtures.sh"

"$list" system.reg >reg.out 2>reg.err
"$list" SYSTEM >hive.out 2>hive.err
check "hive: exit status" "0" "$?"
check "hive: the devices of the .reg export" "36" "$(grep -c '^[^ ]' reg.out)"
check "hive: Select\\Current's control set, not the first" "0" "$(grep -c 'an older control set' hive.out)"
check "hive: the same lines as the .reg export" "$(cat reg.out)" "$(cat hive.out)"
check "hive: nothing on standard error" "" "$(cat reg.err hive.err)"
check "hive: --attention, the same lines" "$("$list" --attention system.reg)" "$("$list" --attention SYSTEM)"
"$list" --json system.reg >reg.json 2>/dev/null
if [ $? -eq 2 ]; then
  echo "skipped: the same JSON (corvane-list has no --json here)"
else
  "$list" --json SYSTEM >hive.json
  its_file='s/^  "source": .*/  "source": the file,/'  # each names its own file
  check "hive: the same JSON as the .reg export" "$(sed "$its_file" reg.json)" "$(sed "$its_file" hive.json)"
fi

# Not closed cleanly: read all the same, told on standard error. Its machine
# has a name, which the window's title shows.
"$list" dirty >stdout 2>stderr
check "dirty hive: exit status" "0" "$?"
check "dirty hive: the same lines" "$(cat hive.out)" "$(cat stdout)"
check "dirty hive: the notice" "dirty was not closed cleanly by Windows:
the devices shown may be older than the machine's last state.
The changes its transaction logs (.LOG1, .LOG2) hold are not read." "$(cat stderr)"
check "dirty hive: its machine's name" '  "machine": "DESKTOP-1234",' "$("$list" --json dirty 2>/dev/null | grep '^  "machine"')"

# Errors: the fatal-error report names the file.
head -c 30000 SYSTEM >cut
mkfifo fifo
for file in cut fifo /dev/zero; do
  rm -f error.log
  timeout 20 "$list" "$file" >stdout 2>stderr </dev/null
  check "$file: exit status" "255" "$?"
  case $file in
    cut) message="Failed to read cut as a registry hive: it is cut short: its header announces $(stat -c %s SYSTEM) \
bytes, the file holds 30000" ;;
    *) message="$file is not a regular file" ;;
  esac
  check "$file: standard error" "Error: (core/deviceFile.cpp, N) std::exception: $message" \
    "$(sed 's/, [0-9]*)/, N)/' stderr)"
  grep -Fq "$message (std::exception) (core/deviceFile.cpp: " error.log || fail "$file: error.log: $(cat error.log)"
  check "$file: nothing on standard output" "" "$(cat stdout)"
done
rm -f error.log

# The window: the hive's name and its machine's in the title, and the notice
# of a dirty one in the toolkit's notice box, not in the error box.
start_xvfb
"$corvane" dirty >stdout 2>stderr &
pid=$!
box=$(find_window '^Corvane$')
if [ -z "$box" ]; then fail "no notice box for the dirty hive"; else
  pass "the dirty hive's notice in the notice box"
  [ -n "$(xdotool search --name '^Oops!$' 2>/dev/null)" ] && fail "an Oops! box for a notice"
  sleep 0.3
  xdotool key --window "$box" Return 2>/dev/null
fi
window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011' - dirty \(DESKTOP-1234\)\$")
if [ -z "$window" ]; then fail "no window titled with the hive and its machine"; kill "$pid"; else
  pass "the hive's name and its machine's in the title"
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status after Escape" "0" "$?"

finish
