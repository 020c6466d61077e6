#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# What ctest -L selects in a build: every test carries a label; unit selects
# every test case that each unit binary lists (--gtest_list_tests), and no
# test that runs on a display of its own (xvfb-run) or under Wine.
# Usage: labels.sh BUILD_DIR [UNIT_BINARY...]
set -u
build=$(realpath "$1"); shift
# ctest reads the build's tests from a scratch directory, where it writes its
# log: the build's own is the one of the run this check is part of.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
echo "subdirs(\"$build\")" >"$scratch/CTestTestfile.cmake"
list_tests() { (cd "$scratch" && ctest -N -V "$@"); }
names() { sed -n 's/^ *Test *#[0-9]*: //p'; }
commands() { sed -n 's/^[0-9]*: Test command: //p'; }
status=0

all=$(list_tests | names | wc -l)
unlabelled=$(list_tests -LE . | names)
if [ -n "$unlabelled" ]; then
  echo "FAIL: $(wc -l <<<"$unlabelled") tests without a label: $(head -5 <<<"$unlabelled" | tr "\n" " ")..."
  status=1
fi

unit=$(list_tests -L unit | commands)
binaries=0
for binary in "$@"; do
  [ -n "$binary" ] || continue  # no unit binaries in this build
  binaries=$((binaries + 1))
  cases=$("$binary" --gtest_list_tests) || { echo "FAIL: $binary does not list its tests"; status=1; }
  listed=$(grep -c '^  ' <<<"$cases")
  selected=$(grep -c -F -- "$binary \"--gtest_filter=" <<<"$unit")
  if [ "$listed" -eq 0 ] || [ "$selected" -ne "$listed" ]; then
    echo "FAIL: $binary lists $listed test cases, ctest -L unit selects $selected of them"
    status=1
  fi
done
if grep -E '(^|/)(xvfb-run|wine|wine64|wine-run\.sh)( |$)' <<<"$unit"; then
  echo "FAIL: ctest -L unit selects the tests above, which need a display or Wine"
  status=1
fi

if [ $status -eq 0 ]; then
  summary="ok: $all tests, each labelled; unit selects $(grep -c . <<<"$unit")"
  [ $binaries -eq 0 ] || summary+=", every test case of its $binaries programs among them"
  echo "$summary"
fi
exit $status
