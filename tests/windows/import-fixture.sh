#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Loads the PCI registry fixture into the build's Wine prefix, with one
# "reg import" of a Unicode .reg file (made from the UTF-8 text beside this).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
{ printf '\xff\xfe'; sed 's/$/\r/' "$here/pci-fixture.reg.txt" | iconv -f UTF-8 -t UTF-16LE; } >"$out/fixture.reg"
"$here/../../scripts/wine-run.sh" reg import 'Z:'"$(sed 's|/|\\|g' <<<"$out/fixture.reg")" </dev/null >"$out/log" 2>&1 || {
  cat "$out/log"; exit 1; }
echo "fixture imported"
