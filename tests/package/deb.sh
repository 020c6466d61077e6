#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Debian package, installed on this machine for real and purged again:
# the installed database and corvane-list from an empty directory, the
# trigger on a changed pci.ids, the window started as the menu starts it,
# removal and purge. It changes the machine, so it runs only when asked:
# CORVANE_PACKAGE_TESTS=1 (CI sets it). Usage: deb.sh SOURCE_DIR [SCREENSHOT.png]
set -u
if [ "${CORVANE_PACKAGE_TESTS:-}" != 1 ]; then
  echo "skipped: installs the package on this machine; set CORVANE_PACKAGE_TESTS=1 to run it"
  exit 77
fi
source=$(realpath "$1") screenshot=${2:-}
. "$(dirname "$0")/../e2e/xvfb.sh"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
pciids=/usr/share/misc/pci.ids
state=/var/lib/corvane
apt() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -y -q -o DPkg::Lock::Timeout=600 "$@" >>"$work/apt.log" 2>&1; }
installed() { dpkg-query -W -f='${db:Status-Status}' corvane 2>/dev/null; }

# Whatever happens: the system's pci.ids back, the package gone.
restore() {
  if [ -e "$work/pci.ids.orig" ]; then
    $sudo cp -p "$work/pci.ids.orig" "$pciids.corvane-test" && $sudo mv -f "$pciids.corvane-test" "$pciids"
  fi
  [ -n "$(installed)" ] && [ "$(installed)" != not-installed ] && apt purge corvane
  cleanup
}
trap restore EXIT

echo "== building the package"
if ! "$source/scripts/package.sh" >"$work/package.log" 2>&1; then
  tail -40 "$work/package.log"; fail "scripts/package.sh"; finish
fi
sed -n '/^== lintian/,$p' "$work/package.log"
deb=$source/$(tail -1 "$work/package.log")
[ -n "$(installed)" ] && [ "$(installed)" != not-installed ] &&
  echo "note: corvane was installed ($(installed)); it is replaced, and purged at the end"

echo "== installed"
apt install "$deb" || { tail -20 "$work/apt.log"; fail "apt-get install"; finish; }
check "package state" "installed" "$(installed)"
dpkg -L corvane >"$work/files"
check "the installed database" "644 root" "$(stat -c '%a %U' "$state/devices.lst" 2>&1)"
/usr/bin/corvane-update -o "$work/expected.lst" >/dev/null
cmp -s "$state/devices.lst" "$work/expected.lst" || fail "the installed database is not made from $pciids"

# corvane-list from an empty directory: the machine's devices, named from the installed database.
mkdir "$work/empty"
(cd "$work/empty" && exec corvane-list >"$work/list.out" 2>"$work/list.err")
check "corvane-list status" "0" "$?"
check "corvane-list is the package's" "/usr/bin/corvane-list" "$(command -v corvane-list)"
check "nothing written in the working directory" "" "$(ls -A "$work/empty")"
check "devices listed" "$(lspci -n | wc -l)" "$(grep -c '^[^ ]' "$work/list.out")"
known=0
for id in $(lspci -n | awk '{ print $3 }'); do
  grep -qi "^\"0x${id%:*}\",\"0x${id#*:}\"," "$work/expected.lst" && known=$((known + 1))
done
named=$(awk '/^  Database$/ { getline; getline; getline; if ($0 != "    ") n++ } END { print n + 0 }' "$work/list.out")
check "devices named by the installed database" "$known" "$named"
[ "$known" -gt 0 ] || fail "pci.ids knows none of this machine's devices: nothing shows the database was read"

# A changed pci.ids and the trigger: the database is made again. The changed
# device is one this machine does not have, so nothing else here sees it.
present=$(lspci -n | awk '{ print $3 }' | tr '\n' ' ')
hex4="[0-9a-f][0-9a-f][0-9a-f][0-9a-f]"
line=$(awk -v present="$present" "
  /^$hex4  / { vendor = substr(\$0, 1, 4) }
  /^\t$hex4  / { if (index(present, vendor \":\" substr(\$0, 2, 4)) == 0) last = NR }
  END { print last }" "$pciids")
[[ "$line" =~ ^[0-9]+$ ]] || { fail "no device line in $pciids"; finish; }
$sudo cp -p "$pciids" "$work/pci.ids.orig"
sed "${line}s/^\(\t[0-9a-f]\{4\}  \).*/\1Corvane trigger check/" "$pciids" >"$work/pci.ids.changed"
$sudo cp "$work/pci.ids.changed" "$pciids.corvane-test" && $sudo mv -f "$pciids.corvane-test" "$pciids"
$sudo dpkg-trigger --no-await "$pciids" && $sudo dpkg --triggers-only --pending >>"$work/apt.log" 2>&1 ||
  fail "firing the trigger: $(tail -5 "$work/apt.log")"
check "changed device name in the database" "1" "$(grep -c '","Corvane trigger check"$' "$state/devices.lst")"
$sudo cp -p "$work/pci.ids.orig" "$pciids.corvane-test" && $sudo mv -f "$pciids.corvane-test" "$pciids"
$sudo dpkg-trigger --no-await "$pciids" && $sudo dpkg --triggers-only --pending >>"$work/apt.log" 2>&1
cmp -s "$state/devices.lst" "$work/expected.lst" || fail "the database is not made again from the restored pci.ids"

# The window, started as the menu starts it: the Exec line, from an empty directory.
start_xvfb
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/org.corvane.Corvane.desktop)
mkdir "$work/menu"
(cd "$work/menu" && exec $exec_line >stdout 2>stderr) &
pid=$!
window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011'\$")
if [ -z "$window" ]; then
  fail "no window from the menu's command '$exec_line'"
  kill "$pid" 2>/dev/null
else
  pass "window from the menu's command '$exec_line'"
  if [ -n "$screenshot" ]; then sleep 0.5; import -window root "$screenshot"; fi
  xdotool key --window "$window" Escape 2>/dev/null
fi
timeout 20 tail --pid="$pid" -f /dev/null
wait "$pid"
check "window exit status" "0" "$?"
check "nothing but its output in the working directory" "stderr stdout" "$(ls "$work/menu" | xargs)"

echo "== removed"
apt remove corvane || fail "apt-get remove: $(tail -5 "$work/apt.log")"
check "installed database removed" "no" "$([ -e "$state" ] && echo yes || echo no)"
check "programs removed" "" "$(ls /usr/bin/corvane* 2>/dev/null)"

echo "== purged"
apt purge corvane || fail "apt-get purge: $(tail -5 "$work/apt.log")"
check "package state after purge" "" "$(installed | sed 's/not-installed//')"
left=$(while read -r path; do [ -f "$path" ] || [ -L "$path" ] && echo "$path"; done <"$work/files"
       ls -d "$state" /usr/share/doc/corvane /var/lib/dpkg/info/corvane.* 2>/dev/null)
check "files left after purge" "" "$left"

finish
