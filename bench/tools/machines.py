#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Makes machines for the benchmarks from pci.ids, reproducibly (a fixed seed):

  machines.py exports DIR COUNT      COUNT registry exports (UTF-16, as `reg export`
                                     writes them) of 40 to 120 devices each
  machines.py dump FILE FUNCTIONS    one lspci -x dump of FUNCTIONS functions,
                                     each of its own vendor, device and subsystem
  machines.py export FILE DEVICES    one registry export of DEVICES devices
"""
import random
import sys

CLASSES = ["Net", "Display", "USB", "System", "HDC", "MEDIA", "SCSIAdapter", "Bluetooth"]


def devices(pci_ids):
    """(vendor id, vendor name, device id, device name) of every device line."""
    found, vendor = [], None
    with open(pci_ids, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            if line.startswith("C "):
                break
            if line[:1] not in ("\t", "#", "\n") and len(line) > 6 and line[4] == " ":
                vendor = (line[:4], line[6:].strip())
            elif line.startswith("\t") and not line.startswith("\t\t") and vendor and len(line) > 7:
                found.append((vendor[0], vendor[1], line[1:5], line[7:].strip()))
    return found


def export(path, chosen, rng):
    out = ["Windows Registry Editor Version 5.00", ""]
    for number, (vendor, vendor_name, device, device_name) in enumerate(chosen):
        key = "VEN_%s&DEV_%s&SUBSYS_%04X%s&REV_%02X" % (vendor.upper(), device.upper(), number, vendor.upper(),
                                                        rng.randrange(256))
        instance = "4&%x&0&%04X" % (rng.randrange(1 << 28), number * 8)
        klass = rng.choice(CLASSES)
        out += ["[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\%s\\%s]" % (key, instance),
                '"DeviceDesc"="@oem%d.inf,%%dev_%s%%;%s"' % (number, device, device_name.replace('"', "'")),
                '"LocationInformation"="@System32\\\\drivers\\\\pci.sys,#65536;PCI bus %%1, device %%2, function '
                '%%3;(%d,%d,0)"' % (number // 32, number % 32),
                '"Capabilities"=dword:00000010',
                '"ContainerID"="{00000000-0000-0000-ffff-ffffffffffff}"',
                '"HardwareID"=hex(7):50,00,43,00,49,00,00,00,00,00',
                '"ConfigFlags"=dword:%08x' % (0 if rng.random() > 0.05 else 0x40),
                '"ClassGUID"="{4d36e972-e325-11ce-bfc1-08002be10318}"',
                '"Class"="%s"' % klass,
                '"Driver"="{4d36e972-e325-11ce-bfc1-08002be10318}\\\\%04d"' % number,
                '"Mfg"="@oem%d.inf,%%mfg%%;%s"' % (number, vendor_name.replace('"', "'")),
                '"Service"="svc%s"' % device, ""]
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "\r\n".join(out).encode("utf-16-le"))


def dump(path, chosen):
    with open(path, "w") as f:
        for number, (vendor, _, device, _) in enumerate(chosen):
            config = bytearray(256)
            config[0:4] = bytes.fromhex(vendor)[::-1] + bytes.fromhex(device)[::-1]
            config[8:12] = bytes([1, 0, 0x00, 0x02])  # revision, interface, class 02 00
            config[44:48] = bytes.fromhex(vendor)[::-1] + number.to_bytes(2, "little")
            bus, slot = number // 256, (number % 256) // 8
            f.write("%04x:%02x:%02x.%d Ethernet controller: made\n" % (bus // 256, bus % 256, slot, number % 8))
            for row in range(4):  # as lspci -x prints it
                f.write("%02x: %s\n" % (row * 16, " ".join("%02x" % b for b in config[row * 16:row * 16 + 16])))
            f.write("\n")


def main():
    rng = random.Random(20261208)
    known = devices("/usr/share/misc/pci.ids")
    if sys.argv[1] == "exports":
        directory, count = sys.argv[2], int(sys.argv[3])
        for n in range(count):
            export("%s/machine-%04d.reg" % (directory, n), rng.sample(known, rng.randint(40, 120)), rng)
    elif sys.argv[1] == "dump":
        dump(sys.argv[2], rng.sample(known, int(sys.argv[3])))
    elif sys.argv[1] == "export":
        export(sys.argv[2], rng.sample(known, int(sys.argv[3])), rng)


main()
