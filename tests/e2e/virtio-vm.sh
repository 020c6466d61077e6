# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced, in the scratch directory, by the tests of a Windows 11 virtual
# machine's installed drivers against the virtio drivers' folder: drivers/
# (tests/data/virtio-win-inf, each INF with its catalog beside it), the
# machine's export of HKLM\SYSTEM as system.reg and its SYSTEM hive as SYSTEM.
# Needs $source and xvfb.sh's helpers.
cp "$source/tests/data/devices.lst" .
cp -r "$source/tests/data/virtio-win-inf" drivers
for inf in drivers/NetKVM/netkvm.inf drivers/viostor/viostor.inf drivers/vioserial/sys/vioser.inf \
  drivers/viorng/viorng/viorng.inf drivers/Balloon/sys/balloon.inf; do
  catalog=$(sed -n 's/^CatalogFile *= *\([^ ;\r]*\).*/\1/ip' "$inf" | head -1)
  touch "$(dirname "$inf")/$catalog"
done
cp "$source/tests/data/virtio-vm.reg.txt" system.reg
{ sed 's/\\CurrentControlSet\\/\\ControlSet001\\/' system.reg
  printf '\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\n"Current"=dword:00000001\n'; } >hive.reg
bash "$source/tests/support/make-hive.sh" hive.reg SYSTEM >fixtures.log 2>&1 || fail "make-hive.sh: $(cat fixtures.log)"
