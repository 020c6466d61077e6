# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced after tests/e2e/xvfb.sh by the Wine scripts that show windows:
# `run` starts a Windows program in the build's Wine prefix, and
# start_wine_display gives Wine a private Xvfb. Wine's desktop process keeps
# the display it was started with, so Wine starts afresh on it.
run=$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-run.sh

start_wine_display() {
  WINEPREFIX=$CORVANE_WINE_DIR/prefix /usr/lib/wine/wineserver64 -k 2>/dev/null
  WINEPREFIX=$CORVANE_WINE_DIR/prefix /usr/lib/wine/wineserver64 -w 2>/dev/null
  start_xvfb
}

# probe TITLE OUTPUT: what the system reports of the window titled TITLE
# (window_probe.exe, in $probe), written to OUTPUT.
probe() {
  "$run" "$probe" "$1" >"$2.crlf" 2>/dev/null </dev/null || fail "window_probe $1: $(cat "$2.crlf")"
  tr -d '\r' <"$2.crlf" >"$2"
}
