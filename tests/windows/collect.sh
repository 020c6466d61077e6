#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list.exe --collect checked by Windows' own INF reader: the drivers
# of a Windows 11 virtual machine (tests/data/virtio-vm.reg.txt, with a
# device added that has no driver) collected from the virtio drivers' folder
# (tests/data/virtio-win-inf, every file each INF names made beside it by
# tests/support/inf_named_files.py) and a package of our own whose files
# lie in the disks' paths and subfolders its amd64 sections give; then
# collect_probe opens each collected INF with setupapi and finds every file
# it names, and its catalog, below the INF's folder. The packages the
# devices need are there, and nothing else; the probe does see a file gone.
# Usage: collect.sh CORVANE_LIST_EXE COLLECT_PROBE_EXE SOURCE_DIR
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
exe=$(realpath "$1") probe=$(realpath "$2") source=$(realpath "$3")
. "$source/tests/e2e/xvfb.sh"
run=$source/scripts/wine-run.sh
cp "$source/tests/data/devices.lst" "$work/"
cd "$work" || exit 1

cp -r "$source/tests/data/virtio-win-inf" drivers
mkdir drivers/contoso
# A device's driver whose amd64 files lie apart from its x86 ones: the
# decorated sections win, a file named only in the undecorated one goes to
# its disk's amd64 path, a disk's path with a leading '\' is the package's root.
printf '%s\r\n' '[Version]' 'Signature = "$WINDOWS NT$"' 'Class = System' \
  'ClassGuid = {4d36e97d-e325-11ce-bfc1-08002be10318}' 'Provider = %Contoso%' 'CatalogFile.NTamd64 = ctsio64.cat' \
  'CatalogFile = ctsio.cat' 'DriverVer = 03/01/2026,1.2.3.4' 'PnpLockdown = 1' '' \
  '[SourceDisksNames.amd64]' '1 = %Disk%,,,\amd64' '2 = %Disk%,,,common' '' '[SourceDisksNames]' '1 = %Disk%,,,\x86' '' \
  '[SourceDisksFiles.amd64]' 'ctsio.sys = 1,drivers' 'ctsiohelp.dll = 2' '' \
  '[SourceDisksFiles]' 'ctsio.sys = 1' 'ctsio.ini = 1,config' '' \
  '[Manufacturer]' '%Contoso% = Contoso, NTamd64' '' '[Contoso.NTamd64]' '%Device% = CtsIo_Install, PCI\VEN_1B36&DEV_0005' '' \
  '[CtsIo_Install.NT]' 'CopyFiles = CtsIo.Driver, CtsIo.Helper' '' '[CtsIo.Driver]' 'ctsio.sys' '' \
  '[CtsIo.Helper]' 'ctsiohelp.dll' 'ctsio.ini' '' '[DestinationDirs]' 'DefaultDestDir = 13' '' \
  '[CtsIo_Install.NT.Services]' 'AddService = ctsio, 2, CtsIo.Service' '' \
  '[CtsIo.Service]' 'ServiceType = 1' 'StartType = 3' 'ErrorControl = 1' 'ServiceBinary = %13%\ctsio.sys' '' \
  '[Strings]' 'Contoso = "Contoso Ltd."' 'Disk = "Contoso drivers"' 'Device = "Contoso PCI test device"' \
  >drivers/contoso/ctsio.inf
python3 "$source/tests/support/inf_named_files.py" drivers || fail "inf_named_files.py"
cp "$source/tests/data/virtio-vm.reg.txt" system.reg
printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_1B36&DEV_0005&SUBSYS_11001AF4&REV_00\\3&267a616a&0&40]\n"ConfigFlags"=dword:00000040\n' >>system.reg

env -u DISPLAY "$run" "$exe" --drivers drivers --collect out system.reg >collect.out 2>collect.err </dev/null
check "--collect: exit status" "0" "$?"
check "--collect: nothing on standard error" "" "$(tr -d '\r' <collect.err)"
check "--collect: the last line" "5 driver packages for 5 devices copied into out" "$(tr -d '\r' <collect.out | tail -1)"
# The four whose drivers the folder betters, the one with none; the balloon's
# installed driver is newer than the folder's, the host bridge has Windows' own.
check "the packages the devices need, and no other" "ctsio/ctsio.inf netkvm/netkvm.inf viorng/viorng.inf vioser/vioser.inf viostor/viostor.inf" \
  "$(cd out && ls -d */*.inf | sort | tr '\n' ' ' | sed 's/ $//')"
check "README.txt: a paragraph a package" "5" "$(grep -c '^[a-z]*\\[a-z]*\.inf'$'\r''\?$' out/README.txt)"
check "nothing left aside" "" "$(cd out && ls -A | grep -v -x -e README.txt -e ctsio -e netkvm -e viorng -e vioser -e viostor)"

"$run" "$probe" out >probe.out 2>probe.err </dev/null
check "setupapi finds every file the collected INFs name: exit status" "0" "$?"
check "setupapi: the files of each INF" "ctsio\\ctsio.inf: 4 files
netkvm\\netkvm.inf: 3 files
viorng\\viorng.inf: 3 files
vioser\\vioser.inf: 2 files
viostor\\viostor.inf: 2 files" "$(tr -d '\r' <probe.out | sort)"

# The probe itself: a file gone from a package, and one the INF names
# outside it, are seen.
cp -r out damaged
rm damaged/ctsio/amd64/config/ctsio.ini
sed -i 's/^2 = %Disk%,,,common/2 = %Disk%,,,..\\..\\common/' damaged/ctsio/ctsio.inf
"$run" "$probe" damaged >probe.out 2>&1 </dev/null
check "the probe: a file gone, exit status" "1" "$?"
check "the probe: the file gone and the one outside named" "2" "$(grep -c -e '^missing: ctsio\\ctsio.inf: ctsio.ini: not there' \
  -e '^missing: ctsio\\ctsio.inf: ctsiohelp.dll: outside the package' probe.out)"
finish
