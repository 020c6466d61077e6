#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The real program on a Wayland compositor, Debian's weston nested in a
# private Xvfb (its X11 back end: its headless one makes FLTK crash at
# display open), with no X display in the program's environment, so the
# window is FLTK's Wayland one or none: its title and application id (the
# desktop entry, where a Wayland desktop takes the icon from), its content
# the scale times 800 by 600 at scale 1 and 2, a screenshot, then Escape
# and status 0. The protocol's requests are read from WAYLAND_DEBUG.
# Usage: wayland.sh CORVANE SOURCE_DIR [SCREENSHOT_DIR]
set -u
corvane=$(realpath "$1") source=$(realpath "$2") shots=${3:-}
. "$(dirname "$0")/xvfb.sh"
command -v weston >/dev/null || { echo "skipped: no weston (scripts/install-deps.sh installs it)"; exit 77; }
XVFB_SCREEN=2100x1900x24 start_xvfb -noreset
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir "$work/run" && cp "$source/tests/data/devices.lst" "$work/run/"
weston_pid=""
trap 'kill $weston_pid 2>/dev/null; cleanup' EXIT

# The first line of the log that matches, waiting up to 20 s.
wait_for() {  # wait_for FILE PATTERN
  for _ in $(seq 200); do
    grep -m1 -E "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# No panel: a click that lands before weston knows where the pointer is
# would start its terminal from the panel's launcher, which then takes the keys.
printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
for scale in 1 2; do
  socket=corvane-test-$scale
  weston --backend=x11-backend.so --socket="$socket" --width=1024 --height=900 --scale="$scale" \
    --idle-time=0 --config="$work/weston.ini" --use-pixman --log="$work/weston-$scale.log" &
  weston_pid=$!
  for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$socket" ] && break; sleep 0.1; done
  output=$(timeout 20 xdotool search --sync --classname '^weston' 2>/dev/null | head -1)
  log=$work/wayland-$scale.log
  (cd "$work/run" && exec env -u DISPLAY WAYLAND_DISPLAY="$socket" WAYLAND_DEBUG=client "$corvane" >stdout 2>"$log") &
  pid=$!
  if ! wait_for "$log" "create_buffer\(new id wl_buffer@[0-9]+, 0, $((800 * scale)), $((600 * scale)), " >/dev/null; then
    fail "scale $scale: no window content of $((800 * scale))x$((600 * scale)) drawn: $(grep -m3 -E 'create_buffer|rror' "$log")"
  else
    pass "scale $scale: window content $((800 * scale))x$((600 * scale))"
    check "scale $scale: no X display in its environment" "" "$(tr '\0' '\n' <"/proc/$pid/environ" | grep '^DISPLAY=')"
    check "scale $scale: title" "set_title(\"Corvane 1.5.1 Release 12/17/2011'\")" \
      "$(grep -m1 -o 'set_title(.*)' "$log")"
    check "scale $scale: application id, the desktop entry's" 'set_app_id("org.corvane.Corvane")' \
      "$(grep -m1 -o 'set_app_id(.*)' "$log")"
    # (the scale of the output the window enters; 1 until then, and it may be
    # said just after the buffer of the new size is made, by the title bar's
    # surfaces after the window's own)
    for _ in $(seq 200); do
      [ "$(grep -o 'set_buffer_scale([0-9]*)' "$log" | tail -1)" = "set_buffer_scale($scale)" ] && break
      sleep 0.1
    done
    check "scale $scale: buffer scale at last" "set_buffer_scale($scale)" "$(grep -o 'set_buffer_scale([0-9]*)' "$log" | tail -1)"
    sleep 1
    [ -n "$shots" ] && [ -n "$output" ] && import -window "$output" "$shots/wayland-$scale.png"
    # Weston gives the keyboard to the window clicked; the window covers the
    # output's middle wherever weston put it. On a busy machine the focus may
    # come after the key: then click and press it again.
    for _ in $(seq 10); do
      xdotool mousemove --window "$output" $((512 * scale)) $((450 * scale)) click 1 sleep 0.3 key Escape 2>/dev/null
      timeout 2 tail --pid="$pid" -f /dev/null && break
    done
  fi
  timeout 20 tail --pid="$pid" -f /dev/null
  kill "$pid" 2>/dev/null
  wait "$pid"
  check "scale $scale: exit status after Escape" "0" "$?"
  check "scale $scale: standard output" "0a" "$(od -An -tx1 "$work/run/stdout" | tr -d ' \n')"
  kill "$weston_pid" 2>/dev/null
  wait "$weston_pid" 2>/dev/null
done
finish
