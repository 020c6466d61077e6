# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced by the window benchmarks (startup.sh, bigmachines.sh) with $root
# set: builds the programs and the timer in Release, starts a private Xvfb
# with a plain root (a window not drawn yet shows no text) and makes the
# full devices.lst from pci.ids in $work, the working directory from then on.
"$root/bench/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j2 --target corvane corvane-list corvane-update startup-floor startup-timer >/dev/null
. "$root/tests/e2e/xvfb.sh"
start_xvfb -br
"$root/build/corvane-update" --output "$work/devices.lst" >/dev/null
cd "$work"
