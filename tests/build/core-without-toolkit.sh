#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The core, its tests and the command-line programs are built without the
# toolkit: no FLTK or X11 header was read to compile any of their objects
# (the compiler's dependency files list every header read), and none of
# them is linked with FLTK or X11. Usage: core-without-toolkit.sh BUILD_DIR
set -u
build=$(realpath "$1")
cd "$build" || exit 1
status=0 checked=0
# The targets of the core's floors, and every test that does not take the window's support.
dirs=(core/CMakeFiles/*.dir list/CMakeFiles/*.dir
      updater/CMakeFiles/*.dir tests/CMakeFiles/corvane_testsupport.dir)
# How a target is linked: its command, and the response files it may read them from.
link_lines() { cat "$1/link.txt" "$1"/*.rsp 2>/dev/null; }
for dir in tests/CMakeFiles/*_test.dir tests/windows/CMakeFiles/*_test.dir; do
  [ -e "$dir/link.txt" ] && ! link_lines "$dir" | grep -q windowtestsupport && dirs+=("$dir")
done
for dir in "${dirs[@]}"; do
  [ -d "$dir" ] || continue
  while IFS= read -r -d '' depfile; do
    checked=$((checked + 1))
    if grep -E -q '/FL/|/X11/' "$depfile"; then
      echo "FAIL: ${depfile%.d} was compiled with: $(grep -E -o '[^ ]*/(FL|X11)/[^ ]*' "$depfile" | head -3 | xargs)"
      status=1
    fi
  done < <(find "$dir" -name '*.o.d' -print0 -o -name '*.obj.d' -print0)
  if [ -e "$dir/link.txt" ] && link_lines "$dir" | grep -E -q -i 'fltk|X11'; then
    echo "FAIL: $dir is linked with the toolkit: $(link_lines "$dir")"
    status=1
  fi
done
[ "$checked" -gt 20 ] || { echo "FAIL: only $checked objects found to check in $build"; status=1; }
[ $status -eq 0 ] && echo "ok: $checked objects of ${#dirs[@]} targets built without FLTK or X11"
exit $status
