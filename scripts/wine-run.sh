#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs a Windows program under wine64 in the build's own Wine prefix, made on
# first use. Usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]
# The prefix lives in $CORVANE_WINE_DIR (default: wine/ in the nearest
# directory upwards from here that holds a CMakeCache.txt).
set -euo pipefail
if [ -z "${CORVANE_WINE_DIR:-}" ]; then
  dir=$PWD
  while [ "$dir" != / ] && [ ! -e "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ "$dir" = / ] && dir=$PWD
  CORVANE_WINE_DIR=$dir/wine
fi
export WINEPREFIX=$CORVANE_WINE_DIR/prefix HOME=$CORVANE_WINE_DIR/home
export WINESERVER=/usr/lib/wine/wineserver64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe,winedbg.exe=d"
mkdir -p "$HOME"
# Wine's background processes inherit open descriptors and outlive us, so the
# lock is a directory, and what they start with goes to a log file.
until mkdir "$CORVANE_WINE_DIR/.lock" 2>/dev/null; do sleep 0.1; done
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  /usr/lib/wine/wine64 wineboot -i </dev/null >>"$CORVANE_WINE_DIR/wine.log" 2>&1 || true
fi
# A server that stays a while makes every later start cheap.
"$WINESERVER" -p30 </dev/null >>"$CORVANE_WINE_DIR/wine.log" 2>&1 || true
rmdir "$CORVANE_WINE_DIR/.lock"
exec /usr/lib/wine/wine64 "$@"
