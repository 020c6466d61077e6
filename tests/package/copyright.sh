#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The package's copyright file as lintian checks Debian's machine-readable
# format: in a source package of the project's files and FLTK's (whose
# patterns it names), through lintian's debian/copyright checks alone. Any
# tag, however minor, fails.
# Usage: copyright.sh BUILD_DIR SOURCE_DIR FLTK_TARBALL
set -u
build=$(realpath "$1") source=$(realpath "$2") fltk=$3
. "$(dirname "$0")/../e2e/xvfb.sh"
[ -f "$fltk" ] || { echo "skipped: no FLTK source at $fltk"; exit 77; }
git -C "$source" rev-parse --git-dir >/dev/null 2>&1 || { echo "skipped: $source is no git work tree"; exit 77; }
tree=$work/corvane-1.0
mkdir -p "$tree/debian/source" "$tree/fltk"
(cd "$source" && git ls-files -z | xargs -0 tar -c) | tar -x -C "$tree"
tar -xzf "$fltk" --strip-components=1 -C "$tree/fltk"
cp "$build/packaging/copyright" "$tree/debian/copyright"
echo "3.0 (native)" >"$tree/debian/source/format"
printf 'Source: corvane\nMaintainer: Corvane developers <corvane@example.org>\nStandards-Version: 4.6.2\n
Package: corvane\nArchitecture: any\nDescription: PCI devices\n PCI devices.\n' >"$tree/debian/control"
printf 'corvane (1.0) unstable; urgency=medium\n\n  * Checked.\n\n -- Corvane developers <corvane@example.org>  Tue, 08 Dec 2026 00:00:00 +0000\n' \
  >"$tree/debian/changelog"
(cd "$work" && dpkg-source -Zgzip -z1 -b corvane-1.0 >dpkg-source.log 2>&1) || fail "dpkg-source: $(cat "$work/dpkg-source.log")"
tags=$(lintian -C debian/copyright,debian/copyright/dep5 --pedantic -I -E "$work/corvane_1.0.dsc" 2>&1 |
  grep -v "running with root privileges")
check "lintian on the copyright file" "" "$tags"
finish
