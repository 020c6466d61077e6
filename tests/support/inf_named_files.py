#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Makes the files the INFs below FOLDER name, beside each INF, as a driver's distribution holds them:

  inf_named_files.py FOLDER

the catalogs [Version] names (CatalogFile and its decorated forms) and every file of
[SourceDisksFiles] and [SourceDisksFiles.amd64], in the disk's path its [SourceDisksNames] or
[SourceDisksNames.amd64] line gives (each of them where both give one) and the file's subfolder;
each file holds its own path. Read on its own, apart from the program's INF reader, for the tests
that check what the program copies. named_files() is for the benchmarks.
"""
import os
import re
import sys


def sections(text):
    found, name = {}, None
    for raw in text.splitlines():
        line = raw.split(";", 1)[0].strip()
        header = re.match(r"\[(.+)\]$", line)
        if header:
            name = header.group(1).strip().lower()
            found.setdefault(name, [])
        elif line and name:
            found[name].append(line)
    return found


def fields(line):
    key, _, rest = line.partition("=")
    return key.strip(), [field.strip().strip('"') for field in rest.split(",")]


def named_files(text):
    """The paths ('/'-separated, below the INF's folder) of the files an INF's text names."""
    found = sections(text)
    disks = {}
    for section in ("sourcedisksnames", "sourcedisksnames.amd64"):
        for line in found.get(section, []):
            key, values = fields(line)
            disks.setdefault(key, []).append(values[3] if len(values) > 3 else "")
    paths = []
    for line in found.get("version", []):
        key, values = fields(line)
        if key.lower().startswith("catalogfile") and values[0]:
            paths.append(values[0])
    for section in ("sourcedisksfiles", "sourcedisksfiles.amd64"):
        for line in found.get(section, []):
            name, values = fields(line)
            subfolder = values[1] if len(values) > 1 else ""
            for disk_path in disks.get(values[0], [""]):
                parts = [part for piece in (disk_path, subfolder, name) for part in re.split(r"[\\/]", piece) if part]
                paths.append("/".join(parts))
    return paths


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for root, _, names in os.walk(sys.argv[1]):
        for name in names:
            if not name.lower().endswith(".inf"):
                continue
            with open(os.path.join(root, name), encoding="utf-8", errors="replace") as inf:
                paths = named_files(inf.read())
            for path in paths:
                target = os.path.join(root, *path.split("/"))
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "w") as out:
                    out.write(path + "\n")


if __name__ == "__main__":
    main()
