#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Exports that Wine's own `reg export` writes of the fixture in Wine's
# registry (UTF-16LE with a byte-order mark, long hex values continued), of
# the PCI branch and of a key above it (and the PCI branch with the driver
# keys), read by corvane-list on Linux: it
# prints what corvane-list.exe prints of that registry under Wine, and what
# corvane-list.exe prints of the same file, in every form (the HTML report too). Both under the Russian code page,
# which holds every text of the fixture.
# Usage: export.sh CORVANE_LIST_EXE LINUX_CORVANE_LIST SOURCE_DIR
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
: "${CORVANE_LOCALE_DIR:?set it to a directory holding the ru_RU.UTF-8 locale}"
exe=$(realpath "$1") linux=$2 source=$(realpath "$3")
if [ ! -x "$linux" ]; then echo "skipped: no Linux build of corvane-list at $linux"; exit 77; fi
linux=$(realpath "$linux")
. "$source/tests/e2e/xvfb.sh"
run=$source/scripts/wine-run.sh
russian=(env -u DISPLAY LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 LOCPATH="$CORVANE_LOCALE_DIR")
cp "$source/tests/data/devices.lst" "$work/"
# Windows names subsystems from the pci.ids in the working directory; Linux from the system's.
cp /usr/share/misc/pci.ids "$work/"
cd "$work" || exit 1
export SOURCE_DATE_EPOCH=1765216140  # the report's date, the same on both systems

# A value long enough for reg export to continue it over lines.
"$run" reg add 'HKLM\SYSTEM\CurrentControlSet\Enum\PCI\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\3&11583659&0&C8' \
  /v HardwareID /t REG_MULTI_SZ /d 'PCI\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\0PCI\VEN_8086&DEV_10D3&SUBSYS_A01F8086' \
  /f >log 2>&1 </dev/null || fail "reg add: $(cat log)"
for export in 'pci.reg HKLM\SYSTEM\CurrentControlSet\Enum\PCI' 'enum.reg HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum'; do
  set -- $export
  "$run" reg export "$2" "$1" /y >log 2>&1 </dev/null || fail "reg export $2: $(cat log)"
  check "$1: UTF-16LE with a byte-order mark" "fffe5700" "$(head -c4 "$1" | od -An -tx1 | tr -d ' ')"
  iconv -f UTF-16LE -t UTF-8 "$1" | grep -q '^  .*\\'$'\r''$' || fail "$1: no continued line"
done

# The driver keys (Wine keeps some of its own devices'), exported apart and
# joined after the PCI branch as one export of both: its devices show their
# installed drivers as the live registry does.
"$run" reg export 'HKLM\SYSTEM\CurrentControlSet\Control\Class' class.reg /y >log 2>&1 </dev/null ||
  fail "reg export Control\\Class: $(cat log)"
{ printf '\xff\xfe'
  { iconv -f UTF-16LE -t UTF-8 pci.reg | sed '1s/^\xef\xbb\xbf//'; iconv -f UTF-16LE -t UTF-8 class.reg | sed 1d; } |
    iconv -f UTF-8 -t UTF-16LE; } >joined.reg

"${russian[@]}" "$run" "$exe" >registry.crlf 2>stderr </dev/null
check "corvane-list.exe of the registry: exit status" "0" "$?"
tr -d '\r' <registry.crlf >registry.txt
grep -q '^    Installed driver: ' registry.txt || fail "the registry's listing: no installed driver of Wine's own"
# Exports without the driver keys: the same lines but the installed drivers'.
awk '/^    Installed driver: / {skip = 1; next} skip && /^      / {next} {skip = 0; print}' registry.txt >no-keys.txt
for file in pci.reg enum.reg joined.reg; do
  expected=no-keys.txt
  [ "$file" = joined.reg ] && expected=registry.txt
  "$linux" "$file" >"$file.linux" 2>stderr
  check "$file on Linux: exit status" "0" "$?"
  check "$file on Linux: nothing skipped" "" "$(cat stderr)"
  # The one device key whose name lies outside every ANSI code page: the
  # ANSI functions of Windows cannot open it, the file can.
  without=$(awk '/^[^ ]/ {if (block != "" && !hidden) printf "%s", block; block = ""; hidden = 0}
                 {block = block $0 "\n"} /^    Hidden$/ {hidden = 1}
                 END {if (!hidden) printf "%s", block}' "$file.linux")
  check "$file on Linux: the registry's listing under Wine, and the device only the file can show" \
    "$(cat "$expected")" "$without"
  grep -q "^    Hidden$" "$file.linux" || fail "$file on Linux: the device whose name is outside the code page"
  "${russian[@]}" "$run" "$exe" "$file" >"$file.crlf" 2>stderr </dev/null
  check "corvane-list.exe $file: exit status" "0" "$?"
  check "corvane-list.exe $file: what Linux prints" "$(cat "$file.linux")" "$(tr -d '\r' <"$file.crlf")"
  # The forms for scripts, byte for byte, subsystems named from the same pci.ids;
  # the report too, its date fixed.
  for form in json csv html; do
    "$linux" --$form "$file" >"$file.$form.linux" 2>stderr
    "${russian[@]}" "$run" "$exe" --$form "$file" >"$file.$form.exe" 2>stderr </dev/null
    check "corvane-list.exe --$form $file: exit status" "0" "$?"
    cmp -s "$file.$form.linux" "$file.$form.exe" && pass "corvane-list.exe --$form $file: byte for byte Linux's" ||
      fail "corvane-list.exe --$form $file: $(diff "$file.$form.linux" "$file.$form.exe" | head -5)"
  done
done

# A dump on Windows: said clearly, naming the file.
printf '00:00.0 Host bridge: Intel\n00: 86 80 37 12 00 00 00 00 02 00 00 06 00 00 00 00\n' >dump.txt
env -u DISPLAY "$run" "$exe" dump.txt >stdout 2>stderr </dev/null
check "a dump on Windows: exit status" "255" "$?"
grep -q "std::exception: dump.txt is an lspci dump from Linux: only Corvane on Linux reads those" stderr ||
  fail "a dump on Windows: $(cat stderr)"

finish
