#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Every PCI function its own device, out of process: one table of sources
# (exports of identical cards, in either order of their instances; lspci
# dumps of identical cards and of a card of four functions; real machines'
# dumps, against `lspci -F`) and what corvane-list lists of each: how many
# devices, which need attention, and what tells them apart.
# Usage: functions.sh CORVANE_LIST SOURCE_DIR
set -u
list=$(realpath "$1") source=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"
. "$source/tests/e2e/dumps.sh"
cp "$source/tests/data/devices.lst" "$work/"
cd "$work" || exit 1

# Two identical network cards; the second's install failed (ConfigFlags 0x40).
card() {  # card INSTANCE [CONFIG_FLAGS]
  printf '[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\%s]\r\n' "$1"
  printf '"DeviceDesc"="@net.inf,%%e1000e%%;Intel(R) 82574L Gigabit Network Connection"\r\n"Class"="Net"\r\n'
  printf '"Mfg"="Intel"\r\n"Service"="e1000e"\r\n"LocationInformation"="PCI bus %s, device 0, function 0"\r\n' "${1: -1}"
  [ -n "${2:-}" ] && printf '"ConfigFlags"=dword:%08x\r\n' "$2"
  printf '\r\n'
}
{ printf 'Windows Registry Editor Version 5.00\r\n\r\n'; card '4&2&0&2'; card '4&3&0&3' 64; } >two-cards.reg
{ printf 'Windows Registry Editor Version 5.00\r\n\r\n'; card '4&3&0&3' 64; card '4&2&0&2'; } >two-cards-reversed.reg
nic() { config 0x8086 0x10d3 0x0200 0 0x8086 0xa01f "${1:-0}" 16; }
{ echo "02:00.0 x"; nic; echo; echo "03:00.0 x"; nic; echo; } >two-cards.txt
{ for f in 0 1 2 3; do echo "02:00.$f x"; nic 0x80; echo; done; } >four-port.txt

# What corvane-list lists of a file: devices, the identities of those that need
# attention, and whether every device's line tells it from the others.
listed() {  # listed FILE
  "$list" --json "$1" 2>/dev/null | python3 -c '
import json, sys
devices = json.load(sys.stdin)["devices"]
print(len(devices))
print(" ".join(d["instance_id"] or d["address"] for d in devices if d["attention"]))'
  "$list" --attention "$1" 2>/dev/null | grep -c '^[^ ].* — '
  "$list" "$1" 2>/dev/null | grep '^[^ ]' | sort | uniq -d | wc -l
}
# FILE | devices | attention (instance ID or address) | lines of --attention | labels shared
while IFS='|' read -r file count attention attentionLines shared; do
  expected=$(printf '%s\n%s\n%s\n%s' "$count" "$attention" "$attentionLines" "$shared")
  check "$file: devices, attention, names apart" "$expected" "$(listed "$file")"
done <<'TABLE'
two-cards.reg|2|PCI\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\4&3&0&3|1|0
two-cards-reversed.reg|2|PCI\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\4&3&0&3|1|0
two-cards.txt|2||0|0
four-port.txt|4||0|0
TABLE
check "two cards: each told apart by its location" \
  "Intel(R) 82574L Gigabit Network Connection (PCI bus 2, device 0, function 0)
Intel(R) 82574L Gigabit Network Connection (PCI bus 3, device 0, function 0)" "$("$list" two-cards.reg | grep '^[^ ]')"

# Real machines' dumps: as many devices as lspci reads, at the addresses it reads.
tar xJf "$source/tests/data/lspci-dumps.tar.xz"
for dump in tests/*; do
  expected=$(lspci -F "$dump" -D | cut -d' ' -f1 | sort | xargs)
  actual=$("$list" --json "$dump" 2>/dev/null | python3 -c '
import json, sys
print(" ".join(sorted(d["address"] for d in json.load(sys.stdin)["devices"])))')
  check "$(basename "$dump"): the functions lspci reads" "$expected" "$actual"
done
[ "$failures" -eq 0 ]
