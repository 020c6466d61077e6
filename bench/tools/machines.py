#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Makes machines for the benchmarks from pci.ids, reproducibly (a fixed seed):

  machines.py exports DIR COUNT      COUNT registry exports (UTF-16, as `reg export`
                                     writes them) of 40 to 120 devices each
  machines.py dump FILE FUNCTIONS    one lspci -x dump of FUNCTIONS functions,
                                     each of its own vendor, device and subsystem
  machines.py export FILE DEVICES    one registry export of DEVICES devices
  machines.py system FILE MEGABYTES  an export of all of HKEY_LOCAL_MACHINE\\SYSTEM of
                                     about MEGABYTES (services, other buses), its PCI
                                     branch of 60 devices in the middle
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


def device_keys(chosen, rng, control_set="CurrentControlSet", below_instance=False):
    """The lines of the PCI branch's keys; with below_instance, the keys Windows keeps
    below each instance as well."""
    out = []
    for number, (vendor, vendor_name, device, device_name) in enumerate(chosen):
        key = "VEN_%s&DEV_%s&SUBSYS_%04X%s&REV_%02X" % (vendor.upper(), device.upper(), number, vendor.upper(),
                                                        rng.randrange(256))
        instance = "4&%x&0&%04X" % (rng.randrange(1 << 28), number * 8)
        klass = rng.choice(CLASSES)
        path = "HKEY_LOCAL_MACHINE\\SYSTEM\\%s\\Enum\\PCI\\%s\\%s" % (control_set, key, instance)
        out += ["[%s]" % path,
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
        if below_instance:
            out += ["[%s\\Device Parameters]" % path, '"SymbolicName"="\\\\??\\\\PCI#%s#%s"' % (key, instance), "",
                    "[%s\\Device Parameters\\Interrupt Management]" % path, "",
                    "[%s\\Device Parameters\\Interrupt Management\\MessageSignaledInterruptProperties]" % path,
                    '"MSISupported"=dword:00000001', "", "[%s\\LogConf]" % path, ""]
    return out


def export(path, chosen, rng):
    out = ["Windows Registry Editor Version 5.00", ""] + device_keys(chosen, rng)
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "\r\n".join(out).encode("utf-16-le"))


def hex_lines(name, data):
    """A binary value as regedit writes it: hex bytes, 25 a line after the first."""
    text = '"%s"=hex:' % name + ",".join("%02x" % b for b in data)
    lines = []
    while len(text) > 80:
        cut = text.rfind(",", 0, 78) + 1
        lines.append(text[:cut] + "\\")
        text = "  " + text[cut:]
    return lines + [text]


def system(path, chosen, megabytes, rng):
    """All of HKEY_LOCAL_MACHINE\\SYSTEM as `reg export HKLM\\SYSTEM` writes it: keys of
    services and of other buses, with binary values, before and after the PCI branch."""
    root = "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001"
    with open(path, "wb") as f:
        written = f.write(b"\xff\xfe")

        def put(lines):
            return f.write(("\r\n".join(lines) + "\r\n").encode("utf-16-le"))

        def filler(until, first):
            nonlocal written
            number = first
            while written < until:
                service = "%s\\Services\\svc%06d" % (root, number)
                usb = "%s\\Enum\\USB\\VID_%04X&PID_%04X\\%d" % (root, number >> 16, number & 0xFFFF, number)
                written += put(["[%s]" % service, '"Type"=dword:00000001', '"Start"=dword:00000003',
                                '"ImagePath"="\\\\SystemRoot\\\\System32\\\\drivers\\\\svc%06d.sys"' % number,
                                '"DisplayName"="@oem%d.inf,%%svc%%;Service %d"' % (number, number), "",
                                "[%s\\Parameters]" % service] + hex_lines("Blob", rng.randbytes(200)) +
                               ["", "[%s]" % usb, '"DeviceDesc"="@usb.inf,%%usb%%;USB device %d"' % number,
                                '"Service"="usbhub"', ""])
                number += 1
            return number

        written += put(["Windows Registry Editor Version 5.00", "", "[HKEY_LOCAL_MACHINE\\SYSTEM]", ""])
        number = filler(megabytes * 500000, 0)
        written += put(device_keys(chosen, rng, "ControlSet001", below_instance=True))
        filler(megabytes * 1000000, number)
        put(["[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]", '"Current"=dword:00000001', ""])


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
    elif sys.argv[1] == "system":
        system(sys.argv[2], rng.sample(known, 60), int(sys.argv[3]), rng)


main()
