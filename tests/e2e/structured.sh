#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list --json and --csv, out of process: valid against the published
# schema and equal to each other for this machine, lspci dumps, the Windows
# fixture and registries of odd bytes; the fields equal to what lspci says of
# this machine and of the dumps; several files with one unreadable among
# them; the Ansible local fact of the package, read by Debian's ansible-core.
# Usage: structured.sh CORVANE_LIST SOURCE_DIR
set -u
list=$(realpath "$1") source=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"
. "$source/tests/e2e/dumps.sh"
python=/usr/bin/python3
check_py() { "$python" "$source/tests/e2e/structured.py" "$@"; }
schema=$source/docs/corvane-list.schema.json
cp "$source/tests/data/devices.lst" "$work/"
cd "$work" || exit 1

# Both forms of one source (none: this machine): valid, and the same devices.
forms() {  # forms NAME [ARGUMENT...]
  local name=$1; shift
  "$list" --json "$@" >"$name.json" 2>"$name.err"; local status=$?
  "$list" --csv "$@" >"$name.csv" 2>>"$name.err"
  check "$name: --json's status" "0" "$status"
  check_py schema "$schema" "$name.json" && pass "$name: valid against the schema" || fail "$name: schema"
  check_py csv "$name.json" "$name.csv" && pass "$name: CSV holds what JSON holds" || fail "$name: CSV"
}

if [ -n "$(ls /sys/bus/pci/devices 2>/dev/null)" ] && lspci >/dev/null 2>&1; then
  forms machine
  check "this machine: its name is the source" "$(hostname)" "$("$python" -c 'import json,sys; print(json.load(open(sys.argv[1]))["source"])' machine.json)"
  lspci -vmm -nn -k -D >machine.vmm 2>/dev/null; lspci -v -D >machine.v 2>/dev/null
  check_py lspci machine.json machine.vmm machine.v && pass "this machine: fields as lspci -vmm -nn -k -D gives them" ||
    fail "this machine: fields against lspci"
  lspci -xxx >own.txt 2>/dev/null
  forms machine-drivers --drivers "$source/tests/data/virtio-win-inf"  # the fits of its virtio devices
fi

made 16 "" >made.txt
subsystems >subsystems.txt
for dump in own.txt made.txt subsystems.txt; do
  [ -s "$dump" ] || continue
  forms "$dump" "$dump"
  lspci -F "$dump" -vmm -nn -k -D >"$dump.vmm" 2>/dev/null; lspci -F "$dump" -v -D >"$dump.v" 2>/dev/null
  check_py lspci "$dump.json" "$dump.vmm" "$dump.v" dump && pass "$dump: fields as lspci gives them" ||
    fail "$dump: fields against lspci"
done

# The Windows fixture, and exports of odd bytes: control characters, quotes,
# lone surrogates, a text the database holds no UTF-8 for.
cp "$source/tests/windows/pci-fixture.reg.txt" fixture.reg
forms fixture fixture.reg
forms fixture-drivers fixture.reg --drivers "$source/tests/data/virtio-win-inf" --windows x86:6.1
# A machine whose export keeps its installed drivers, against the folder.
forms installed "$source/tests/data/virtio-vm.reg.txt" --drivers "$source/tests/data/virtio-win-inf"
"$python" - <<'PYTHON'
import random
rng = random.Random(7)
def text():
    pool = ['"', '\\\\', ',', '\t', '\x01', '\x1f', '\x7f', 'é', '€', '\U0001d11e', '\ud800', 'a', ' ', ';', '@']
    return "".join(rng.choice(pool) for _ in range(rng.randint(0, 40)))
for n in range(5):
    lines = ["Windows Registry Editor Version 5.00", ""]
    for d in range(20):
        lines.append("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_%04X&SUBSYS_%04X8086&REV_%02X\\%s]"
                     % (rng.randrange(65536), d, rng.randrange(256), "i" + str(d)))
        for name in ("Class", "Mfg", "DeviceDesc", "Service", "LocationInformation"):
            value = text().replace("\\", "\\\\").replace('"', '\\"')
            lines.append('"%s"="%s"' % (name, value))
        lines.append('"ConfigFlags"=dword:%08x' % rng.choice([0, 1, 0x40]))
    data = "\r\n".join(lines).encode("utf-16-le", "surrogatepass")
    open("odd-%d.reg" % n, "wb").write(b"\xff\xfe" + data)
