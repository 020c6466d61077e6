#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The tests' hives of the fixture machine (tests/windows/pci-fixture.reg.txt),
# made by make-hive.sh in the current directory:
#   system.reg  the machine as Windows exports its SYSTEM hive: key sections
#               in the registry's order (names compared upper-cased, a key
#               before those below it), the control set under its own name,
#               ControlSet002, chosen by Select\Current, and an older
#               ControlSet001 beside it with a device of its own
#   SYSTEM      that hive
#   named.reg   system.reg with the computer's name, DESKTOP-1234
#   dirty       that hive as Windows leaves one it did not close cleanly:
#               its primary sequence number ahead of the secondary, the
#               header's checksum made right again
# Usage: hive-fixtures.sh SOURCE_DIR
set -euo pipefail
source=$1
fixture=$source/tests/windows/pci-fixture.reg.txt
{
  head -1 "$fixture"
  awk '/^\[/ { if (section != "") print key "\002" section
               key = toupper(substr($0, 2, length($0) - 2)); gsub(/\\/, "\001", key); section = $0; next }
       section != "" { section = section "\003" $0 }
       END { print key "\002" section }' "$fixture" |
    LC_ALL=C sort -t $'\002' -k1,1 | cut -d $'\002' -f2- | tr '\003' '\n' | sed 's/\\CurrentControlSet\\/\\ControlSet002\\/'
  printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Enum\\PCI\\VEN_8086&DEV_1237&SUBSYS_00000000&REV_02\\0]\n'
  printf '"DeviceDesc"=";an older control set"\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"Current"=dword:00000002\n'
} >system.reg
bash "$source/tests/support/make-hive.sh" system.reg SYSTEM

{ cat system.reg; printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\ComputerName\\ComputerName]\n'
  printf '"ComputerName"="DESKTOP-1234"\n'; } >named.reg
bash "$source/tests/support/make-hive.sh" named.reg dirty
perl -e 'open my $f, "+<", $ARGV[0] or die; binmode $f; read $f, my $b, 512; my @d = unpack "V128", $b;
         $d[1]++; my $sum = 0; $sum ^= $d[$_] for 0 .. 126; $d[127] = $sum; seek $f, 0, 0; print $f pack "V128", @d' dirty
