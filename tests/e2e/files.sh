#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list FILE and corvane FILE, out of process: lspci dumps (this
# machine's own and made ones) against `lspci -F FILE` (names and order),
# the command line's errors, and the window's title.
# Usage: files.sh CORVANE_LIST CORVANE SOURCE_DIR
set -u
list=$(realpath "$1") corvane=$(realpath "$2") source=$(realpath "$3")
. "$(dirname "$0")/xvfb.sh"
cp "$source/tests/data/devices.lst" "$work/"
cd "$work" || exit 1

. "$source/tests/e2e/dumps.sh"
lspci -xxx >own.txt 2>/dev/null
made 4 "" >x.txt
made 16 "0001:" >domain.txt
made 256 "" >xxxx.txt
# Another domain before this machine's devices, and lines lspci -v adds between.
{ made 16 "0002:"; cat own.txt; } | sed 's/^\(....:\)\?\(..:..\..\) .*/&\n\tSubsystem: made/' >mixed.txt

for dump in own.txt x.txt domain.txt xxxx.txt mixed.txt; do
  # What lspci names, as corvane-list shows it: an unknown device as lspci
  # names it, with its vendor ("Intel Corporation Device 0d57") or by both
  # numbers ("Device 1234:5678"); an unknown vendor has no manufacturer.
  expected=$(lspci -F "$dump" -mm | awk -F'"' '{
    unknownVendor = $4 ~ /^Vendor [0-9a-f][0-9a-f][0-9a-f][0-9a-f]$/
    device = $6
    if ($6 ~ /^Device [0-9a-f][0-9a-f][0-9a-f][0-9a-f]$/)
      device = unknownVendor ? "Device " substr($4, 8) ":" substr($6, 8) : $4 " " $6
    vendor = unknownVendor ? "" : $4
    print device " | " $2 " | " vendor }')
  actual=$("$list" "$dump" 2>stderr | awk '/^[^ ]/ {d = $0; n = 0} {n++} n == 3 {c = substr($0, 5)}
    n == 4 {print d " | " c " | " substr($0, 5)}')
  if [ -z "$expected" ]; then fail "$dump: lspci read no device"; continue; fi
  check "$dump: names and order as lspci -F gives them" "$expected" "$actual"
  check "$dump: nothing on standard error" "" "$(cat stderr)"
done
check "made dump: its devices" "5" "$("$list" x.txt | grep -c '^[^ ]')"
# A dump records no drivers: no driver line; each device's location is its address.
check "made dump: no driver lines" "0" "$("$list" domain.txt | grep -c -e '^    Driver: ' -e '^    No driver')"
check "made dump: locations" "0001:00:00.0 0001:00:01.0 0001:00:1f.6 0001:02:00.0 0001:03:00.0" \
  "$("$list" domain.txt | sed -n 's/^    Location: //p' | xargs)"
# --attention: of a dump, the devices the database lacks (8086:10d3 it has); status 0 either way.
attention=$("$list" --attention x.txt | sed -n 's/^    Location: //p' | xargs)
check "made dump: --attention, status" "0" "$?"
check "made dump: --attention, the devices not in the database" "00:00.0 00:01.0 02:00.0 03:00.0" \
  "$(sed 's/0000://g' <<<"$attention")"
{ echo "00:1f.6 Ethernet controller: made"; config 0x8086 0x10d3 0x0200 0 0x8086 0xa01f 0 4; } >known.txt
check "no device needs attention: the line feed, then the verdict, status 0" \
  "
No device needs attention: the device is in the database (the source records no drivers) 0" \
  "$("$list" --attention known.txt) ${PIPESTATUS[0]}"
check "made dump: --attention says why each device is there, then what they come to" \
  "440FX - 82441FX PMC [Natoma] — not in the database|4 of 5 devices are not in the database (the source records no drivers)" \
  "$("$list" --attention x.txt | grep -e '^440FX' -e ' devices are not' | paste -sd'|')"

# Errors on the command line: the fatal-error report names the file.
mkfifo fifo
printf 'Hello\n' >notes.txt
for file in missing.reg fifo notes.txt; do
  rm -f error.log
  timeout 20 "$list" "$file" >stdout 2>stderr </dev/null
  check "$file: exit status" "255" "$?"
  case $file in
    missing.reg) message="Failed to open missing.reg for read accesss (No such file or directory)" ;;
    fifo) message="fifo is not a regular file" ;;
    notes.txt) message="notes.txt is neither a Windows registry export, a registry hive nor an lspci dump" ;;
  esac
  check "$file: standard error" "Error: (core/deviceFile.cpp, N) std::exception: $message" \
    "$(sed 's/, [0-9]*)/, N)/' stderr)"
  check "$file: the line ends, as a terminal's prompt should start its own" "0a" "$(tail -c1 stderr | od -An -tx1 | xargs)"
  grep -Fq "$message (std::exception) (core/deviceFile.cpp: " error.log || fail "$file: error.log: $(cat error.log)"
  check "$file: nothing on standard output" "" "$(cat stdout)"
done
rm -f error.log

# Options are options, not file names: help, version and usage errors end
# before anything is read, and nothing goes to error.log. "--" ends them.
for program in "$list" "$corvane"; do
  name=$(basename "$program")
  files="[FILE]"; [ "$name" = corvane-list ] && files="[FILE]..."
  env -u DISPLAY "$program" --help >stdout 2>stderr
  check "$name --help: status, usage line" "0 Usage: $name [OPTION]... $files" "$? $(head -1 stdout)"
  env -u DISPLAY "$program" -V >stdout 2>stderr
  check "$name -V: status, version" "0 $name (Corvane) 1.5.1" "$? $(cat stdout stderr)"
  for arguments in "--frobnicate" "--help=x" "-" "-- -"; do
    env -u DISPLAY "$program" $arguments >stdout 2>stderr
    check "$name $arguments: status, the way to help" "2 Try '$name --help'." "$? $(tail -1 stderr)"
  done
  check "$name: nothing in error.log" "no" "$([ -e error.log ] && echo yes || echo no)"
done
"$list" -- x.txt >stdout 2>stderr
check "corvane-list -- x.txt: a file after --" "0 5" "$? $(grep -c '^[^ ]' stdout)"

# Malformed lines of an export: skipped, counted on standard error.
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\0]\r\n"DeviceDesc"=";Caf\xe9"\r\n"Mfg"="cut\r\nrubbish\r\n' >broken.reg
"$list" broken.reg >stdout 2>stderr
check "broken.reg: exit status" "0" "$?"
check "broken.reg: the count" "2 malformed lines of broken.reg were skipped." "$(cat stderr)"
check "broken.reg: the device, its text as UTF-8" "Café" "$(sed -n 2p stdout)"

# The window: the file's name in the title.
start_xvfb
cp broken.reg "other machine.reg"
"$corvane" x.txt >stdout 2>stderr &
pid=$!
window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011' - x\.txt\$")
if [ -z "$window" ]; then fail "no window titled with x.txt"; kill "$pid"; else
  pass "the file's name in the title"
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "exit status after Escape" "0" "$?"

finish
