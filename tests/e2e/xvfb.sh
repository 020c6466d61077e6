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
  # The server takes a display number no other server holds and writes it
  # once it takes clients. Tests run side by side: a number looked up as
  # free may be taken by another test's server first, and a test that then
  # asked that number would go on with the other's server, which ends with
  # the other test.
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp "$@" \
    3>"$work/xvfb.display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local n
  for _ in $(seq 200); do
    n=$(head -1 "$work/xvfb.display" 2>/dev/null)
    if [[ $n =~ ^[0-9]+$ ]]; then
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill "$xvfb_pid" 2>/dev/null
  fail "no Xvfb could be started: $(cat "$work/xvfb.log")"
}

# The two lines a report that devices.lst cannot be opened writes: error.log's
# (add the line end: "\$" on Linux, $'\r'"\$" on Windows) and standard error's.
missing_database_log='^Failed to open devices\.lst for read accesss  \(std::exception\) \(core/hardware\.cpp: [0-9]+\) \[[^]]+\]'
missing_database_stderr='^Error: \(core/hardware\.cpp, [0-9]+\) std::exception$'

# The id of the first window whose name matches, waiting up to 20 s.
find_window() {
  timeout 20 xdotool search --sync --name "$1" 2>/dev/null | head -1
}

finish() {
  if [ "$failures" -eq 0 ]; then echo "all checks passed"; exit 0; fi
  echo "$failures check(s) failed"; exit 1
}
