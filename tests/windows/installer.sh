#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The 64-bit installer as a deployment tool and a user meet it, under Wine in
# a prefix of its own: a silent install; its files (the zip's, and the
# uninstaller), the Start menu shortcut and the uninstall entry; the programs
# started from the shortcut's working directory; the uninstaller refused
# while the program runs; an update in place and one into another folder
# (/D=), each leaving one entry; the entry's silent uninstall, after which
# nothing of Corvane is left. Making a prefix costs many seconds: one that a
# run left as it found it (every check passed) serves the next run.
# Usage: installer.sh SETUP_EXE INSTALLER_PROBE_EXE ZIP SOURCE_DIR
set -u
: "${CORVANE_WINE_DIR:?set it to a Wine directory for the installer alone}"
setup=$(realpath "$1") probe=$(realpath "$2") zip=$(realpath "$3") source=$(realpath "$4")
. "$source/tests/e2e/xvfb.sh"
. "$source/tests/windows/wine-display.sh"
for file in "$setup" "$zip"; do
  [ -e "$file" ] || { fail "no $file: make it with cmake --build BUILD_DIR --target package"; finish; }
done
version=$(basename "$setup" | sed -E 's/^corvane-(.*)-win64-setup\.exe$/\1/')
prefix=$CORVANE_WINE_DIR/prefix
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane'
shortcut='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Corvane.lnk'
default_folder='C:\Program Files\Corvane'
other_folder='C:\Corvane tools'

