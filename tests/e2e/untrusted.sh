#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A working directory that someone else filled: devices.lst and error.log as
# FIFOs, sockets, devices and symbolic links (error.log a hard link too), and
# the updater's output as those, a directory or a name of 255 bytes. Every run ends within its time
# limit and a bounded amount of memory, and nothing outside the directory is
# written. Each case as root and as nobody, in a directory of that user's own.
# Usage: untrusted.sh CORVANE_LIST CORVANE_UPDATE
set -u
list=$(realpath "$1") update=$(realpath "$2")
. "$(dirname "$0")/xvfb.sh"
start_xvfb  # a box where none may come would wait for a click: the time limit catches it
chmod 755 "$work"

# Runs PROGRAM in DIR as $user (${as[@]} makes it so), under umask ${mask:-022},
# with 10 s and 1 GiB of address space; sets $status.
run_in() {  # run_in DIR PROGRAM [ARGUMENT...]
  local dir=$1; shift
  (cd "$dir" && umask "${mask:-022}" && ulimit -v 1048576 &&
    exec timeout -k 5 10 "${as[@]}" "$@" >"$work/stdout" 2>"$work/stderr")
  status=$?
}
# A fresh directory owned by USER; what the cases put in it is root's.
scratch() {  # scratch USER NAME
  dir=$work/$1-$2
  mkdir "$dir" && chown "$1:" "$dir"
}
socket_at() { perl -MSocket -e 'socket(S, PF_UNIX, SOCK_STREAM, 0) && bind(S, pack_sockaddr_un($ARGV[0])) or die "$!\n"' "$1"; }
listing() { (cd "$1" && find . -mindepth 1 -printf '%P:%y\n' | sort | xargs); }

outside=$work/outside
mkdir "$outside" && chmod 1777 "$outside"  # anyone could make a file there through a link
cp "$(dirname "$0")/../data/devices.lst" "$outside/devices.lst"
printf 'precious\n' >"$outside/target" && chmod 666 "$outside/target"  # anyone could write it through a link
printf '# Version: 2024.01.01\n8086  Intel Corporation\n\t10d3  82574L Gigabit Network Connection\n' >"$outside/pci.ids"
chmod 644 "$outside/devices.lst" "$outside/pci.ids"
# Whether the files outside are as they were; they are again afterwards.
untouched() {
  local kept=yes
  [ "$(cat "$outside/target")" = precious ] && [ ! -e "$outside/new" ] || kept=""
  printf 'precious\n' >"$outside/target" && rm -f "$outside/new"
  [ -n "$kept" ]
}

