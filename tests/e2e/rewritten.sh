#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# devices.lst rewritten while corvane-list reads it, RUNS times each way:
# in place (truncated and written again, then cut to 100 kB and written
# again: an editor saving in place, `cp new.lst devices.lst`) and replaced
# by a new file. No run may die of a signal: each prints every device of
# the export or ends in the usual report that devices.lst cannot be read.
# Usage: rewritten.sh CORVANE_LIST CORVANE_UPDATE SOURCE_DIR [RUNS]
set -u
list=$(realpath "$1") update=$(realpath "$2") source=$(realpath "$3") runs=${4:-100}
. "$(dirname "$0")/xvfb.sh"
cd "$work" || exit 1
"$update" --output full.lst >/dev/null || fail "no database made"
head -c 100000 full.lst >cut.lst
cp full.lst devices.lst
cp "$source/tests/windows/pci-fixture.reg.txt" machine.reg
devices=$("$list" machine.reg | grep -c '^[^ ]')

# rewrite in-place|replace: rewrites devices.lst that way until killed.
rewrite() {
  FULL=full.lst CUT=cut.lst perl -e '
    local $/; open my $in, "<", $ENV{FULL} or die; my $full = <$in>;
    open $in, "<", $ENV{CUT} or die; my $cut = <$in>;
    if ($ARGV[0] eq "in-place") {
      open my $f, "+<", "devices.lst" or die; binmode $f; select((select($f), $| = 1)[0]);
      while (1) { truncate $f, 0; seek $f, 0, 0; print $f $full; truncate $f, 100000; seek $f, 0, 0; print $f $full }
    }
    for (my $n = 0; ; $n++) {
      open my $f, ">", "devices.lst.new" or die; print $f ($n % 2 ? $cut : $full); close $f;
      rename "devices.lst.new", "devices.lst" or die;
    }' "$1" &
  rewriter=$!
}

for way in in-place replace; do
  rewrite "$way"
  listed=0 reported=0 other=""
  for _ in $(seq "$runs"); do
    "$list" machine.reg >stdout 2>stderr
    status=$?
    if [ "$status" -eq 0 ] && [ "$(grep -c '^[^ ]' stdout)" -eq "$devices" ]; then
      listed=$((listed + 1))
    elif [ "$status" -eq 255 ] && grep -Eq "$missing_database_stderr" stderr; then
      reported=$((reported + 1))
    else
      other="status $status: $(head -c 600 stderr)"
      break
    fi
  done
  kill "$rewriter"
  wait "$rewriter" 2>/dev/null
  check "$way: every run a whole list or the report ($listed listed, $reported reported)" "" "$other"
done
finish
