#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# What `cmake --install` puts into a scratch prefix: exactly these files with
# these modes, a menu entry and metainfo that validate, icons of their sizes,
# man pages that render without warnings. Usage: layout.sh BUILD_DIR
set -u
build=$(realpath "$1")
. "$(dirname "$0")/../e2e/xvfb.sh"  # for the scratch directory and the checks; no display needed
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || fail "cmake --install: $(cat "$work/install.log")"

expected="755 bin/corvane
755 bin/corvane-list
755 bin/corvane-update
644 share/applications/org.corvane.Corvane.desktop
644 share/corvane/corvane-list.schema.json
644 share/doc/corvane/changelog.Debian.gz
644 share/doc/corvane/copyright
755 share/doc/corvane/examples/corvane.fact
644 share/icons/hicolor/16x16/apps/corvane.png
644 share/icons/hicolor/32x32/apps/corvane.png
644 share/icons/hicolor/48x48/apps/corvane.png
644 share/icons/hicolor/scalable/apps/corvane.svg
644 share/lintian/overrides/corvane
644 share/man/man1/corvane-list.1.gz
644 share/man/man1/corvane-update.1.gz
644 share/man/man1/corvane.1.gz
644 share/metainfo/org.corvane.Corvane.metainfo.xml"
check "files and their modes" "$expected" "$(cd "$prefix" && find . -type f -printf '%m %P\n' | LC_ALL=C sort -k2)"
check "directory modes" "755" "$(find "$prefix" -type d -printf '%m\n' | sort -u | xargs)"

for size in 16 32 48; do
  check "icon of $size pixels" "PNG ${size}x$size" \
    "$(identify -format '%m %wx%h' "$prefix/share/icons/hicolor/${size}x$size/apps/corvane.png" 2>&1)"
done
check "scalable icon" "SVG 32x32" "$(identify -format '%m %wx%h' "$prefix/share/icons/hicolor/scalable/apps/corvane.svg" 2>&1)"

desktop=$prefix/share/applications/org.corvane.Corvane.desktop
check "desktop-file-validate" "" "$(desktop-file-validate "$desktop" 2>&1)"
check "the menu starts an installed program" "yes" \
  "$([ -x "$prefix/bin/$(sed -n 's/^Exec=//p' "$desktop")" ] && echo yes)"
check "no terminal" "Terminal=false" "$(grep '^Terminal=' "$desktop")"
appstreamcli validate --no-net "$prefix/share/metainfo/org.corvane.Corvane.metainfo.xml" >"$work/as.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/as.log")"
appstreamcli validate-tree --no-net "$prefix" >"$work/as.log" 2>&1 || fail "appstreamcli validate-tree: $(cat "$work/as.log")"

for page in corvane corvane-list corvane-update; do
  file=$prefix/share/man/man1/$page.1.gz
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null)
  check "man $page renders without warnings" "" "$warnings"
  sections=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$file" 2>/dev/null | grep -E '^[A-Z][A-Z ]+$' | xargs)
  [[ "$sections" == "NAME SYNOPSIS DESCRIPTION "*"FILES EXIT STATUS SEE ALSO" ]] || fail "man $page sections: $sections"
done

for program in corvane corvane-list corvane-update; do
  check "$program has no run path" "" "$(readelf -d "$prefix/bin/$program" | grep -E 'RPATH|RUNPATH')"
done

finish
