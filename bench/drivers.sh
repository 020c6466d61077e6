#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A folder of drivers matched against devices: a driver store of 1,000 packages, about 62 MB of
# INF text, every second INF UTF-16LE (bench/tools/driverstore.py makes it from the virtio INFs),
# read into the index and asked for the drivers of 100 devices (build/bench/drivers-bench, what
# `corvane-list --drivers` does before it prints), and `corvane-list --drivers` itself listing a
# registry export of the same 100 devices, against `cat` of the same INF files; the three in
# turn, medians of RUNS rounds (default 15). Goal: at most 4 times cat's time. Then the peak
# memory drivers-bench reports (its own, not what its parent had) for the store, the same store
# with its INFs twice as large (the add-registry sections grown, the models the same), half and a
# quarter of it, and a folder of 100,000 files, 10 of them INFs: it follows the index of IDs and
# the largest file, not the text read. Then that folder's time against find(1) looking for the
# INFs. Then the same store as a .zip and a .cab (Debian's zip and gcab): the fits the same as the
# folder's, and corvane-list's time on each against the folder's (goal: at most 2 times). Last, under
# a private Xvfb, the window's time until it first shows text on the export of the 100 devices, with
# the store and without (goal: at most 1.15 times). Usage: bench/drivers.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-15}
"$root/scripts/install-deps.sh" zip gcab libxdamage-dev  # the archives, and the window's timer
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target drivers-bench corvane-list corvane startup-timer >/dev/null
. "$root/tests/e2e/xvfb.sh"  # $work, removed on exit with the Xvfb started below
cd "$work"
for packages in 1000 500 250; do
  python3 "$root/bench/tools/driverstore.py" "store$packages" "devices$packages.txt" "$packages"
done
python3 "$root/bench/tools/driverstore.py" store2x devices2x.txt 1000 2
cp "$root/tests/data/devices.lst" .
# The 100 devices as a registry export records them, their hardware and compatible IDs with them.
python3 - <<'PYTHON'
lines = ["REGEDIT4", ""]
def multi(ids):
    return ",".join("%02x" % b for b in ("\0".join(ids) + "\0\0").encode("ascii"))
for number, line in enumerate(open("devices1000.txt")):
    hardware, compatible = (part.split() for part in line.split(" | "))
    key = hardware[0].split("\\", 1)[1]
    lines += ["[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\%s\\%d]" % (key, number),
              '"DeviceDesc"="device %d"' % number, '"HardwareID"=hex(7):' + multi(hardware),
              '"CompatibleIDs"=hex(7):' + multi(compatible), ""]
open("export100.reg", "w", newline="\r\n").write("\n".join(lines))
PYTHON
mkdir many
python3 - <<'PYTHON'
import os, shutil
for number in range(100000 - 10):
    open("many/file%06d.txt" % number, "w").close()
store = sorted(os.path.join(root, name) for root, _, names in os.walk("store1000") for name in names
               if name.endswith(".inf"))
for number in range(10):
    shutil.copy(store[number], "many/driver%d.inf" % number)
PYTHON
echo "$(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load $(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$root/build/bench/drivers-bench" "$runs" "$root/build/corvane-list" <<'PYTHON'
import os, re, statistics, subprocess, sys, time
program, runs, lister = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def measure(command):
    # The time until exit, and the peak memory drivers-bench says it had (cat writes to /dev/null).
    bench = command[0] == program
    start = time.monotonic()
    with open("out" if bench else os.devnull, "wb") as sink:
        status = subprocess.call(command, stdout=sink, stderr=subprocess.DEVNULL)
    seconds = time.monotonic() - start
    if status != 0:
        sys.exit("failed: %s" % command[:3])
    peak = re.search(r"peak ([0-9.]+) MB", open("out").read()) if bench else None
    return seconds, float(peak.group(1)) if peak else 0.0
def infs(store):
    return sorted(os.path.join(root, name) for root, _, names in os.walk(store) for name in names
                  if name.lower().endswith(".inf"))
