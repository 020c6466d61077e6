#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The drivers a machine needs copied out of a big folder: 1,000 driver packages made from the
# virtio INFs, each with a vendor's IDs of its own and every file its INF names, drivers and
# libraries of 100 KiB to 2 MiB (bench/tools/driverpackages.py, about 0.9 GB), and a registry
# export of 80 devices with no driver, each needing a package of its own. Times
# `corvane-list --drivers FOLDER --collect OUT EXPORT` (the folder's INFs read and matched, each
# package's files found and copied, the README written) against `cp --parents` of exactly the
# files it copied, each run into a new folder, the files in the page cache;
# medians of RUNS runs (default 15), the commands taking turns; and
# `corvane-list --drivers FOLDER EXPORT` alone, the part of the time the folder's reading takes.
# Goal: at most 2 times cp's time. Usage: bench/collect.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-15}
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target corvane-list >/dev/null
lister=$root/build/corvane-list
. "$root/tests/e2e/xvfb.sh"  # $work, removed on exit
cd "$work"
cp "$root/tests/data/devices.lst" .
python3 "$root/bench/tools/driverpackages.py" store export.reg 1000 80
echo "$(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "store: $(find store -type f | wc -l) files, $(du -sm store | cut -f1) MB in $(ls store | wc -l) packages"

# Once: what is collected, each file as it is in the store, and the list cp copies.
"$lister" --drivers store --collect out export.reg >collect.log
tail -1 collect.log
python3 - <<'PYTHON'
import filecmp, os, re, sys
lines = open("out/README.txt", encoding="utf-8").read().splitlines()
files = []
for number, line in enumerate(lines):
    heading = re.match(r"^(\S+)\\\S+\.inf$", line)
    if not heading:
        continue
    inf = lines[number + 1].rsplit(" \u2014 ", 1)[1]  # the package's line ends with its INF's path
    package = os.path.join("out", heading.group(1))
    for folder, _, names in os.walk(package):
        for name in names:
            copied = os.path.join(folder, name)
            source = os.path.join("store", os.path.dirname(inf), os.path.relpath(copied, package))
            if not filecmp.cmp(copied, source, shallow=False):
                sys.exit("%s: not the bytes of %s" % (copied, source))
            files.append(os.path.relpath(source, "store"))
if len(files) + 1 != sum(len(names) for _, _, names in os.walk("out")):
    sys.exit("out/ holds files the README does not account for")
open("files.txt", "w").write("\n".join(files) + "\n")
size = sum(os.path.getsize(os.path.join("store", name)) for name in files)
print("collected: %d files, %.1f MB, each the store's bytes" % (len(files), size / 1e6))
PYTHON
collect="$lister --drivers store --collect out export.reg"
listing="$lister --drivers store export.reg"
copy="cd store && xargs -a ../files.txt cp --parents -t ../copy"
# The commands in turn, run after run: hyperfine runs one command's runs before the next's, and the
# file system's state after one command's many copies weighs on the next (ext4's inode allocator).
python3 - "$runs" "$copy" "$collect" "$listing" <<'PYTHON'
import os, statistics, subprocess, sys, time
os.mkdir("aside")
runs, commands = int(sys.argv[1]), sys.argv[2:]
def timed(command):  # each run into a new folder, the one before moved aside and the writes flushed
    for folder in ("copy", "out"):
        if os.path.exists(folder):
            os.rename(folder, "aside/%d" % time.monotonic_ns())
    os.mkdir("copy")
    os.sync()
    start = time.monotonic()
    subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - start
times = [[] for _ in commands]
for _ in range(runs):  # in turn, so that the machine's load weighs on each alike
    for number, command in enumerate(commands):
        times[number].append(timed(command))
for name, pick in (("medians", statistics.median), ("fastest runs", min)):
    copy, collect, listing = (pick(each) for each in times)
    print("cp --parents %.1f ms; corvane-list --collect %.1f ms, %.2f times cp; of it the folder read and matched "
          "(corvane-list --drivers) %.1f ms (%s)" % (copy * 1e3, collect * 1e3, collect / copy, listing * 1e3, name))
PYTHON
