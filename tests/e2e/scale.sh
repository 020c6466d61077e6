#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The real program under Xvfb at the screen's scale 1, 1.5 (Xft.dpi 144, as
# a desktop sets it) and 2 (FLTK_SCALING_FACTOR): its window that scale
# times 800 by 600 (within a pixel), not resizable, its icon in every size,
# a device opened with the keypad, a screenshot, Escape and status 0.
# Usage: scale.sh CORVANE SOURCE_DIR [SCREENSHOT_DIR]
set -u
corvane=$(realpath "$1") source=$(realpath "$2") shots=${3:-}
. "$(dirname "$0")/xvfb.sh"
# Room for the largest window; kept from reset when the last client leaves,
# with the resources xrdb gives it.
XVFB_SCREEN=1800x1400x24 start_xvfb -noreset
mkdir "$work/run" && cp "$source/tests/data/devices.lst" "$work/run/"

near() {  # near EXPECTED ACTUAL: within a pixel
  [ -n "$2" ] && [ $(($2 - $1)) -ge -1 ] && [ $(($2 - $1)) -le 1 ]
}

for case in "1 -" "1.5 xft" "2 env"; do
  read -r scale how <<<"$case"
  width=$(awk -v s="$scale" 'BEGIN { printf "%d", 800 * s + 0.5 }')
  height=$(awk -v s="$scale" 'BEGIN { printf "%d", 600 * s + 0.5 }')
  environment=()
  case $how in
    xft) echo "Xft.dpi: 144" | xrdb -merge ;;
    env) environment=(FLTK_SCALING_FACTOR="$scale") ;;
  esac
  (cd "$work/run" && exec env "${environment[@]}" "$corvane" >stdout 2>stderr) &
  pid=$!
  window=$(find_window "^Corvane 1\.5\.1 Release 12/17/2011'\$")
  if [ -z "$window" ]; then
    fail "scale $scale: no window: $(cat "$work/run/stderr")"
    kill "$pid" 2>/dev/null
  else
    sleep 0.5
    info=$(xwininfo -id "$window")
    shown_width=$(sed -n 's/^ *Width: //p' <<<"$info") shown_height=$(sed -n 's/^ *Height: //p' <<<"$info")
    if near "$width" "$shown_width" && near "$height" "$shown_height"; then
      pass "scale $scale: window ${shown_width}x$shown_height"
    else
      fail "scale $scale: window ${shown_width}x$shown_height, expected ${width}x$height"
    fi
    hints=$(xprop -id "$window" WM_NORMAL_HINTS)
    check "scale $scale: not resizable" "minimum ${shown_width} by $shown_height, maximum ${shown_width} by $shown_height" \
      "$(sed -n 's/.*program specified minimum size: \([0-9]*\) by \([0-9]*\).*/minimum \1 by \2/p' <<<"$hints"), $(
         sed -n 's/.*program specified maximum size: \([0-9]*\) by \([0-9]*\).*/maximum \1 by \2/p' <<<"$hints")"
    check "scale $scale: icon sizes" "16 24 32 48 64" \
      "$(xprop -id "$window" _NET_WM_ICON | sed -n 's/.*Icon (\([0-9]*\) x [0-9]*):.*/\1/p' | xargs)"
    check "scale $scale: class, the desktop entry's name" 'WM_CLASS(STRING) = "org.corvane.Corvane", "Org.corvane.Corvane"' \
      "$(xprop -id "$window" WM_CLASS)"
    if [ -n "$shots" ]; then
      # The first device and everything below it opened (keypad *).
      xdotool key --window "$window" Down KP_Multiply 2>/dev/null
      sleep 0.5
      import -window "$window" "$shots/scale-$scale.png"
    fi
    xdotool key --window "$window" Escape 2>/dev/null
  fi
  timeout 20 tail --pid="$pid" -f /dev/null
  wait "$pid"
  check "scale $scale: exit status after Escape" "0" "$?"
  check "scale $scale: standard output" "0a" "$(od -An -tx1 "$work/run/stdout" | tr -d ' \n')"
  [ "$how" = xft ] && xrdb -remove
done
finish