def describe(store):
    files = infs(store)
    size = sum(os.path.getsize(name) for name in files)
    utf16 = sum(os.path.getsize(name) for name in files if open(name, "rb").read(2) == b"\xff\xfe")
    return files, "%d INF files, %.1f MB (%.1f MB UTF-16LE)" % (len(files), size / 1e6, utf16 / 1e6)
files, text = describe("store1000")
print(text)
measure(["cat"] + files)  # the files in the page cache
timing = {"cat": [], "drivers-bench": [], "corvane-list": []}
listing = [lister, "--drivers", "store1000", "export100.reg"]
for _ in range(runs):
    timing["cat"].append(measure(["cat"] + files)[0])
    timing["drivers-bench"].append(measure([program, "store1000", "devices1000.txt"])[0])
    timing["corvane-list"].append(measure(listing)[0])
print(open("out").read().strip())
text = subprocess.run(listing, capture_output=True, text=True).stdout
fitted = text.count("  Drivers that fit\n") - text.count("    None of the folder's drivers fits\n")
cat, matched = statistics.median(timing["cat"]), statistics.median(timing["drivers-bench"])
listed = statistics.median(timing["corvane-list"])
print("cat %.1f ms; drivers-bench %.1f ms, %.2f times cat; corvane-list --drivers on an export of the "
      "100 devices (%d with a fit) %.1f ms, %.2f times cat" % (cat * 1000, matched * 1000, matched / cat, fitted,
                                                          listed * 1000, listed / cat))
largest = lambda store: max(os.path.getsize(name) for name in infs(store)) / 1e6
for store, devices in (("store1000", "devices1000.txt"), ("store2x", "devices2x.txt"), ("store500", "devices500.txt"),
                       ("store250", "devices250.txt"), ("many", "devices1000.txt")):
    _, text = describe(store)
    peaks = [measure([program, store, devices])[1] for _ in range(3)]
    print("%-9s peak %4.1f MB: %s, the largest %.1f MB" % (store, statistics.median(peaks), text, largest(store)))
timing = {"find": [], "drivers-bench": []}
for _ in range(max(3, runs // 3)):
    timing["find"].append(measure(["find", "many", "-iname", "*.inf"])[0])
    timing["drivers-bench"].append(measure([program, "many", "devices1000.txt"])[0])
print("100,000 files, 10 INFs: find -iname '*.inf' %.1f ms; drivers-bench %.1f ms"
      % (statistics.median(timing["find"]) * 1000, statistics.median(timing["drivers-bench"]) * 1000))
PYTHON

(cd store1000 && zip -qr ../store1000.zip . && find . -type f | sed 's|^\./||' | xargs gcab -cz ../store1000.cab)
python3 - "$root/build/corvane-list" "$runs" <<'PYTHON'
import statistics, subprocess, sys, time
lister, runs = sys.argv[1], int(sys.argv[2])
def listing(store):
    return subprocess.run([lister, "--drivers", store, "export100.reg"], capture_output=True, check=True).stdout
folder = listing("store1000")
for archive in ("store1000.zip", "store1000.cab"):
    if listing(archive) != folder:
        sys.exit("%s: fits other than the folder's" % archive)
timing = {name: [] for name in ("store1000", "store1000.zip", "store1000.cab")}
for _ in range(runs):
    for name in timing:
        start = time.monotonic()
        listing(name)
        timing[name].append(time.monotonic() - start)
base = statistics.median(timing["store1000"])
print("corvane-list --drivers: folder %.1f ms; " % (base * 1000) +
      "; ".join("%s %.1f ms, %.2f times the folder" % (name[10:], statistics.median(timing[name]) * 1000,
                                                      statistics.median(timing[name]) / base)
                for name in ("store1000.zip", "store1000.cab")) + " (the same fits)")
PYTHON
start_xvfb -br
"$root/build/bench/startup-timer" "$runs" --window "corvane, no drivers" "$root/build/corvane export100.reg" \
  --window "corvane --drivers store1000" "$root/build/corvane --drivers store1000 export100.reg"
