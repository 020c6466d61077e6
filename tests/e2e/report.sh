#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list --html, checked for real: every report parses without an
# error under html5lib's strict parser; a hostile export (markup, a script,
# an event handler, bidi and terminal controls, noncharacters in its names) and a file name
# with '<' and '&' show as text and never act; several files, one of them
# unreadable, make one section each, and headless Chromium prints them one
# machine to a page, without a console message; the reader's dark preference
# gives the dark colours.
# Usage: report.sh CORVANE_LIST SOURCE_DIR
set -u
list=$(realpath "$1") source=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"
python=/usr/bin/python3
check_py() { "$python" "$source/tests/e2e/report.py" "$@"; }
for tool in chromium pdfinfo pdftotext; do
  command -v $tool >/dev/null || { echo "skipped: no $tool (scripts/install-deps.sh installs it)"; exit 77; }
done
"$python" -c 'import html5lib' 2>/dev/null || { echo "skipped: no python3-html5lib"; exit 77; }
cp "$source/tests/data/devices.lst" "$work/"
cp "$source/tests/windows/pci-fixture.reg.txt" "$work/fixture.reg"
cd "$work" || exit 1
export SOURCE_DATE_EPOCH=1765216140  # the same bytes on every run

# Two virtio devices, which the test's INF files fit, with hostile names.
"$python" - <<'PYTHON'
devices = [
    ("VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01", "<script>alert(1)</script>", "<img src=x onerror=alert(2)>",
     "\u202eevil\x1b[2J</td></tr>"),
    ("VEN_1AF4&DEV_1042&SUBSYS_11001AF4&REV_01", "<a href=\"https://evil.example/\">click</a>&amp;", "Net",
     "x\ufffe\U0010ffff\ufdd0"),
]
lines = ["Windows Registry Editor Version 5.00", ""]
for key, desc, mfg, cls in devices:
    lines.append("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\%s\\0]" % key)
    for name, value in (("DeviceDesc", ";" + desc), ("Mfg", mfg), ("Class", cls)):
        lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
open("hostile.reg", "wb").write(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))
PYTHON
hostile='a<b&c.reg'
cp hostile.reg "$hostile"

"$list" --html "$hostile" >one.html 2>stderr
check "one file: exit status" "0" "$?"
check_py parse one.html "<script>alert(1)</script>" "<img src=x onerror=alert(2)>" "\\u202eevil\\x1b[2J</td></tr>" \
  "<a href=\"https://evil.example/\">click</a>&amp;" "x\\ufffe\\U0010ffff\\ufdd0" "$hostile" && pass "one file: strict HTML5, the hostile texts as text" ||
  fail "one file: see above"
LC_ALL=C grep -q $'\e\|\xe2\x80\xae' one.html && fail "one file: a control character or bidi override in the report"
"$list" --html --attention --drivers "$source/tests/data/virtio-win-inf" fixture.reg "$hostile" missing.reg \
  >several.html 2>stderr
check "several files, one missing: exit status" "255" "$?"
check_py parse several.html "Drivers that fit" "Its devices could not be read: Failed to open missing.reg" \
  "Best: Red Hat VirtIO Ethernet Adapter" && pass "several files: strict HTML5, the fits and the failure" || fail "several files: see above"

# One browser run prints, another draws the dark colours: each start costs seconds.
browser() {
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$work/profile" \
    --enable-logging=stderr --v=0 "$@"
}
browser --no-pdf-header-footer --print-to-pdf=several.pdf several.html >print.log 2>&1
pages=$(pdfinfo several.pdf 2>/dev/null | awk '/^Pages:/ {print $2}')
[ "${pages:-0}" -ge 4 ] && pass "printed: $pages pages" || fail "printed: ${pages:-no} pages: $(tail -3 print.log)"
pdftotext -layout several.pdf several.txt
check_py pages several.txt fixture.reg "$hostile" missing.reg && pass "printed: each machine starts a page" ||
  fail "printed: pages"
grep -q "<script>alert(1)</script>" several.txt && pass "printed: the script's text shows" || fail "printed: no script text"
grep -i "CONSOLE\|Refused\|Content Security Policy" print.log && fail "the browser said something of the page"
browser --force-dark-mode --window-size=800,600 --hide-scrollbars --screenshot="$work/dark.png" one.html >shot.log 2>&1

# A virtual machine's 11 functions against the virtio drivers, three versions
# of one of them and an unsigned nightly: printed, a page holds as many
# devices as fit.
for device in 41 42 43 44 45 48 49 50 52 53 5a; do
  printf '00:%02x.0 x\n00: f4 1a %s 10 00 00 00 00 01 00 00 02 00 00 00 00\n' $((16#$device - 16#40)) "$device"
  printf '20: 00 00 00 00 00 00 00 00 00 00 00 00 f4 1a 00 11\n\n'
done >vm.txt
mkdir -p drivers && cp -r "$source/tests/data/virtio-win-inf" drivers/virtio
for version in 1 2 3; do
  mkdir "drivers/netkvm-v$version"
  sed "s|^DriverVer=.*|DriverVer = 0$version/01/2025,100.9$version.0.0|" drivers/virtio/NetKVM/netkvm.inf \
    >"drivers/netkvm-v$version/netkvm.inf"
done
mkdir drivers/nightly
sed -e '/^CatalogFile/d' -e 's|^DriverVer=.*|DriverVer = 12/01/2026,101.0.0.1|' drivers/virtio/NetKVM/netkvm.inf \
  >drivers/nightly/netkvm.inf
"$list" --html --drivers drivers vm.txt >vm.html 2>stderr
check "11 devices: exit status" "0" "$?"
browser --no-pdf-header-footer --print-to-pdf=vm.pdf vm.html >print.log 2>&1
pages=$(pdfinfo vm.pdf 2>/dev/null | awk '/^Pages:/ {print $2}')
[ "${pages:-9}" -le 3 ] && pass "11 devices printed on $pages pages" || fail "11 devices printed on ${pages:-no} pages"
corner=$(convert dark.png -format '%[fx:int(255*p{5,5}.r)] %[fx:int(255*p{5,5}.g)] %[fx:int(255*p{5,5}.b)]' info: 2>/dev/null)
check "dark preference: the page's colour" "25 25 28" "$corner"
colours=$(convert dark.png -colors 16 -unique-colors -format '%w' info: 2>/dev/null)
[ "${colours:-0}" -ge 4 ] && pass "dark preference: something drawn" || fail "dark preference: a blank page"
finish
