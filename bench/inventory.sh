#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# An inventory of many machines: 1,000 registry exports of 40 to 120 devices
# each, as `reg export` writes them (bench/tools/machines.py makes them from
# pci.ids), listed with `corvane-list --csv` in one run, against `cat` of the
# same files; then 100 of them, to show that memory does not grow with their
# number. Goal: at most 5 times cat's time. Medians of RUNS rounds (default 7),
# the two commands in turn. Usage: bench/inventory.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target corvane-list corvane-update >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$root/build/corvane-update" --output devices.lst >/dev/null
mkdir exports
python3 "$root/bench/tools/machines.py" exports exports 1000
echo "$(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "1,000 exports, $(du -sm exports | cut -f1) MB, $(cat exports/*.reg | iconv -f UTF-16 -t UTF-8 | grep -c '^\[') devices"
python3 - "$root/build/corvane-list" "$runs" <<'PYTHON'
import glob, os, statistics, subprocess, sys, time
program, runs = sys.argv[1], int(sys.argv[2])
def measure(command):
    start = time.monotonic()
    with open(os.devnull, "wb") as sink:
        child = subprocess.Popen(command, stdout=sink, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
    if status != 0:
        sys.exit("failed: %s" % command[:3])
    return time.monotonic() - start, usage.ru_maxrss / 1024
for count in (1000, 100):
    files = sorted(glob.glob("exports/*.reg"))[:count]
    timing = {"cat": [], "corvane-list --csv": []}
    memory = []
    for _ in range(runs):
        timing["cat"].append(measure(["cat"] + files)[0])
        seconds, peak = measure([program, "--csv"] + files)
        timing["corvane-list --csv"].append(seconds)
        memory.append(peak)
    cat, listed = statistics.median(timing["cat"]), statistics.median(timing["corvane-list --csv"])
    print("%5d files: cat %.1f ms; corvane-list --csv %.1f ms, %.2f times cat, %.0f files/s, peak %.1f MB"
          % (count, cat * 1000, listed * 1000, listed / cat, count / listed, statistics.median(memory)))
PYTHON