unix_path() { local path=${1#C:}; printf '%s' "$prefix/drive_c${path//\\//}"; }
# Runs a command line as given, as a deployment tool does: wine would quote
# arguments with spaces, which /D= and _?= must not be.
run_line() { "$run" "$probe" --run "$1" >"$work/run.log" 2>&1 </dev/null; }
# The entry's values, one "NAME VALUE" a line (reg query's columns).
entry() { "$run" reg query "$key" 2>/dev/null </dev/null | tr -d '\r' | sed -nE 's/^ +([^ ]+) +REG_[A-Z]+ +(.*)$/\1 \2/p'; }
value() { sed -n "s/^$1 //p" "$work/entry"; }
# How many entries in either registry view name Corvane.
entries() {
  local view count=0
  for view in '' 'WOW6432Node\'; do
    count=$((count + $("$run" reg query "HKLM\\Software\\${view}Microsoft\\Windows\\CurrentVersion\\Uninstall" /s \
      2>/dev/null </dev/null | tr -d '\r' | grep -cE '^ +DisplayName +REG_SZ +Corvane$')))
  done
  echo "$count"
}
shortcut_fields() { "$run" "$probe" --shortcut "$shortcut" 2>/dev/null </dev/null | tr -d '\r'; }
# Waits up to 5 s for a file to go.
gone() { local _; for _ in $(seq 50); do [ -e "$1" ] || return 0; sleep 0.1; done; return 1; }

# The files an install must hold: the zip's, and the uninstaller.
mkdir "$work/zip" && (cd "$work/zip" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
zipped=$work/zip/$(basename "$zip" .zip)
expected_files=$( (ls "$zipped"; echo uninstall.exe) | sort | xargs)
check_install() {  # check_install FOLDER WHAT
  local folder name
  folder=$(unix_path "$1")
  check "$2: files" "$expected_files" "$(ls "$folder" 2>/dev/null | sort | xargs)"
  for name in $(ls "$zipped"); do
    cmp -s "$zipped/$name" "$folder/$name" || fail "$2: $name differs from the zip's"
  done
}

start_wine_display
if [ ! -e "$CORVANE_WINE_DIR/clean" ]; then
  # New, or left with traces of an earlier run: made afresh, the devices of
  # the fixture machine in its registry.
  WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null
  rm -rf "$CORVANE_WINE_DIR"
  mkdir -p "$CORVANE_WINE_DIR"
  bash "$source/tests/windows/import-fixture.sh" >"$work/fixture.log" 2>&1 ||
    { fail "fixture: $(cat "$work/fixture.log")"; finish; }
fi
rm -f "$CORVANE_WINE_DIR/clean"
trap 'WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null; cleanup' EXIT

# A silent install, as a deployment tool runs it.
"$run" "$setup" /S >"$work/setup.log" 2>&1 </dev/null
check "silent install: exit status" "0" "$?"
check_install "$default_folder" "install"
entry >"$work/entry"
check "entry: DisplayName" "Corvane" "$(value DisplayName)"
check "entry: DisplayVersion" "$version" "$(value DisplayVersion)"
check "entry: Publisher" "Corvane" "$(value Publisher)"
check "entry: DisplayIcon" "$default_folder\\corvane.exe,0" "$(value DisplayIcon)"
check "entry: InstallLocation" "$default_folder" "$(value InstallLocation)"
check "entry: UninstallString" "\"$default_folder\\uninstall.exe\"" "$(value UninstallString)"
check "entry: QuietUninstallString" "\"$default_folder\\uninstall.exe\" /S _?=$default_folder" \
  "$(value QuietUninstallString)"
check "entry: NoModify" "0x1" "$(value NoModify)"
check "entry: NoRepair" "0x1" "$(value NoRepair)"
# In KiB, as Windows reads it: near the size of the files.
kib=$(du -sk --apparent-size "$(unix_path "$default_folder")" | cut -f1)
estimated=$(($(value EstimatedSize)))
[ "$estimated" -gt $((kib * 9 / 10)) ] && [ "$estimated" -le "$kib" ] ||
  fail "entry: EstimatedSize $estimated KiB for $kib KiB of files"

shortcut_fields >"$work/shortcut"
check "shortcut" "target $default_folder\\corvane.exe|arguments |directory $default_folder|icon $default_folder\\corvane.exe,0" \
  "$(grep -v '^description' "$work/shortcut" | paste -sd'|')"
grep -q '^description .' "$work/shortcut" || fail "shortcut: no description"

# The programs, started as the shortcut starts corvane.exe: in its working
# directory, which holds devices.lst.
directory=$(unix_path "$(sed -n 's/^directory //p' "$work/shortcut")")
(cd "$directory" && "$run" "$default_folder\\corvane-list.exe" --json >"$work/list.json" 2>"$work/list.err" </dev/null)
check "corvane-list.exe --json: exit status" "0" "$?"
python3 -c 'import json, sys
devices = json.load(open(sys.argv[1]))["devices"]
assert any(d["database"] and d["database"]["vendor"] == "Intel Corporation" for d in devices), devices' \
  "$work/list.json" 2>"$work/json.err" || fail "corvane-list.exe --json: no device named from devices.lst: $(tail -3 "$work/json.err")"

(cd "$directory" && exec "$run" "$default_folder\\corvane.exe" >"$work/stdout" 2>"$work/stderr" </dev/null) &
pid=$!
window=$(find_window "^Corvane $version Release")
if [ -z "$window" ]; then fail "no window: $(cat "$work/stderr")"; kill "$pid" 2>/dev/null; else
  pass "the window"
  # While it runs, the uninstaller refuses and changes nothing.
  run_line "$(value QuietUninstallString)"
  check "uninstall while corvane.exe runs: exit status" "2" "$?"
  check_install "$default_folder" "after the refused uninstall"
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "corvane.exe: exit status after Escape" "0" "$?"
[ -e "$directory/error.log" ] && fail "error.log written: $(cat "$directory/error.log")"

# The same installer once more: an update in place.
"$run" "$setup" /S >"$work/setup.log" 2>&1 </dev/null
check "update in place: exit status" "0" "$?"
check_install "$default_folder" "update in place"
check "update in place: entries" "1" "$(entries)"

# Into another folder: the copy in the first goes.
run_line "\"Z:${setup//\//\\}\" /S /D=$other_folder"
check "install with /D=: exit status" "0" "$?"
check_install "$other_folder" "install with /D="
gone "$(unix_path "$default_folder")" || fail "the earlier copy is left: $(ls "$(unix_path "$default_folder")")"
check "install with /D=: entries" "1" "$(entries)"
entry >"$work/entry"
check "install with /D=: InstallLocation" "$other_folder" "$(value InstallLocation)"
check "install with /D=: shortcut" "target $other_folder\\corvane.exe|directory $other_folder" \
  "$(shortcut_fields | grep -E '^(target|directory) ' | paste -sd'|')"

# The entry's silent uninstall: what the program and the user left there
# (error.log goes, a downloaded pci.ids stays), then nothing of Corvane.
folder=$(unix_path "$other_folder")
echo "a failure" >"$folder/error.log"
echo "# a list" >"$folder/pci.ids"
run_line "$(value QuietUninstallString)"
check "silent uninstall: exit status" "0" "$?"
check "silent uninstall: the entry" "" "$(entry)"
[ -e "$(unix_path "$shortcut")" ] && fail "silent uninstall: the shortcut is left"
gone "$folder/uninstall.exe" || fail "silent uninstall: uninstall.exe is left"
check "silent uninstall: what is left in the folder" "pci.ids" "$(ls "$folder" | xargs)"
rm -r "$folder"

[ "$failures" -eq 0 ] && touch "$CORVANE_WINE_DIR/clean"
finish
