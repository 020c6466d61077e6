#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Memory a file can demand: an export of keys 500 levels deep below a
# device's instance is read in little memory, so is a folder of drivers with
# an INF whose lines each name a string of 4,095 characters (skipped and
# named, the INF beside it read), and running out of memory ends every
# program in the fatal-error report (status 255, its error.log line), never
# in an abort: corvane-list and corvane reading a file of 400,000 devices,
# the window's F5 reading it again, the updater a list of 60 MB, corvane-list
# an INF of 31 MB that makes 93 MB of text (the report names it), each under
# an address-space limit.
# Usage: memory.sh CORVANE_LIST CORVANE CORVANE_UPDATE SOURCE_DIR
set -u
list=$(realpath "$1") corvane=$(realpath "$2") update=$(realpath "$3") source=$(realpath "$4")
. "$(dirname "$0")/xvfb.sh"
cp "$source/tests/data/devices.lst" "$work/"
cd "$work" || exit 1

# 8 MB: the device, then keys 500 levels below its instance, one a line.
device='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\PCI\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\3&1&0&C8' awk 'BEGIN {
  device = ENVIRON["device"]  # as it is: awk -v would take its backslashes for escapes
  printf "Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n\"DeviceDesc\"=\"@net.inf,%%x%%;Deep\"\r\n", device
  for (i = 0; i < 500; i++) deep = deep "\\a"
  for (i = 0; size < 8388608; i++) { line = "[" device "\\" i deep "]\r\n"; printf "%s", line; size += length(line) }
}' >deep.reg
# 400,000 devices: over half a gigabyte to list.
awk 'BEGIN {
  printf "Windows Registry Editor Version 5.00\r\n\r\n"
  for (i = 0; i < 400000; i++)
    printf "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_%04X&DEV_%04X&SUBSYS_00000000&REV_00\\%d]\r\n\"DeviceDesc\"=\"@net.inf,%%x%%;Device %d\"\r\n", int(i / 65536), i % 65536, i, i
}' >many.reg
# 60 MB of comment lines before a list: within what a list may hold.
{ awk 'BEGIN { line = "#"; for (i = 0; i < 1000; i++) line = line "x"; for (i = 0; i < 60000; i++) print line }'
  printf '8086  Intel Corporation\n\t10d3  82574L Gigabit Network Connection\n'; } >big.ids

# Runs a program under an address-space limit of KIB; sets $status.
limited() {  # limited KIB PROGRAM [ARGUMENT...]
  local kib=$1; shift
  rm -f error.log
  (ulimit -v "$kib" && exec timeout -k 5 120 "$@" >stdout 2>stderr </dev/null)
  status=$?
}
# The report of memory run out, raised at the given source file.
reported() {  # reported WHAT SOURCE_FILE
  check "$1: exit status" "255" "$status"
  grep -Eq "^Error: \($2, [0-9]+\) std::exception\$" stderr || fail "$1: standard error: $(head -c 300 stderr)"
  grep -Eq "^std::bad_alloc \(std::exception\) \($2: [0-9]+\) \[[^]]+\]\$" error.log ||
    fail "$1: error.log: $(cat error.log 2>/dev/null)"
}

# Keys below an instance are not kept: 8 MB once took 1 GB and aborted under 600 MB.
limited 614400 "$list" deep.reg
case $status in
  0) check "deep keys: the device listed" "1" "$(grep -c '^ *Deep$' stdout)" ;;
  255) reported "deep keys" "core/flException.h" ;;
  *) fail "deep keys: exit status $status, $(head -c 300 stderr)" ;;
esac

# A hostile INF beside a good one: 1.2 MB of such lines once took 542 MB.
mkdir drivers oom
cp "$source/tests/data/virtio-win-inf/viostor/viostor.inf" drivers/
awk 'BEGIN {
  printf "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\na="
  for (i = 0; i < 4095; i++) printf "x"
  printf "\r\n[Manufacturer]\r\nM=Models,NTamd64\r\n[Models.NTamd64]\r\n"
  for (i = 0; i < 133000; i++) printf "d=i,%%a%%\r\n"
}' >drivers/hostile.inf
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01\\3&1&0&20]\r\n"DeviceDesc"="Block"\r\n' >virtio.reg
limited 307200 "$list" --drivers drivers virtio.reg
check "hostile INF: exit status" "0" "$status"
check "hostile INF: named" \
  "drivers/hostile.inf was skipped: reading it would take more memory than an INF file of its size may." "$(head -1 stderr)"
grep -q 'Red Hat VirtIO SCSI controller, .* viostor.inf$' stdout || fail "hostile INF: the good one's fit: $(head -c 300 stdout)"
# 31 MB of Windows-1252 that is 93 MB of UTF-8: memory runs out while the file is read.
{ printf '[Version]\r\n; '; head -c 31000000 /dev/zero | tr '\0' '\200'; } >oom/big.inf
limited 153600 "$list" --drivers oom virtio.reg
check "INF out of memory: exit status" "255" "$status"
grep -Eq "^Error: \(core/driverFolder.cpp, [0-9]+\) std::exception: Out of memory while reading oom/big.inf\$" stderr ||
  fail "INF out of memory: standard error: $(head -c 300 stderr)"

limited 153600 "$list" many.reg
reported "corvane-list out of memory" "core/flException.h"
check "corvane-list out of memory: nothing printed" "" "$(cat stdout)"
limited 153600 env -u DISPLAY -u WAYLAND_DISPLAY "$corvane" many.reg
reported "corvane out of memory at start" "core/flException.h"
limited 61440 "$update" --input big.ids --output new.lst
reported "corvane-update out of memory" "core/flException.h"
[ -e new.lst ] && fail "corvane-update out of memory: new.lst written"

# F5 reads the file again: the window's rescan, which goes on after other
# failures, ends in the report (its box dismissed) when memory ran out.
start_xvfb
head -4 many.reg >machine.reg
rm -f error.log
# A window on a display reserves some 170 MB.
(ulimit -v 409600 && exec "$corvane" machine.reg >stdout 2>stderr </dev/null) &
pid=$!
window=$(find_window 'machine\.reg$')
if [ -z "$window" ]; then fail "F5 out of memory: no window"; kill "$pid"; else
  cp many.reg machine.reg
  xdotool key --window "$window" F5 2>/dev/null
  box=$(find_window '^Oops!$')
  if [ -z "$box" ]; then fail "F5 out of memory: no box"; kill "$pid"; else
    sleep 0.3
    xdotool key --window "$box" Return 2>/dev/null
  fi
fi
timeout 30 tail --pid="$pid" -f /dev/null
kill -0 "$pid" 2>/dev/null && { fail "F5 out of memory: the window went on"; kill "$pid"; }
wait "$pid"
status=$?
reported "F5 out of memory" "flGUI/flMainForm.cpp"

finish
