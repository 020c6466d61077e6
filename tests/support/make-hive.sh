#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Makes a registry hive from a .reg file, as tests need them: the keys of the
# .reg (UTF-8, HKEY_LOCAL_MACHINE\SYSTEM\... as a SYSTEM export names them)
# written into a copy of libhivex's empty test hive by hivexregedit --merge
# (Debian's libwin-hivex-perl). The keys above each key are added first, as
# hivexregedit wants them.
# Usage: make-hive.sh REG OUT.hive
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
empty=${CORVANE_EMPTY_HIVE:-$here/../../../shared/third_party/hivex-minimal.hive}
(cd "$(dirname "$empty")" && sha256sum --quiet -c "$(basename "$empty").sha256") ||
  { echo "make-hive.sh: $empty is missing or changed" >&2; exit 1; }
reg=$(mktemp)
trap 'rm -f "$reg"' EXIT
awk '{ sub(/\r$/, "") }
/^\[/ {
  path = substr($0, 2, length($0) - 2); n = split(path, names, "\\"); above = names[1]
  for (i = 2; i < n; i++) {
    above = above "\\" names[i]
    if (i > 2 && !(toupper(above) in made)) { made[toupper(above)] = 1; print "\n[" above "]" }
  }
  made[toupper(path)] = 1; print ""
}
{ print }' "$1" >"$reg"
install -m 0644 "$empty" "$2"
# Read as UTF-8 (hivexregedit reads bytes otherwise), written as UTF-16 as Windows keeps text.
PERL_UNICODE=D hivexregedit --merge --prefix 'HKEY_LOCAL_MACHINE\SYSTEM' "$2" "$reg"
