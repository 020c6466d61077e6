#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Makes a folder of driver packages and a machine that needs some of them, reproducibly (a fixed seed):

  driverpackages.py FOLDER EXPORT [PACKAGES] [DEVICES]

FOLDER gets PACKAGES folders (default 1,000), each a package as a vendor's download holds it: one of
the virtio INFs (those for PCI devices) with IDs of a vendor of its own, and every file the INF names
(tests/support/inf_named_files.py says which): drivers, libraries and programs of 100 KiB to 2 MiB
(spread evenly on a log scale), catalogs of 8 KiB. EXPORT gets a registry export of DEVICES devices
(default 80) with no driver installed, each matching a package of its own, spread over the folder.
"""
import math
import os
import random
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
import inf_named_files  # noqa: E402

TEMPLATES = os.path.join(SOURCE, "tests", "data", "virtio-win-inf")
PCI_ID = re.compile(r"PCI\\VEN_[0-9A-Fa-f]{4}&DEV_[0-9A-Fa-f]{4}[^\s,;\"]*")


def templates():
    found = []
    for root, _, names in os.walk(TEMPLATES):
        for name in sorted(names):
            if name.lower().endswith(".inf"):
                with open(os.path.join(root, name), encoding="ascii") as inf:
                    text = inf.read()
                if PCI_ID.search(text) and inf_named_files.named_files(text):
                    found.append((name[:-4], text))
    return sorted(found)


def file_size(rng, path):
    if path.lower().endswith(".cat"):
        return 8 * 1024
    return int(math.exp(rng.uniform(math.log(100 * 1024), math.log(2 * 1024 * 1024))))


def write_package(rng, folder, name, text, block):
    os.makedirs(folder)
    with open(os.path.join(folder, name + ".inf"), "w", newline="") as inf:
        inf.write(text)
    for path in inf_named_files.named_files(text):
        target = os.path.join(folder, *path.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        size = file_size(rng, path)
        start = rng.randrange(len(block) - size)  # bytes of its own, not one repeated page
        with open(target, "wb") as out:
            out.write(block[start:start + size])


def export(devices):
    lines = ["REGEDIT4", ""]

    def multi(ids):
        return ",".join("%02x" % b for b in ("\0".join(ids) + "\0\0").encode("ascii"))
    for number, hardware_id in enumerate(devices):
        vendor_device = re.match(r"PCI\\(VEN_[0-9A-F]{4}&DEV_[0-9A-F]{4})", hardware_id).group(1)
        lines += ["[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\%s&SUBSYS_11001AF4&REV_01\\%d]"
                  % (vendor_device, number),
                  '"DeviceDesc"="device %d"' % number, '"HardwareID"=hex(7):' + multi([hardware_id]),
                  '"CompatibleIDs"=hex(7):' + multi(["PCI\\" + vendor_device]), '"ConfigFlags"=dword:00000040', ""]
    return "\r\n".join(lines)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    folder, export_path = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    wanted = int(sys.argv[4]) if len(sys.argv) > 4 else 80
    rng = random.Random(46)
    block = rng.randbytes(4 * 1024 * 1024)
    sources = templates()
    devices = []
    for package in range(count):
        name, template = sources[package % len(sources)]
        vendor = "VEN_%04X" % (0x2000 + package)
        text = re.sub(r"VEN_[0-9A-Fa-f]{4}", vendor, template)
        write_package(rng, os.path.join(folder, "%04d-%s" % (package, name)), name, text, block)
        if package % (count // wanted) == 0 and len(devices) < wanted:
            devices.append(PCI_ID.search(text).group(0).upper())
    with open(export_path, "w", newline="") as out:
        out.write(export(devices))


if __name__ == "__main__":
    main()
