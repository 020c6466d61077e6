#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Opens a popup menu with an xdotool command, waits until the menu shows (a
# new window without a class: an FLTK menu; a toolkit's other windows, such
# as a file dialog's, carry one) and has taken the keyboard, then presses
# keys in it. Keys pressed before would go elsewhere, and the menu would wait
# for keys that never come. Usage: in-menu.sh 'XDOTOOL ARGUMENTS' 'KEY...'
windows() { xdotool search --onlyvisible --class '' 2>/dev/null | sort; }
before=$(windows)
xdotool $1
for _ in $(seq 400); do
  for window in $(windows); do
    printf '%s\n' "$before" | grep -qx "$window" && continue
    xprop -id "$window" WM_CLASS 2>/dev/null | grep -q 'not found' && { sleep 0.3; xdotool key --delay 50 $2; exit; }
  done
  sleep 0.05
done
echo "in-menu.sh: no menu showed after: xdotool $1" >&2
xdotool key --delay 50 $2
