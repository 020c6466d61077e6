#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Registry hives read by corvane-list.exe under Wine: the Linux tests' hive
# fixtures (tests/support/hive-fixtures.sh), and one whose names libhivex
# keeps in Latin-1 and in UTF-16, print in every form, notices and errors
# included, byte for byte what corvane-list prints on Linux. Exports that
# Wine's reg export writes of the fixture loaded under another key
# (HKLM\CUSTOMER, as reg load leaves a customer's hive) and of a whole
# control set list its devices on both systems.
# Usage: hive.sh CORVANE_LIST_EXE LINUX_CORVANE_LIST SOURCE_DIR
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
exe=$(realpath "$1") linux=$2 source=$(realpath "$3")
if [ ! -x "$linux" ]; then echo "skipped: no Linux build of corvane-list at $linux"; exit 77; fi
linux=$(realpath "$linux")
. "$source/tests/e2e/xvfb.sh"
run=$source/scripts/wine-run.sh
cp "$source/tests/data/devices.lst" "$work/"
# Windows names subsystems from the pci.ids in the working directory; Linux from the system's.
cp /usr/share/misc/pci.ids "$work/"
cd "$work" || exit 1
export SOURCE_DATE_EPOCH=1765216140  # the report's date, the same on both systems

bash "$source/tests/support/hive-fixtures.sh" "$source" >fixtures.log 2>&1 || fail "hive-fixtures.sh: $(cat fixtures.log)"
# Names beyond ASCII: libhivex keeps a key's or value's name in Latin-1 where
# it can, in UTF-16 otherwise, and converts both to UTF-8 when read.
pci='[HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Enum\PCI'
printf '%s\n\n' 'Windows Registry Editor Version 5.00' >names.reg
printf '%s\\VEN_8086&DEV_10D3&SUBSYS_ÀÉ008086&REV_00\\3&Café&0]\n"Class"="Net"\n"Größe"="x"\n' "$pci" >>names.reg
printf '"DeviceDesc"="@net.inf,%%x%%;Intel® Gigabit"\n\n' >>names.reg
printf '%s\\VEN_1AF4&DEV_1041&SUBSYS_Ω𝄞1AF4&REV_01\\Ωμέγα]\n"Class"="Net"\n"Ω"="y"\n"Mfg"="Red Hat"\n' "$pci" >>names.reg
bash "$source/tests/support/make-hive.sh" names.reg names >>fixtures.log 2>&1 || fail "make-hive.sh: $(cat fixtures.log)"

# Both systems' corvane-list on FILE in each form: the same status, standard
# output byte for byte (the text's line ends aside: CR LF on Windows) and
# standard error.
same() {  # same DESCRIPTION FILE...
  local form
  for form in "" --attention --json --csv --html; do
    "$linux" $form "$@" >linux.out 2>linux.err
    local linux_status=$?
    env -u DISPLAY "$run" "$exe" $form "$@" >exe.out 2>exe.err </dev/null
    check "$1 ${form:-as text}: exit status" "$linux_status" "$?"
    [ -z "$form" ] || [ "$form" = --attention ] && { tr -d '\r' <exe.out >exe.lf; mv exe.lf exe.out; }
    cmp -s linux.out exe.out && pass "$1 ${form:-as text}: Linux's output, byte for byte" ||
      fail "$1 ${form:-as text}: $(diff linux.out exe.out | head -5)"
    check "$1 ${form:-as text}: standard error" "$(sed 's/, [0-9]*)/, N)/' linux.err)" \
      "$(tr -d '\r' <exe.err | sed 's/, [0-9]*)/, N)/')"
  done
}
same SYSTEM
same dirty
same names
grep -q "Intel® Gigabit" names.reg && "$linux" names | grep -q "Intel® Gigabit" ||
  fail "names: the device with names beyond ASCII is not listed: $("$linux" names 2>&1 | head -3)"
# Damaged: the same errors, and the report's section of each saying why.
head -c 30000 SYSTEM >cut
cp SYSTEM binless && printf '\0\0\0\0' | dd of=binless bs=1 seek=4096 conv=notrunc status=none
same cut
same binless
same SYSTEM cut names

