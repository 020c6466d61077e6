#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane.exe under Wine with the system's DPI at 144 and 192 (150 and 200
# per cent, Wine's LogPixels): declared DPI-aware, it is not stretched by
# the system but drawn by FLTK at that scale: its client area 1.5 and 2
# times 800 by 600 (within a pixel), not resizable, the icon in the sizes of
# that scale, a screenshot, Escape and status 0. The DPI is put back after.
# Usage: scale.sh CORVANE_EXE WINDOW_PROBE_EXE SOURCE_DIR DEVICES_LST [SCREENSHOT_DIR]
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
corvane=$(realpath "$1") probe=$(realpath "$2") source=$(realpath "$3") database=$(realpath "$4") shots=${5:-}
. "$source/tests/e2e/xvfb.sh"
. "$source/tests/windows/wine-display.sh"
key='HKCU\Control Panel\Desktop'
# Wine reads the DPI when it starts: it starts afresh, on a display of its own.
set_dpi() {  # set_dpi DPI
  "$run" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 </dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  start_wine_display
}
restore_dpi() {
  "$run" reg delete "$key" /v LogPixels /f >/dev/null 2>&1 </dev/null
  WINEPREFIX=$CORVANE_WINE_DIR/prefix /usr/lib/wine/wineserver64 -k 2>/dev/null
  cleanup
}
trap restore_dpi EXIT

near() {  # near EXPECTED ACTUAL: within a pixel
  [ -n "$2" ] && [ $(($2 - $1)) -ge -1 ] && [ $(($2 - $1)) -le 1 ]
}

title="Corvane 1.5.1 Release 12/17/2011'"
mkdir "$work/run" && cp "$database" "$work/run/devices.lst"
XVFB_SCREEN=2000x1600x24
for case in "144 1.5 48 24" "192 2 64 32"; do
  read -r dpi scale large small <<<"$case"
  set_dpi "$dpi"
  (cd "$work/run" && exec "$run" "$corvane" >stdout 2>stderr </dev/null) &
  pid=$!
  probe "$title" "$work/window.txt"
  size=$(sed -n 's/^client //p' "$work/window.txt")
  width=$(awk -v s="$scale" 'BEGIN { printf "%d", 800 * s + 0.5 }') height=$(awk -v s="$scale" 'BEGIN { printf "%d", 600 * s + 0.5 }')
  if near "$width" "${size%x*}" && near "$height" "${size#*x}"; then
    pass "$dpi DPI: client area $size"
  else
    fail "$dpi DPI: client area [$size], expected ${width}x$height"
  fi
  check "$dpi DPI: frame" "resizable no" "$(grep '^resizable' "$work/window.txt")"
  window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011'\$")
  if [ -z "$window" ]; then fail "$dpi DPI: no X window titled $title"; kill "$pid" 2>/dev/null; else
    check "$dpi DPI: icon sizes on X" "Icon ($large x $large): Icon ($small x $small):" \
      "$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*):' | xargs)"
    if [ -n "$shots" ]; then
      # The first device and everything below it opened (keypad *).
      xdotool key --window "$window" Down KP_Multiply 2>/dev/null
      sleep 1
      import -window "$window" "$shots/wine-$dpi.png"
    fi
    xdotool key --window "$window" Escape 2>/dev/null
  fi
  timeout 20 tail --pid="$pid" -f /dev/null
  wait "$pid"
  check "$dpi DPI: exit status after Escape" "0" "$?"
  check "$dpi DPI: standard output" "0d0a" "$(od -An -tx1 "$work/run/stdout" | tr -d ' \n')"
done
finish
