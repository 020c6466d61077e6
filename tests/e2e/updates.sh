#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The installed drivers of a Windows 11 virtual machine (tests/data/virtio-vm.reg.txt)
# against the virtio drivers' folder (tests/data/virtio-win-inf, each INF with
# its catalog beside it), out of process: an export of HKLM\SYSTEM and the
# SYSTEM hive made of it list the same; --updates lists exactly the devices
# with older drivers, or another's driver that matched a compatible ID, with
# the installed version beside the better one; the newer one installed is the
# best there is; the rank Windows recorded is the rank; JSON, CSV and the
# report say the same; an export of Enum\PCI alone says once that it keeps no
# installed drivers, and one with the driver keys after the devices is read
# as the other.
# Usage: updates.sh CORVANE_LIST SOURCE_DIR
set -u
list=$(realpath "$1") source=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"
cd "$work" || exit 1
. "$source/tests/e2e/virtio-vm.sh"

"$list" --updates --drivers drivers system.reg >updates.out 2>updates.err
check "--updates: exit status" "0" "$?"
check "--updates: nothing on standard error" "" "$(cat updates.err)"
check "--updates: the devices, installed and better side by side" \
"Red Hat VirtIO Ethernet Adapter — installed 100.94.104.24000 (2023-08-31), better 100.101.26000.27200 (2026-07-22)
Red Hat VirtIO SCSI controller — installed 100.90.104.22100 (2022-05-21), better 100.101.26000.27200 (2026-07-22)
VirtIO Serial Driver — installed 100.90.104.22100 (2022-05-21), better 100.101.26000.27200 (2026-07-22)
Contoso Random Number Source — installed 2.0.0.0 (2027-06-01), better 100.101.26000.27200 (2026-07-22)
4 of 6 devices would get a better driver from the folder; 2 have the best there is" "$(grep -v '^ ' updates.out | sed '/^$/d')"
check "--updates: another provider's, newer, on a compatible ID: a better match" "1" \
  "$(grep -c 'Best: VirtIO RNG Device, .*, signed, better match than installed — ' updates.out)"
check "--updates: the rank Windows recorded" "1" "$(grep -c 'Rank 00ff0000, recorded by Windows' updates.out)"

"$list" --drivers drivers system.reg >reg.out 2>&1
"$list" --drivers drivers SYSTEM >hive.out 2>&1
check "hive: the same lines as the export" "$(cat reg.out)" "$(cat hive.out)"
check "the newer one installed: the best there is" "    The installed driver is the best there is
    Best: VirtIO Balloon Driver, 100.101.26000.27200, 2026-07-22, signed — Balloon/sys/balloon.inf" \
  "$(grep -A1 'best there is' reg.out | grep -B1 Balloon)"
check "the installed driver under Windows" "    Installed driver: Red Hat VirtIO Ethernet Adapter, 100.94.104.24000, 2023-08-31
      Provider: Red Hat, Inc.
      INF: oem3.inf, section kvmnet6.ndi
      Matched: PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01" "$(grep -A3 'Installed driver: Red Hat VirtIO Eth' reg.out)"

# The driver keys after the devices (a file of two exports joined): the same.
awk '/^\[/ { enum = index($0, "\\Enum\\") > 0 } NR > 2 && enum' system.reg >devices.part
awk '/^\[/ { enum = index($0, "\\Enum\\") > 0 } NR > 2 && !enum && !/^;/' system.reg >classes.part
{ head -2 system.reg; cat devices.part; echo; cat classes.part; } >late.reg
"$list" --drivers drivers late.reg >late.out 2>&1
check "driver keys after the devices: the same lines" "$(cat reg.out)" "$(cat late.out)"

# Enum\PCI alone: said once, on standard error; --updates says it in its place.
{ head -2 system.reg; cat devices.part; } >pci.reg
"$list" --drivers drivers pci.reg >pci.out 2>pci.err
check "Enum\\PCI alone: exit status" "0" "$?"
check "Enum\\PCI alone: no installed driver" "0" "$(grep -c 'Installed driver' pci.out)"
check "Enum\\PCI alone: said once" "pci.reg: The devices' installed drivers are not known: the file holds no driver keys \
(Control\\Class), as an export of Enum\\PCI alone does; an export of HKLM\\SYSTEM or a SYSTEM hive holds them." "$(cat pci.err)"
check "Enum\\PCI alone: --updates says it once, in its place" "1" \
  "$("$list" --updates --drivers drivers pci.reg 2>&1 | grep -c 'installed drivers are not known')"
"$list" --updates pci.reg >/dev/null 2>usage.err
check "--updates without --drivers: a usage error" "2" "$?"

# JSON and CSV: the installed driver, its rank and where it comes from, whether a better one is there.
"$list" --json --drivers drivers system.reg >vm.json
check "JSON: the installed drivers and their comparison" \
"Red Hat VirtIO Ethernet Adapter|100.94.104.24000|2023-08-31|oem3.inf|00ff0000|matching_id|True|newer
Red Hat VirtIO SCSI controller|100.90.104.22100|2022-05-21|oem4.inf|00ff0000|matching_id|True|newer
VirtIO Serial Driver|100.90.104.22100|2022-05-21|oem6.inf|00ff0000|recorded|True|newer
Contoso Random Number Source|2.0.0.0|2027-06-01|oem7.inf|00ff2001|matching_id|True|better_match
VirtIO Balloon Driver|100.102.27000.1000|2027-03-01|oem5.inf|00ff0000|matching_id|False|None
Host bridge|10.0.22621.1|2006-06-21|machine.inf|None|None|False|-" "$(python3 -c '
import json, sys
for d in json.load(open(sys.argv[1]))["devices"]:
    i = d["installed_driver"]
    print("|".join(str(v) for v in (i["description"], i["driver_version"], i["driver_date"], i["inf"], i["rank"],
          i["rank_from"], d["better_driver"], d["fits"][0]["versus_installed"] if d["fits"] else "-")))' vm.json)"
"$list" --csv --updates --drivers drivers SYSTEM >vm.csv
check "CSV --updates: the devices, installed and best versions" \
"installed_version,fit_version,better_driver
100.94.104.24000,100.101.26000.27200,true
100.90.104.22100,100.101.26000.27200,true
100.90.104.22100,100.101.26000.27200,true
2.0.0.0,100.101.26000.27200,true" "$(python3 -c '
import csv, sys
print("installed_version,fit_version,better_driver")
for row in csv.DictReader(open(sys.argv[1], newline="")):
    print(",".join((row["installed_version"], row["fit_version"], row["better_driver"])))' vm.csv)"

# The report: its section of better drivers, a row each.
"$list" --html --drivers drivers system.reg >report.html
check "report: the section" "1" "$(grep -c '<h3>Better drivers in the folder</h3>' report.html)"
check "report: a row each" "4" "$(sed -n '/Better drivers in the folder/,/<\/table>/p' report.html | grep -c '^<tr><td>')"
finish
