#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the plain Release build in build/ and, with --sanitize, the
# AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/.
# With --programs, the three programs alone (not the tests and benchmarks):
# what scripts/run.sh needs, in a fraction of the time on a new machine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ "${1:-}" = "--programs" ]; then
  cmake --build build -j"$jobs" --target corvane corvane-list corvane-update
  exit 0
fi
cmake --build build -j"$jobs"
if [ "${1:-}" = "--sanitize" ]; then
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_SANITIZE=ON -DCORVANE_BENCH=OFF >/dev/null
  cmake --build build-sanitize -j"$jobs"
fi
