#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The check of an entry of the cache of libraries built from source
# (cmake/cached-build.cmake), on copies of the entry this build uses: intact
# it is used; a file changed, a file or the manifest gone, or a system
# library it names gone, and it is built again rather than failing the build.
# Usage: cache-entry.sh SOURCE_DIR fltk|hivex ENTRY_DIR
set -u
source=$(realpath "$1") library=$2 entry=$(realpath "$3")
. "$source/tests/e2e/xvfb.sh"  # the scratch directory and the checks; no display
case $library in
  fltk) archive=lib/libfltk.a header=include/FL/Fl.H licence=COPYING ;;
  hivex) archive=lib/libhivex.a header=include/hivex.h licence=LICENSE ;;
  *) echo "unknown library $library"; exit 2 ;;
esac
verdict() { cmake -DENTRY="$1" -P "$source/cmake/$library-from-source.cmake" 2>&1; }
copy() { rm -rf "$work/entry" && cp -a "$entry" "$work/entry"; }

copy
check "intact" "valid" "$(verdict "$work/entry")"
copy; echo "/* changed */" >>"$work/entry/$header"
check "a header changed" "invalid" "$(verdict "$work/entry")"
copy; truncate -s 100 "$work/entry/$archive"
check "the library cut short" "invalid" "$(verdict "$work/entry")"
copy; rm "$work/entry/$licence"
check "a file gone" "invalid" "$(verdict "$work/entry")"
copy; rm "$work/entry/manifest.sha256"
check "no manifest: an unfinished build" "invalid" "$(verdict "$work/entry")"
copy; grep -v " $archive\$" "$work/entry/manifest.sha256" >"$work/m" && mv "$work/m" "$work/entry/manifest.sha256"
check "the library not in the manifest" "invalid" "$(verdict "$work/entry")"
copy; rm "$work/entry/$archive" && mkdir "$work/entry/$archive"
check "a directory where the library was" "invalid" "$(verdict "$work/entry")"
if [ -e "$entry/link-libraries.txt" ]; then
  # A system library named by path that has gone (the -dev package removed
  # since): the manifest is made to match, so only that path is wrong.
  copy; echo "/nonexistent/libgone.so" >>"$work/entry/link-libraries.txt"
  (cd "$work/entry" && grep -v ' link-libraries.txt$' manifest.sha256 >m &&
     sha256sum link-libraries.txt >>m && mv m manifest.sha256)
  check "a linked library gone" "invalid" "$(verdict "$work/entry")"
fi
check "not there at all" "invalid" "$(verdict "$work/nothing")"
finish