for user in root nobody; do
  as=()
  [ "$user" = root ] || as=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups)
  # devices.lst that is no regular file: the open failure, reported at once.
  # No display here: the box is not the question.
  for kind in fifo socket device link-to-zero link-to-urandom link-to-fifo; do
    scratch "$user" "db-$kind"
    case $kind in
      fifo) mkfifo -m 644 "$dir/devices.lst" ;;
      socket) socket_at "$dir/devices.lst" ;;
      device) mknod -m 644 "$dir/devices.lst" c 1 5 2>/dev/null || { echo "skipped: $user: devices.lst a device (no mknod here)"; continue; } ;;
      link-to-zero) ln -s /dev/zero "$dir/devices.lst" ;;
      link-to-urandom) ln -s /dev/urandom "$dir/devices.lst" ;;
      link-to-fifo) mkfifo -m 644 "$outside/fifo-$user" && ln -s "$outside/fifo-$user" "$dir/devices.lst" ;;
    esac
    run_in "$dir" env -u DISPLAY "$list"
    check "$user: devices.lst a $kind: exit status" "255" "$status"
    grep -Eq "$missing_database_log\$" \
      "$dir/error.log" 2>/dev/null || fail "$user: devices.lst a $kind: error.log: $(cat "$dir/error.log" 2>&1)"
    grep -Eq "$missing_database_stderr" "$work/stderr" || fail "$user: devices.lst a $kind: stderr: $(head -c 300 "$work/stderr")"
  done

  # A link to a regular file elsewhere is a database like the file itself.
  scratch "$user" db-link-to-file
  ln -s "$outside/devices.lst" "$dir/devices.lst"
  run_in "$dir" env -u DISPLAY "$list"
  check "$user: devices.lst a link to a file: exit status" "0" "$status"
  check "$user: devices.lst a link to a file: nothing written" "devices.lst:l" "$(listing "$dir")"

  # error.log that is no regular file, or reached through a link: the report
  # goes on without it (no box, the standard-error line, 255), nothing is
  # written through the link, nothing waits. A display is there: a box that
  # came anyway would hold the run until its time limit.
  for kind in link link-dangling hard-link fifo fifo-with-reader socket; do
    scratch "$user" "log-$kind"
    case $kind in
      link) ln -s "$outside/target" "$dir/error.log" ;;
      hard-link) ln "$outside/target" "$dir/error.log" ;;  # a second name of a file the user may write
      link-dangling) ln -s "$outside/new" "$dir/error.log" ;;
      fifo | fifo-with-reader) mkfifo -m 666 "$dir/error.log" ;;
      socket) socket_at "$dir/error.log" && chmod 666 "$dir/error.log" ;;
    esac
    [ "$kind" = fifo-with-reader ] && exec 3<>"$dir/error.log"
    before=$(listing "$dir")
    run_in "$dir" "$list"
    [ "$kind" = fifo-with-reader ] && exec 3>&-
    check "$user: error.log a $kind: exit status" "255" "$status"
    grep -Eq "$missing_database_stderr" "$work/stderr" || fail "$user: error.log a $kind: stderr: $(head -c 300 "$work/stderr")"
    check "$user: error.log a $kind: the directory as it was" "$before" "$(listing "$dir")"
    untouched || fail "$user: error.log a $kind: a file outside was written"
  done

  # error.log absent: made with the usual permissions, less the umask.
  for made in 022:644 027:640; do
    mask=${made%:*}
    scratch "$user" "log-umask-$mask"
    run_in "$dir" env -u DISPLAY "$list"
    check "$user: error.log made under umask $mask: exit status" "255" "$status"
    check "$user: error.log made under umask $mask: owner, mode, lines" "$user ${made#*:} 1" \
      "$(stat -c '%U %a' "$dir/error.log" 2>&1) $(wc -l <"$dir/error.log" 2>/dev/null)"
  done
  unset mask

  # Failing programs at once: every line whole, none lost.
  scratch "$user" log-together
  for _ in 1 2 3 4 5; do
    together=()
    for _ in 1 2 3 4; do
      (cd "$dir" && exec timeout 10 "${as[@]}" env -u DISPLAY "$list" >/dev/null 2>&1) &
      together+=($!)
    done
    wait "${together[@]}"
  done
  check "$user: 20 failures, 4 at once: lines in error.log" "20" "$(wc -l <"$dir/error.log" 2>/dev/null)"
  check "$user: 20 failures, 4 at once: whole lines" "20" \
    "$(grep -Ec "$missing_database_log\$" "$dir/error.log")"

  # The updater's output: a file or a link to one (or to nothing) is
  # replaced, never written through; anything else is refused before
  # anything is written (status 1, the directory as it was).
  for kind in link link-dangling long-name fifo device link-to-device directory directory-slash; do
    scratch "$user" "update-$kind"
    output=devices.lst
    case $kind in
      link) ln -s "$outside/target" "$dir/devices.lst" ;;
      link-dangling) ln -s "$outside/new" "$dir/devices.lst" ;;
      long-name) output=$(printf 'd%.0s' $(seq 255)) ;;  # the longest name a directory holds
      fifo) mkfifo -m 666 "$dir/devices.lst" ;;
      device) mknod -m 666 "$dir/devices.lst" c 1 3 2>/dev/null || { echo "skipped: $user: updater output a device (no mknod here)"; continue; } ;;
      link-to-device) ln -s /dev/null "$dir/devices.lst" ;;
      directory) mkdir -m 777 "$dir/devices.lst" ;;
      directory-slash) mkdir -m 777 "$dir/devices.lst" && output=devices.lst/ ;;
    esac
    before=$(listing "$dir")
    run_in "$dir" "$update" --input "$outside/pci.ids" --output "$output"
    case $kind in
      link | link-dangling | long-name)
        check "$user: updater output a $kind: exit status" "0" "$status"
        check "$user: updater output a $kind: a new file, no other" "$output:f" "$(listing "$dir")"
        check "$user: updater output a $kind: its line" '"0x8086","0x10D3","Intel Corporation","pci.ids 2024.01.01","82574L Gigabit Network Connection"' \
          "$([ -f "$dir/$output" ] && cat "$dir/$output")" ;;
      *)
        check "$user: updater output a $kind: exit status" "1" "$status"
        check "$user: updater output a $kind: the directory as it was" "$before" "$(listing "$dir")"
        grep -Eq "^corvane-update: cannot write $output: (a|a symbolic link to a) (FIFO|character device|directory), not (to )?a file\$" \
          "$work/stderr" || fail "$user: updater output a $kind: stderr: $(head -c 300 "$work/stderr")" ;;
    esac
    untouched || fail "$user: updater output a $kind: a file outside was written"
  done
done

finish
