#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list --collect, out of process, on the installed drivers of a
# Windows 11 virtual machine (tests/data/virtio-vm.reg.txt, its export and its
# hive) against the virtio drivers' folder: exactly the packages of the
# devices that would get a better driver are copied, each whole; a package
# whose files are missing is not copied and is said, with exit status 1;
# the same from an archive of the folder; mistakes on the command line are
# usage errors that write nothing.
# Usage: collect.sh CORVANE_LIST SOURCE_DIR
set -u
list=$(realpath "$1") source=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"
cd "$work" || exit 1
. "$source/tests/e2e/virtio-vm.sh"

# Mistakes: one line naming the problem, status 2, nothing written.
usage() {  # usage DESCRIPTION EXPECTED_LINE ARGUMENT...
  local description=$1 expected=$2
  shift 2
  "$list" "$@" >usage.out 2>usage.err
  check "$description: status 2" "2" "$?"
  check "$description: the line" "$expected" "$(head -1 usage.err)"
  [ -e error.log ] && fail "$description: error.log written" && rm -f error.log
  [ -e out ] && fail "$description: out made" && rm -rf out
}
mkdir full && touch full/file
usage "--drivers absent" "corvane-list: --drivers 'absent': no such folder or archive" --drivers absent system.reg
usage "--collect without --drivers" "corvane-list: --collect copies drivers from the folders of --drivers: give a folder" \
  --collect out system.reg
usage "--collect of two machines" \
  "corvane-list: --collect copies one machine's drivers: give one FILE, or none for this computer" \
  --collect out --drivers drivers system.reg SYSTEM
usage "--collect --json" \
  "corvane-list: --collect says what it copied: give it without --json, --csv, --html, --attention and --updates" \
  --collect out --json --drivers drivers system.reg
usage "--collect into a folder not empty" "corvane-list: --collect 'full': it is not empty" \
  --collect full --drivers drivers system.reg

# The folder holds INF files and catalogs only: nothing can be copied, and that is said.
"$list" --drivers drivers --collect out system.reg >missing.out 2>missing.err
check "files missing: status 1" "1" "$?"
check "files missing: said" "Not copied: NetKVM/netkvm.inf: 2 files its INF names are missing: netkvm.sys, netkvmp.exe
Not copied: viostor/viostor.inf: a file its INF names is missing: viostor.sys
Not copied: vioserial/sys/vioser.inf: a file its INF names is missing: vioser.sys
Not copied: viorng/viorng/viorng.inf: 2 files its INF names are missing: viorng.sys, viorngum.dll
0 driver packages for 0 devices copied into out; 4 not copied (README.txt says why)" "$(cat missing.out)"
check "files missing: only the README" "README.txt" "$(ls -A out)"
rm -rf out

# Every file there, one of them in another case than its INF names it.
for file in NetKVM/netkvm.sys NetKVM/netkvmp.exe viostor/viostor.sys vioserial/sys/vioser.sys \
  viorng/viorng/VIORNG.SYS viorng/viorng/viorngum.dll Balloon/sys/balloon.sys; do
  head -c 100000 /dev/urandom >"drivers/$file"
done
"$list" --drivers drivers --collect out system.reg >export.out 2>export.err
check "export: status 0" "0" "$?"
check "export: nothing on standard error" "" "$(cat export.err)"
check "export: the packages of the devices with a better driver" "Copied netkvm: Red Hat VirtIO Ethernet Adapter, \
100.101.26000.27200, 2026-07-22, signed — NetKVM/netkvm.inf
Copied viostor: Red Hat VirtIO SCSI controller, 100.101.26000.27200, 2026-07-22, signed — viostor/viostor.inf
Copied vioser: VirtIO Serial Driver, 100.101.26000.27200, 2026-07-22, signed — vioserial/sys/vioser.inf
Copied viorng: VirtIO RNG Device, 100.101.26000.27200, 2026-07-22, signed — viorng/viorng/viorng.inf
4 driver packages for 4 devices copied into out" "$(cat export.out)"
check "export: each package whole, nothing else" "README.txt netkvm/netkvm.cat netkvm/netkvm.inf netkvm/netkvm.sys \
netkvm/netkvmp.exe viorng/VIORNG.SYS viorng/viorng.cat viorng/viorng.inf viorng/viorngum.dll vioser/vioser.cat \
vioser/vioser.inf vioser/vioser.sys viostor/viostor.cat viostor/viostor.inf viostor/viostor.sys" \
  "$(cd out && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"
cmp -s drivers/NetKVM/netkvm.sys out/netkvm/netkvm.sys || fail "export: netkvm.sys not the same bytes"
check "README: the device and why" "1" \
  "$(grep -c '^    for Red Hat VirtIO Ethernet Adapter — installed 100.94.104.24000 (2023-08-31), better' out/README.txt)"
check "README: Windows' line ends" "$(wc -l <out/README.txt)" "$(grep -c $'\r$' out/README.txt)"

# A file that cannot be written whole (here past a size limit, as on a full
# stick): a failure, and the package being written is gone.
(trap '' XFSZ; ulimit -f 50; exec "$list" --drivers drivers --collect limited system.reg) >limited.out 2>limited.err
check "write failure: status 255" "255" "$?"
check "write failure: said" "1" "$(grep -c '^Error: .*Failed to write into limited: File too large$' limited.err)"
check "write failure: no package, no part of one" "" "$(ls -A limited)"
rm -f error.log

mkdir hive
"$list" --drivers drivers --collect hive SYSTEM >hive.out 2>&1
check "hive: the same" "$(sed 's/into out$/into hive/' export.out)" "$(cat hive.out)"
diff -r -x README.txt out hive >/dev/null || fail "hive: not the same files"

(cd drivers && zip -qr ../drivers.zip .) || fail "zip"
"$list" --drivers drivers.zip --collect zipped system.reg >zip.out 2>&1
check "archive: status 0" "0" "$?"
check "archive: the same packages" "4 driver packages for 4 devices copied into zipped" "$(tail -1 zip.out)"
diff -r -x README.txt out zipped >/dev/null || fail "archive: not the same files"
finish
