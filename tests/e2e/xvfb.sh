# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced by the end-to-end scripts: starts a private Xvfb and sets DISPLAY,
# a scratch directory in $work, and check helpers. Everything goes on exit.
failures=0
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}

start_xvfb() {  # start_xvfb [XVFB_OPTION...]; the screen's size from $XVFB_SCREEN
  local n
  for n in $(seq 90 190); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp "$@" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    # The socket appears before the server takes clients: ask it. Another
    # run may have taken the number meanwhile: then this server ends, and
    # the one that answers is the other run's (tests run side by side), so
    # the number's lock must name this one.
    for _ in $(seq 200); do
      if xdpyinfo >/dev/null 2>&1; then
        [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ] && return 0
        break
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$xvfb_pid" 2>/dev/null
  done
  fail "no Xvfb could be started: $(cat "$work/xvfb.log")"
}

# The two lines a report that devices.lst cannot be opened writes: error.log's
# (add the line end: "\$" on Linux, $'\r'"\$" on Windows) and standard error's
# (the command-line programs end it with a line feed, "\r\n" on Windows).
missing_database_log='^Failed to open devices\.lst for read accesss  \(std::exception\) \(core/hardware\.cpp: [0-9]+\) \[[^]]+\]'
missing_database_stderr='^Error: \(core/hardware\.cpp, [0-9]+\) std::exception'$'\r''?$'

# The id of the first window whose name matches, waiting up to 20 s.
find_window() {
  timeout 20 xdotool search --sync --name "$1" 2>/dev/null | head -1
}

finish() {
  if [ "$failures" -eq 0 ]; then echo "all checks passed"; exit 0; fi
  echo "$failures check(s) failed"; exit 1
}
