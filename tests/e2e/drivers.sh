#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list on this machine against lspci -Dk: every function corvane-list
# shows (by its Location line) has the driver lspci says is in use, as
# "Driver: NAME", or "No driver" when lspci names none. Then the drivers that
# fit them in the virtio drivers' INF files (tests/data/virtio-win-inf): every
# virtio device they name that lspci lists has one, best first.
# Usage: drivers.sh CORVANE_LIST SOURCE_DIR
set -u
list=$(realpath "$1") source=$(realpath "$2")
. "$source/tests/e2e/xvfb.sh"
if [ -z "$(ls /sys/bus/pci/devices 2>/dev/null)" ] || ! command -v lspci >/dev/null; then
  echo "this machine shows no PCI devices to lspci: skipped"; exit 77
fi
cp "$source/tests/data/devices.lst" "$work/"
(cd "$work" && "$list" >listing 2>stderr)
check "corvane-list's exit status" "0" "$?"

# address -> what lspci says drives it ("-" for nothing)
declare -A lspciDriver
while IFS= read -r line; do
  if [[ "$line" =~ ^([0-9a-f]{4}:[0-9a-f]{2}:[0-9a-f]{2}\.[0-7])\  ]]; then
    address=${BASH_REMATCH[1]}; lspciDriver[$address]=-
  elif [[ "$line" =~ Kernel\ driver\ in\ use:\ (.*)$ ]]; then
    lspciDriver[$address]=${BASH_REMATCH[1]}
  fi
done < <(lspci -Dk 2>/dev/null)

# Each device block's driver line and location, from corvane-list.
shown=0 driver=""
while IFS= read -r line; do
  case "$line" in
    "    Driver: "*) driver=${line#    Driver: } ;;
    "    No driver"*) driver=- ;;
    "    Location: "*)
      address=${line#    Location: }
      shown=$((shown + 1))
      if [ -z "${lspciDriver[$address]+set}" ]; then fail "$address: not a function lspci lists"
      else check "$address: driver" "${lspciDriver[$address]}" "$driver"; fi
      driver="" ;;
  esac
done <"$work/listing"
[ "$shown" -gt 0 ] || fail "no Location line in the listing: $(head -20 "$work/listing")"

(cd "$work" && "$list" --json --drivers "$source/tests/data/virtio-win-inf" >fits.json 2>fits.err)
check "--drivers: exit status" "0" "$?"
check "--drivers: nothing on standard error" "" "$(cat "$work/fits.err")"
named="1000 1001 1002 1003 1004 1005 1041 1042 1043 1044 1045 1048 1050 1052 1053 1054 1058 105a 1110"
report=$(python3 - "$work/fits.json" "$named" <<'PY'
import json, sys
devices = json.load(open(sys.argv[1]))["devices"]
named = set(sys.argv[2].split())
for d in devices:
    fits = d["fits"]
    ranks = [int(f["rank"], 16) for f in fits]
    if ranks != sorted(ranks):
        print("%s: fits not best first: %s" % (d["location"], ranks))
    wanted = d["vendor_id"] == "1af4" and d["device_id"] in named
    ids = [i.upper() for i in d["hardware_ids"] + d["compatible_ids"]]
    if wanted and not fits:
        print("%s: %s:%s has no fit" % (d["location"], d["vendor_id"], d["device_id"]))
    for f in fits:
        if f["matched_id"].upper() not in ids:
            print("%s: fit by %s, none of the device's IDs" % (d["location"], f["matched_id"]))
print("compared %d" % len(devices))
PY
)
check "--drivers: the virtio devices' fits" "" "$(grep -v '^compared' <<<"$report")"
grep -q '^compared [1-9]' <<<"$report" || fail "--drivers: no device compared"
finish