# A temporary folder whose name the ANSI code page cannot hold (a user's
# name in Greek under code page 1252), where the hive's private copy goes:
# read all the same, and nothing left there.
greek="$work/Ωμέγα tmp"
mkdir "$greek"
set_temp() { local name; for name in TEMP TMP; do
  "$run" reg add 'HKCU\Environment' /v $name /t REG_SZ /d "$1" /f >/dev/null 2>&1 </dev/null; done; }
old_temp=$("$run" reg query 'HKCU\Environment' /v TEMP 2>/dev/null </dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*SZ *//p')
trap 'set_temp "$old_temp"; cleanup' EXIT
LC_ALL=C.UTF-8 set_temp "Z:${greek//\//\\}"
[[ "$("$run" cmd /c echo %TEMP% 2>/dev/null </dev/null | tr -d '\r')" == *" tmp" ]] ||
  fail "the temporary folder was not set"
"$linux" SYSTEM >linux.out 2>&1
env -u DISPLAY "$run" "$exe" SYSTEM >exe.out 2>&1 </dev/null
check "a temporary folder named outside the code page: the hive read" "$(cat linux.out)" "$(tr -d '\r' <exe.out)"
check "a temporary folder named outside the code page: nothing left there" "" "$(ls "$greek")"
set_temp "$old_temp"
trap cleanup EXIT

# A customer's hive loaded as HKLM\CUSTOMER and exported, as a technician
# would on Windows: the keys imported into Wine's registry under that key,
# then Wine's reg export of it. The same devices as the hive.
windows_reg() {  # UTF-8 .reg on standard input to a UTF-16 one with CR LF, for reg import
  printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE
}
sed 's/^\[HKEY_LOCAL_MACHINE\\SYSTEM\\/[HKEY_LOCAL_MACHINE\\CUSTOMER\\/' system.reg | windows_reg >customer-in.reg
"$run" reg import customer-in.reg >log 2>&1 </dev/null || fail "reg import: $(cat log)"
"$run" reg export 'HKLM\CUSTOMER' customer.reg /y >log 2>&1 </dev/null || fail "reg export: $(cat log)"
grep -aq 'C.U.S.T.O.M.E.R.\\.C.o.n.t.r.o.l.S.e.t.0.0.2.\\.E.n.u.m' customer.reg ||
  fail "customer.reg: no HKLM\\CUSTOMER\\ControlSet002\\Enum"
check "customer.reg on Linux: the hive's devices" "$("$linux" SYSTEM 2>&1)" "$("$linux" customer.reg 2>&1)"
same customer.reg

# One control set of it exported, without its Select: that control set.
"$run" reg export 'HKLM\CUSTOMER\ControlSet002' customer-cs2.reg /y >log 2>&1 </dev/null || fail "reg export: $(cat log)"
"$run" reg delete 'HKLM\CUSTOMER' /f >log 2>&1 </dev/null || fail "reg delete: $(cat log)"
check "customer-cs2.reg on Linux: the hive's devices" "$("$linux" SYSTEM 2>&1)" "$("$linux" customer-cs2.reg 2>&1)"
same customer-cs2.reg

# The machine's own ControlSet001 exported whole (Wine has none: made of the
# fixture here, and removed again).
sed 's/\\CurrentControlSet\\/\\ControlSet001\\/' "$source/tests/windows/pci-fixture.reg.txt" | windows_reg >cs1-in.reg
"$run" reg import cs1-in.reg >log 2>&1 </dev/null || fail "reg import: $(cat log)"
"$run" reg export 'HKLM\SYSTEM\ControlSet001' controlset.reg /y >log 2>&1 </dev/null || fail "reg export: $(cat log)"
"$run" reg delete 'HKLM\SYSTEM\ControlSet001' /f >log 2>&1 </dev/null || fail "reg delete: $(cat log)"
check "controlset.reg on Linux: the fixture's devices" "$("$linux" SYSTEM 2>&1)" "$("$linux" controlset.reg 2>&1)"
same controlset.reg

finish
