#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Machines of many functions: synthetic lspci dumps of 100, 1,000 and 5,000
# functions, each of its own vendor, device and subsystem, and registry exports
# of as many devices (bench/tools/machines.py makes them from pci.ids). Per
# size, under one private Xvfb, each program in turn for RUNS rounds (default
# 15): corvane-list FILE against lspci -F FILE -nn until exit; corvane FILE
# against the toolkit's floor showing the same closed device lines and marks,
# until text shows.
# Goals: corvane at most 1.15 times the floor at 1,000 and 1.3 at 5,000, from
# a dump and from an export alike; corvane-list on the export of 5,000 at most
# 1.2 times lspci, and its peak memory at most 1.5 times lspci's.
# Usage: bench/bigmachines.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-15}
. "$root/bench/window-setup.sh"
echo "$(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load $(cut -d' ' -f1-3 /proc/loadavg)"
for functions in 100 1000 5000; do
  python3 "$root/bench/tools/machines.py" dump "dump$functions.txt" "$functions"
  python3 "$root/bench/tools/machines.py" export "export$functions.reg" "$functions"
  # The floor: each device's line, closed over one line below it, and its mark.
  "$root/build/corvane-list" "dump$functions.txt" | grep '^[^ ]' | sed 's/$/\n  ./' >"lines$functions"
  marks=$("$root/build/corvane-list" --json "dump$functions.txt" | python3 "$root/bench/tools/floor_marks.py")
  echo "== $functions functions"
  "$root/build/bench/startup-timer" "$runs" \
    --window floor "$root/build/bench/startup-floor --marks $marks --lines lines$functions" \
    --window "corvane, a dump" "$root/build/corvane dump$functions.txt" \
    --window "corvane, an export" "$root/build/corvane export$functions.reg" \
    --exit "lspci -F -nn" "lspci -F dump$functions.txt -nn" \
    --exit "corvane-list, a dump" "$root/build/corvane-list dump$functions.txt" \
    --exit "corvane-list, an export" "$root/build/corvane-list export$functions.reg"
done
