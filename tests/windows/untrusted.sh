#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Windows programs under Wine in a working directory that someone else
# filled: devices.lst and error.log as FIFOs and links, the updater's output
# as links, a FIFO, a directory and a long name. Every run ends within its
# time limit and a bounded amount of memory, and nothing outside the
# directory is written. (Wine shows a Unix
# link as the file it leads to, never as a reparse point, so the case of a
# link named error.log does not exist here; DOS device names are tested in
# hardware_test, flException_test and replace_wine_test.)
# Usage: untrusted.sh CORVANE_LIST_EXE CORVANE_UPDATE_EXE SOURCE_DIR
set -u
: "${CORVANE_WINE_DIR:?set it to the Wine directory of the build}"
list=$(realpath "$1") update=$(realpath "$2") source=$(realpath "$3")
. "$source/tests/e2e/xvfb.sh"
run=$source/scripts/wine-run.sh

# Runs a program in DIR with 30 s and 4 GiB of address space, its output in
# files there (a pipe would be inherited by Wine's own processes); sets $status.
run_in() {  # run_in DIR PROGRAM [ARGUMENT...]
  local dir=$1; shift
  (cd "$dir" && ulimit -v 4194304 && exec timeout -k 5 30 env -u DISPLAY "$run" "$@" >stdout 2>stderr </dev/null)
  status=$?
}
listing() { (cd "$1" && find . -mindepth 1 -printf '%P:%y\n' | sort | xargs); }
outside=$work/outside
mkdir "$outside" && cp "$source/tests/data/devices.lst" "$outside/devices.lst"
printf 'precious\n' >"$outside/target"
printf '# Version: 2024.01.01\n8086  Intel Corporation\n\t10d3  82574L Gigabit Network Connection\n' >"$outside/pci.ids"
untouched() {
  local kept=yes
  [ "$(cat "$outside/target")" = precious ] && [ ! -e "$outside/new" ] || kept=""
  printf 'precious\n' >"$outside/target" && rm -f "$outside/new"
  [ -n "$kept" ]
}
log_line="$missing_database_log"$'\r'"\$"

# devices.lst that is no regular file: the open failure, at once.
for kind in fifo link-to-zero link-to-fifo; do
  dir=$work/db-$kind && mkdir "$dir"
  case $kind in
    fifo) mkfifo "$dir/devices.lst" ;;
    link-to-zero) ln -s /dev/zero "$dir/devices.lst" ;;
    link-to-fifo) mkfifo "$outside/fifo" && ln -s "$outside/fifo" "$dir/devices.lst" ;;
  esac
  run_in "$dir" "$list"
  check "devices.lst a $kind: exit status" "255" "$status"
  grep -Eq "$log_line" "$dir/error.log" 2>/dev/null || fail "devices.lst a $kind: error.log: $(cat -A "$dir/error.log" 2>&1)"
  grep -Eq "$missing_database_stderr" "$dir/stderr" || fail "devices.lst a $kind: stderr: $(head -c 300 "$dir/stderr")"
done
dir=$work/db-link-to-file && mkdir "$dir" && ln -s "$outside/devices.lst" "$dir/devices.lst"
run_in "$dir" "$list"
check "devices.lst a link to a file: exit status" "0" "$status"

# error.log a FIFO, with or without a reader: no line, no wait.
for kind in fifo fifo-with-reader; do
  dir=$work/log-$kind && mkdir "$dir" && mkfifo "$dir/error.log"
  [ "$kind" = fifo-with-reader ] && exec 3<>"$dir/error.log"
  run_in "$dir" "$list"
  [ "$kind" = fifo-with-reader ] && exec 3>&-
  check "error.log a $kind: exit status" "255" "$status"
  grep -Eq "$missing_database_stderr" "$dir/stderr" || fail "error.log a $kind: stderr: $(head -c 300 "$dir/stderr")"
  check "error.log a $kind: still a FIFO, nothing else made" "error.log:p stderr:f stdout:f" "$(listing "$dir")"
done

# Failing programs at once: every line whole, none lost.
dir=$work/log-together && mkdir "$dir"
for _ in 1 2; do
  together=()
  for n in 1 2 3 4; do
    (cd "$dir" && exec timeout 30 env -u DISPLAY "$run" "$list" >"stdout$n" 2>"stderr$n" </dev/null) &
    together+=($!)
  done
  wait "${together[@]}"
done
check "8 failures, 4 at once: lines" "8" "$(wc -l <"$dir/error.log" 2>/dev/null)"
check "8 failures, 4 at once: whole lines" "8" "$(grep -Ec "$log_line" "$dir/error.log" 2>/dev/null)"

# The updater's output: a link (to a file or to nothing) is replaced, not
# written through, and a name of 255 characters works; a FIFO (a pipe to
# Windows) or a directory, named with or without a separator at its end, is
# refused before anything is written.
for kind in link link-dangling long-name fifo directory directory-slash directory-backslash; do
  dir=$work/update-$kind && mkdir "$dir"
  output=devices.lst
  case $kind in
    link) ln -s "$outside/target" "$dir/devices.lst" ;;
    link-dangling) ln -s "$outside/new" "$dir/devices.lst" ;;
    long-name) output=$(printf 'd%.0s' $(seq 255)) ;;
    fifo) mkfifo "$dir/devices.lst" ;;
    directory) mkdir "$dir/devices.lst" ;;
    directory-slash) mkdir "$dir/devices.lst" && output=devices.lst/ ;;
    directory-backslash) mkdir "$dir/devices.lst" && output='devices.lst\' ;;
  esac
  cp "$outside/pci.ids" "$dir/"  # read from the working directory by default
  before=$(listing "$dir")
  run_in "$dir" "$update" --output "$output"
  case $kind in
    link | link-dangling | long-name)
      check "updater output a $kind: exit status" "0" "$status"
      check "updater output a $kind: a new file" "$output:f pci.ids:f stderr:f stdout:f" "$(listing "$dir")"
      grep -q '"0x8086","0x10D3","Intel Corporation","pci.ids 2024.01.01","82574L Gigabit Network Connection"' \
        "$dir/$output" || fail "updater output a $kind: its line: $(cat "$dir/$output")" ;;
    *)
      check "updater output a $kind: exit status" "1" "$status"
      check "updater output a $kind: as it was" "$before stderr:f stdout:f" "$(listing "$dir")"
      grep -Eq "^corvane-update: cannot write .*: a (pipe|directory), not a file" "$dir/stderr" ||
        fail "updater output a $kind: stderr: $(cat "$dir/stderr")" ;;
  esac
  untouched || fail "updater output a $kind: a file outside was written"
done

finish