# A database line of no UTF-8 and control characters for one of them.
open("odd.lst", "wb").write(b'"0x8086","0x10D3","\xff\xfe bad \x01","x\x7f","\xe2\x82"\n')
PYTHON
mkdir odd && cp odd.lst odd/devices.lst && mv odd-*.reg odd/
cd odd || exit 1  # not in a subshell: its failures count
for n in 0 1 2 3 4; do forms "odd-$n" "odd-$n.reg"; done
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_10D3&SUBSYS_A01F8086&REV_00\\0]\r\n"DeviceDesc"=";a\x01b"\r\n' >known.reg
forms known known.reg
cd "$work" || exit 1
grep -qF $'"vendor": "\xef\xbf\xbd\xef\xbf\xbd bad \\u0001",' odd/known.json &&
  grep -qF '"source": "x\u007f"' odd/known.json && pass "no UTF-8 made U+FFFD, control characters escaped" ||
  fail "odd database line in JSON: $(grep -A4 '"vendor"' odd/known.json)"

# Several files: each machine in turn; one that cannot be read is said on
# standard error and in error.log, the others are listed, the status is 255.
"$list" --json made.txt missing.reg subsystems.txt >several.json 2>several.err
check "several files, one missing: status" "255" "$?"
check_py schema "$schema" several.json && pass "several files: valid against the schema" || fail "several files: schema"
check "several files: their sources, the missing one with its error" "made.txt:5 missing.reg:error subsystems.txt:6" \
  "$("$python" -c 'import json,sys
for m in json.load(open(sys.argv[1]))["machines"]:
    print(m["source"] + ":" + (str(len(m["devices"])) if "devices" in m else "error"))' several.json | xargs)"
grep -q "missing.reg" several.err && pass "several files: the missing one named on standard error" || fail "stderr: $(cat several.err)"
check "several files: one line in error.log" "1" "$(wc -l <error.log)"
rm -f error.log
"$list" --csv made.txt missing.reg subsystems.txt >several.csv 2>/dev/null
check "several files as CSV: status, rows" "255 12" "$? $(wc -l <several.csv)"
check_py csv several.json several.csv && pass "several files: CSV holds what JSON holds" || fail "several files: CSV"
"$list" made.txt subsystems.txt >several.txt
check "several files as text: each under its name" "==> made.txt <== ==> subsystems.txt <==" \
  "$(grep '^==>' several.txt | xargs)"
"$list" --json --csv >/dev/null 2>usage.err
check "--json and --csv: a usage error" "2" "$?"

# Ansible: the package's example fact, run by the setup module of Debian's ansible-core.
if command -v ansible >/dev/null; then
  mkdir facts && cp "$source/packaging/examples/corvane.fact" facts/ && chmod +x facts/corvane.fact
  (PATH=$(dirname "$list"):$PATH; export PATH; facts/corvane.fact >fact.json 2>/dev/null)
  PATH=$(dirname "$list"):$PATH ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_INVENTORY_UNPARSED_WARNING=False \
    HOME=$work ansible localhost -c local -m setup -a "filter=ansible_local fact_path=$work/facts" >ansible.out 2>ansible.err
  check "ansible's setup module: status" "0" "$?"
  sed -n '1s/^localhost | SUCCESS => //p; 1!p' ansible.out >ansible.json
  "$python" - "$work/ansible.json" "$work/fact.json" <<'PYTHON' && pass "ansible_local.corvane.devices are corvane-list --json's" || fail "ansible: $(head -c 600 ansible.out)"
import json, sys
facts = json.load(open(sys.argv[1]))["ansible_facts"]["ansible_local"]["corvane"]
own = json.load(open(sys.argv[2]))
sys.exit(0 if facts["devices"] == own["devices"] and own["devices"] else 1)
PYTHON
else
  fail "ansible is not installed (scripts/install-deps.sh installs ansible-core)"
fi
finish
