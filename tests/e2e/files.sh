#!/usr/bin/env bash
# corvane-list FILE and corvane FILE, out of process: lspci dumps (this
# machine's own and made ones) against `lspci -F FILE` (names and order),
# the command line's errors, and the window's title.
# Usage: files.sh CORVANE_LIST CORVANE SOURCE_DIR
set -u
list=$(realpath "$1") corvane=$(realpath "$2") source=$(realpath "$3")
. "$(dirname "$0")/xvfb.sh"
cp "$source/tests/data/devices.lst" "$work/"
cd "$work" || exit 1

# config VENDOR DEVICE CLASS REVISION SUBSYSTEM_VENDOR SUBSYSTEM HEADER_TYPE LINES: a
# function's configuration space as lspci -x (4 lines), -xxx (16) or -xxxx (256) prints it.
config() {
  awk -v v=$1 -v d=$2 -v c=$3 -v r=$4 -v sv=$5 -v sd=$6 -v h=$7 -v lines=$8 'BEGIN {
    for (i = 0; i < 4096; i++) b[i] = 0
    b[0] = v % 256; b[1] = int(v / 256); b[2] = d % 256; b[3] = int(d / 256)
    b[8] = r; b[9] = 0; b[10] = c % 256; b[11] = int(c / 256); b[14] = h
    off = h == 1 ? 0 : 44  # bridges keep no subsystem at 0x2c
    if (h != 1) { b[44] = sv % 256; b[45] = int(sv / 256); b[46] = sd % 256; b[47] = int(sd / 256) }
    for (l = 0; l < lines; l++) {
      line = sprintf("%02x:", l * 16)
      for (i = 0; i < 16; i++) line = line sprintf(" %02x", b[l * 16 + i])
      print line
    }
  }'
}
made() {  # made LINES DOMAIN-PREFIX: five functions, not in address order
  local lines=$1 domain=$2
  echo "${domain}00:1f.6 Ethernet controller: made"; config 0x8086 0x10d3 0x0200 0 0x8086 0xa01f 0 "$lines"; echo
  echo "${domain}00:00.0 Host bridge: made"; config 0x8086 0x1237 0x0600 2 0 0 0 "$lines"; echo
  echo "${domain}00:01.0 PCI bridge: made"; config 0x8086 0x244e 0x0604 0xd0 0 0 1 "$lines"; echo
  echo "${domain}03:00.0 Non-Volatile memory controller: made"; config 0x1e4b 0x1fff 0x0108 1 0x1e4b 0x1fff 0 "$lines"; echo
  echo "${domain}02:00.0 Serial bus controller: made"; config 0xabcd 0x1234 0x0c80 0 0 0 0 "$lines"; echo
}
lspci -xxx >own.txt 2>/dev/null
made 4 "" >x.txt
made 16 "0001:" >domain.txt
made 256 "" >xxxx.txt
# Another domain before this machine's devices, and lines lspci -v adds between.
{ made 16 "0002:"; cat own.txt; } | sed 's/^\(....:\)\?\(..:..\..\) .*/&\n\tSubsystem: made/' >mixed.txt

for dump in own.txt x.txt domain.txt xxxx.txt mixed.txt; do
  # What lspci names, as corvane-list shows it: an unknown device has no
  # description, an unknown vendor no manufacturer.
  expected=$(lspci -F "$dump" -mm | awk -F'"' '{
    device = $6 ~ /^Device [0-9a-f][0-9a-f][0-9a-f][0-9a-f]$/ ? "unknown value" : $6
    vendor = $4 ~ /^Vendor [0-9a-f][0-9a-f][0-9a-f][0-9a-f]$/ ? "" : $4
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
check "no device needs attention: nothing but the line feed, status 0" "0a 0" \
  "$("$list" --attention known.txt | od -An -tx1 | xargs) ${PIPESTATUS[0]}"

# Errors on the command line: the fatal-error report names the file.
mkfifo fifo
printf 'Hello\n' >notes.txt
for file in missing.reg fifo notes.txt; do
  rm -f error.log
  timeout 20 "$list" "$file" >stdout 2>stderr </dev/null
  check "$file: exit status" "255" "$?"
  case $file in
    missing.reg) message="Failed to open missing.reg for read accesss " ;;
    fifo) message="fifo is not a regular file" ;;
    notes.txt) message="notes.txt is neither a Windows registry export, a registry hive nor an lspci dump" ;;
  esac
  check "$file: standard error" "Error: (core/deviceFile.cpp, N) std::exception: $message" \
    "$(sed 's/, [0-9]*)/, N)/' stderr)"
  grep -Fq "$message (std::exception) (core/deviceFile.cpp: " error.log || fail "$file: error.log: $(cat error.log)"
  check "$file: nothing on standard output" "" "$(cat stdout)"
done
rm -f error.log
"$list" a b >stdout 2>stderr
check "two files: usage, status 2" "2 usage: corvane-list [--attention] [FILE]" "$? $(cat stderr)"

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
