#!/usr/bin/env bash
# Start-up time of corvane, with the full pci.ids-derived devices.lst, against
# lspci -nn on the same machine, under a private Xvfb. Usage: bench/startup.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-21}
. "$root/tests/e2e/xvfb.sh"
start_xvfb
"$root/build/corvane-update" --output "$work/devices.lst" >/dev/null
cd "$work"
"$root/build/bench/startup-timer" "$runs" "$root/build/corvane" -- "lspci -nn"
