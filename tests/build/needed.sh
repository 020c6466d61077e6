#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Fails when PROGRAM needs a library whose name holds one of the words:
# an ELF file's NEEDED entries, or a Windows program's imported DLLs (a
# static library linked in shows by the DLLs it imports).
# Usage: needed.sh PROGRAM WORD...
set -u
program=$1; shift
if [[ "$program" == *.exe ]]; then
  needed=$(objdump -p "$program" | sed -n 's/^\s*DLL Name: //p')
else
  needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
fi
[ -n "$needed" ] || { echo "FAIL: no libraries read from $program"; exit 1; }
echo "$program needs: $(echo $needed)"
status=0
for word in "$@"; do
  if grep -i -- "$word" <<<"$needed"; then echo "FAIL: $program needs a library named like $word"; status=1; fi
done
exit $status
