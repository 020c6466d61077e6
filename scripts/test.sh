#!/usr/bin/env bash
# Builds both builds and runs every test in each: plain, then sanitized.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh --sanitize
jobs=$(nproc)
status=0
for dir in build build-sanitize; do
  echo "== tests in $dir"
  (cd "$dir" && ctest --output-on-failure -j"$jobs") || status=1
done
exit $status
