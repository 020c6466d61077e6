#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds and runs every test: the plain and the sanitized Linux build, the
# Windows builds (64-bit tests under Wine, 32-bit compiled and linked), and a
# short fuzz run. With CORVANE_PACKAGE_TESTS=1 (CI) the plain build's tests
# also install the Debian package on this machine and purge it again.
#   scripts/test.sh --quick   the plain build and its unit tests alone, for the
#                             edit-compile-test loop: no apt-get, display, Wine or
#                             sanitizers; the last line says how many ran
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
if [ "${1:-}" = "--quick" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j"$jobs"
  cd build
  count=$(ctest -N -L unit | sed -n 's/^Total Tests: //p')
  status=0
  ctest -L unit --no-tests=error --output-on-failure -j"$jobs" || status=$?
  echo "== $count unit tests $([ $status -eq 0 ] && echo passed || echo FAILED) ($SECONDS s, the build included)"
  exit $status
fi
scripts/install-deps.sh
scripts/build.sh --sanitize
status=0
for dir in build build-sanitize; do
  echo "== tests in $dir (at $SECONDS s)"
  (cd "$dir" && ctest --output-on-failure -j"$jobs") || status=1
done
scripts/test-windows.sh || status=1
echo "== a short fuzz run (at $SECONDS s)"
scripts/fuzz.sh || status=1
echo "== done in $SECONDS s"
exit $status
