#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The FLTK cache's check of an entry (cmake/fltk-from-source.cmake), on
# copies of the entry this build uses: intact it is used; a file changed,
# a file or the manifest gone, or a system library it names gone, and it
# is built again rather than failing the build.
# Usage: fltk-cache.sh SOURCE_DIR ENTRY_DIR
set -u
source=$(realpath "$1") entry=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"  # the scratch directory and the checks; no display
verdict() { cmake -DENTRY="$1" -P "$source/cmake/fltk-from-source.cmake" 2>&1; }
copy() { rm -rf "$work/entry" && cp -a "$entry" "$work/entry"; }

copy
check "intact" "valid" "$(verdict "$work/entry")"
copy; echo "/* changed */" >>"$work/entry/include/FL/Fl.H"
check "a header changed" "invalid" "$(verdict "$work/entry")"
copy; truncate -s 100 "$work/entry/lib/libfltk.a"
check "the library cut short" "invalid" "$(verdict "$work/entry")"
copy; rm "$work/entry/COPYING"
check "a file gone" "invalid" "$(verdict "$work/entry")"
copy; rm "$work/entry/manifest.sha256"
check "no manifest: an unfinished build" "invalid" "$(verdict "$work/entry")"
copy; grep -v 'libfltk.a$' "$work/entry/manifest.sha256" >"$work/m" && mv "$work/m" "$work/entry/manifest.sha256"
check "the library not in the manifest" "invalid" "$(verdict "$work/entry")"
# A system library named by path that has gone (the -dev package removed
# since): the manifest is made to match, so only that path is wrong.
copy; echo "/nonexistent/libgone.so" >>"$work/entry/link-libraries.txt"
(cd "$work/entry" && grep -v ' link-libraries.txt$' manifest.sha256 >m &&
   sha256sum link-libraries.txt >>m && mv m manifest.sha256)
check "a linked library gone" "invalid" "$(verdict "$work/entry")"
check "not there at all" "invalid" "$(verdict "$work/nothing")"
finish
