#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Makes a driver store for the benchmarks from the virtio INF files, reproducibly (a fixed seed):

  driverstore.py STORE DEVICES [PACKAGES] [SCALE]

STORE gets PACKAGES folders (default 1,000), one package each as Windows keeps them in
DriverStore\\FileRepository: an INF, a driver file and, for half of them, a catalog. Each INF is
one of the virtio INFs with models of its own added: 2 to 400 models lines (a line for each
1,200 characters of the INF) for a vendor and
devices of its own, in a section decorated for Windows 10 1809 and later and an older one, an
install section (some with FeatureScore, ExcludeID or DriverVer), strings in [Strings] and in
five other languages, and add-registry sections as the rest of a large INF. Sizes vary from
4 kB to 1.5 MB, about 62 MB in all (times SCALE, default 1, which grows the add-registry
sections alone); every second INF is UTF-16LE with a byte-order mark, as Windows' own INFs
often are. DEVICES gets 100 devices, a line each: their hardware IDs, " | ", their compatible
IDs, as Windows 10 gives them; 60 of them have drivers in the store.
"""
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TEMPLATES = os.path.join(HERE, "..", "..", "tests", "data", "virtio-win-inf")
TOTAL_BYTES = 62 * 1000 * 1000
LANGUAGES = ["0407", "040C", "0410", "0411", "0804"]


def templates():
    found = []
    for root, _, files in os.walk(TEMPLATES):
        for name in sorted(files):
            if name.lower().endswith(".inf"):
                with open(os.path.join(root, name), encoding="ascii") as inf:
                    found.append((name[:-4], inf.read()))
    return sorted(found)


def windows_ids(vendor, device, sub_vendor, sub_device, revision, class_code):
    dev = "PCI\\VEN_%04X&DEV_%04X" % (vendor, device)
    subsys, rev, cc = "&SUBSYS_%04X%04X" % (sub_device, sub_vendor), "&REV_%02X" % revision, "%06X" % class_code
    hardware = [dev + subsys + rev, dev + subsys, dev + "&CC_" + cc, dev + "&CC_" + cc[:4]]
    compatible = [dev + rev, dev, "PCI\\VEN_%04X&CC_%s" % (vendor, cc), "PCI\\VEN_%04X&CC_%s" % (vendor, cc[:4]),
                  "PCI\\VEN_%04X" % vendor, "PCI\\CC_" + cc, "PCI\\CC_" + cc[:4]]
    return hardware, compatible


def models(rng, package, count):
    """(description key, hardware ID, compatible ID, device) of each models line."""
    vendor = 0x1000 + package * 7 % 0x8000
    lines = []
    for number in range(count):
        device = (package * 131 + number) & 0xFFFF
        sub_vendor, sub_device, revision = rng.choice([vendor, 0x1AF4, 0x17AA]), rng.randrange(0x10000), rng.randrange(8)
        hardware = "PCI\\VEN_%04X&DEV_%04X&SUBSYS_%04X%04X&REV_%02X" % (vendor, device, sub_device, sub_vendor, revision)
        lines.append(("Dev%d" % number, hardware, "PCI\\VEN_%04X&DEV_%04X" % (vendor, device),
                      (vendor, device, sub_vendor, sub_device, revision)))
    return lines


def add_registry(rng, size, scale):
    """Add-registry sections of about `size` characters."""
    out, written, section = [], 0, 0
    while written < size * scale:
        section += 1
        lines = ["[Gen.Reg%d]" % section]
        for number in range(rng.randrange(10, 60)):
            name = "Param%d_%d" % (section, number)
            lines.append('HKR, Ndi\\Params\\%s, ParamDesc, 0, %%%s%%' % (name, name))
            lines.append('HKR, Ndi\\Params\\%s, Default, 0, "%d"' % (name, rng.randrange(100)))
            lines.append('HKR, "Ndi\\Params\\%s\\enum", "%d", 0, %%Enable%% ; option' % (name, number))
        text = "\r\n".join(lines) + "\r\n"
        out.append(text)
        written += len(text)
    return "".join(out)


def package_text(rng, package, template, size, scale, lines):
    decorations = "NTamd64.6.1, NTamd64.10.0...17763"
    out = [template, "\r\n[Manufacturer]\r\n%Gen.Vendor% = Gen.Models, " + decorations + "\r\n"]
    for decoration in ["NTamd64.6.1", "NTamd64.10.0...17763"]:
        out.append("\r\n[Gen.Models.%s]\r\n" % decoration)
        for key, hardware, compatible, _ in lines:
            out.append("%%%s%% = Gen.Install, %s, %s\r\n" % (key, hardware, compatible))
    out.append("\r\n[Gen.Install.NTamd64]\r\nCopyFiles = Gen.Files\r\nAddReg = Gen.Reg1\r\n")
    if package % 3 == 0:
        out.append("FeatureScore = F%X\r\n" % (package % 16))
    if package % 5 == 0:
        out.append("ExcludeID = %s\r\n" % lines[0][1])
    if package % 7 == 0:
        out.append("DriverVer = 0%d/1%d/2025,1.%d.0.0\r\n" % (package % 9 + 1, package % 10, package))
    out.append("\r\n[Gen.Files]\r\ngen%d.sys\r\n" % package)
    text = "".join(out)
    strings = ["\r\n[Strings]\r\nGen.Vendor = \"Vendor %d, Inc.\"\r\nEnable = \"Enabled\"\r\n" % package]
    strings += ['%s = "Vendor %d Device %d controller (%s)"\r\n' % (key, package, number, hardware)
                for number, (key, hardware, _, _) in enumerate(lines)]
    for language in LANGUAGES:
        strings.append("\r\n[Strings.%s]\r\nGen.Vendor = \"Vendor %d (%s)\"\r\n" % (language, package, language))
        strings += ['%s = "Device %d %s"\r\n' % (key, number, language) for number, (key, _, _, _) in enumerate(lines)]
    strings = "".join(strings)
    return text + add_registry(rng, max(0, size - len(text) - len(strings)), scale) + strings


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    store, devices_path = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    scale = float(sys.argv[4]) if len(sys.argv) > 4 else 1.0
    rng = random.Random(31)
    sources = templates()
    sizes = [min(1500000, max(4000, rng.lognormvariate(10.3, 1.0))) for _ in range(count)]
    factor = TOTAL_BYTES * count / 1000 / sum(sizes)
    drivers = []
    for package in range(count):
        name, template = sources[package % len(sources)]
        utf16 = package % 2 == 0
        size = int(sizes[package] * factor / (2 if utf16 else 1))
        # A line costs some 400 characters in all (two models sections, six strings sections):
        # about a third of the INF, the rest its other sections.
        lines = models(rng, package, max(2, min(400, size // 1200)))
        text = package_text(rng, package, template, size, scale, lines)
        folder = os.path.join(store, "%s.inf_amd64_%016x" % (name, rng.getrandbits(64)))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + ".inf"), "wb") as inf:
            inf.write(b"\xff\xfe" + text.encode("utf-16-le") if utf16 else text.encode("ascii"))
        with open(os.path.join(folder, name + ".sys"), "wb") as driver:
            driver.write(bytes(rng.getrandbits(8) for _ in range(512)))
        if package % 2 == 1:
            with open(os.path.join(folder, name + ".cat"), "wb") as catalog:
                catalog.write(b"0\x82")
        drivers += [line[3] for line in lines]
    with open(devices_path, "w") as out:
        for number in range(100):
            if number < 60:
                vendor, device, sub_vendor, sub_device, revision = rng.choice(drivers)
                if number % 3 == 0:
                    sub_device ^= 0x10  # a subsystem of its own: the compatible IDs meet
            else:
                vendor, device, sub_vendor, sub_device, revision = (0xE000 + number, number, 0xE000, number, 1)
            hardware, compatible = windows_ids(vendor, device, sub_vendor, sub_device, revision,
                                               rng.choice([0x020000, 0x010802, 0x030000, 0x0C0330]))
            out.write(" ".join(hardware) + " | " + " ".join(compatible) + "\n")


if __name__ == "__main__":
    main()
