#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Start-up in fresh processes, under a private Xvfb, with the full devices.lst
# the updater makes from pci.ids, each program in turn, round after round:
# - until the first window shows text: corvane; the toolkit's floor
#   (bench/startup-floor: the same window, tree, lines and marks as corvane
#   shows here, and nothing read), with the display opened as corvane opens it and
#   as FLTK does by itself; lshw-gtk and hardinfo when installed;
# - until exit: corvane-list, lspci -n and lspci -nn.
# One table: medians, ratios to the floor and to lspci -n, peak resident memory.
# Usage: bench/startup.sh [RUNS]   (default 15)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-15}
. "$root/bench/window-setup.sh"

# The floor's lines: the tree corvane-list prints here (after the line feed
# that loading devices.lst writes), and the devices' marks.
mapfile -t lines < <("$root/build/corvane-list" | tail -n +2)
marks=$("$root/build/corvane-list" --json | python3 "$root/bench/tools/floor_marks.py")
floor=$(printf '%q ' "$root/build/bench/startup-floor" --marks "$marks" "${lines[@]}")
floorDefaults=$(printf '%q ' "$root/build/bench/startup-floor" --toolkit-defaults --marks "$marks" "${lines[@]}")
programs=(--window floor "$floor" --window corvane "$root/build/corvane"
          --window "floor, FLTK's defaults" "$floorDefaults")
for peer in lshw-gtk hardinfo; do
  if path=$(command -v "$peer"); then programs+=(--window "$peer" "$path"); fi
done
programs+=(--exit "lspci -n" "lspci -n" --exit corvane-list "$root/build/corvane-list"
           --exit "lspci -nn" "lspci -nn")

echo "$(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(free -g | awk '/^Mem:/ {print $2}') GiB," \
     "Linux $(uname -r), Debian $(cat /etc/debian_version), load $(cut -d' ' -f1-3 /proc/loadavg)"
"$root/build/bench/startup-timer" "$runs" "${programs[@]}"
