#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A whole machine's export: all of HKEY_LOCAL_MACHINE\SYSTEM as `reg export
# HKLM\SYSTEM` writes it (UTF-16), MEGABYTES of it (default 300), the PCI
# branch of 60 devices in the middle (bench/tools/machines.py makes it).
# `corvane-list FILE` reads it whole and keeps the branch: its time and peak
# memory as /usr/bin/time -v gives them, against `cat FILE`, medians of RUNS
# runs (default 5). Usage: bench/bigexport.sh [MEGABYTES] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
megabytes=${1:-300} runs=${2:-5}
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target corvane-list corvane-update >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$root/build/corvane-update" --output devices.lst >/dev/null
python3 "$root/bench/tools/machines.py" system system.reg "$megabytes"
echo "$(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "system.reg: $(($(stat -c %s system.reg) / 1000000)) MB, $("$root/build/corvane-list" system.reg | grep -c '^[^ ]') devices listed"
# Elapsed seconds and peak resident kilobytes of one run, from /usr/bin/time -v.
measure() {
  /usr/bin/time -v "$@" >/dev/null 2>time.txt
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = t[n] + (n > 1 ? 60 * t[n - 1] : 0) }
              /Maximum resident set size/ { kb = $2 } END { print s, kb }' time.txt
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for command in "cat system.reg" "$root/build/corvane-list system.reg"; do
  : >runs.txt
  for _ in $(seq "$runs"); do
    measure $command >>runs.txt
  done
  printf '%-14s %6.2f s  peak %6.1f MB\n' "$(basename "${command%% *}")" \
    "$(cut -d' ' -f1 runs.txt | median)" "$(cut -d' ' -f2 runs.txt | median | awk '{ print $1 / 1000 }')"
done
