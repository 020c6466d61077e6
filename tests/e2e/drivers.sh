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

# The same INFs in archives, made by Debian's archivers: the same fits, the
# archive for the folder.
fitsOf() {  # fitsOf JSON: every device's fits without their folder
  python3 -c 'import json, sys
for d in json.load(open(sys.argv[1]))["devices"]:
    for f in d["fits"]:
        f.pop("folder", None)
    print(d["location"], json.dumps(d["fits"], sort_keys=True))' "$1"
}
fitsOf "$work/fits.json" >"$work/folder.fits"
(cd "$source/tests/data/virtio-win-inf" && zip -qr "$work/virtio.zip" . && tar czf "$work/virtio.tar.gz" . &&
  7z a -bd "$work/virtio.7z" . >/dev/null && find . -type f | sed 's|^\./||' | xargs gcab -cz "$work/virtio.cab")
for archive in virtio.zip virtio.cab virtio.7z virtio.tar.gz; do
  (cd "$work" && "$list" --json --drivers "$archive" >archive.json 2>archive.err)
  check "--drivers $archive: exit status" "0" "$?"
  check "--drivers $archive: nothing on standard error" "" "$(cat "$work/archive.err")"
  check "--drivers $archive: the folder's fits" "" "$(fitsOf "$work/archive.json" | diff - "$work/folder.fits")"
done

# Hostile archives beside a good one, under 1 GiB of address space: an INF
# inflating to 200 MB, names leaving the archive, a link; each said, nothing written.
mkdir "$work/hostile" && cp "$source/tests/data/virtio-win-inf/viostor/viostor.inf" "$work/hostile/"
(cd "$work" && head -c 200000000 /dev/zero >big.inf && zip -q hostile/bomb.zip big.inf && rm big.inf)
python3 - "$work/hostile/names.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for name in ("../../escaped.inf", "/tmp/escaped.inf"):
        archive.writestr(name, "[Version]\r\n")
    link = zipfile.ZipInfo("link.inf")
    link.external_attr = 0o120777 << 16
    archive.writestr(link, "/etc/passwd")
PY
written() { find / -maxdepth 2 -name '*escaped*' 2>/dev/null; find "$work" -path "$work/hostile.*" -prune -o -print; }
before=$(written | sort)
# Under an address-space limit, but for the sanitizers, whose shadow memory it would refuse.
limit=1048576
[ "${CORVANE_SANITIZED:-}" = 1 ] && limit=unlimited
(cd "$work" && ulimit -v "$limit" && exec timeout -k 5 30 "$list" --drivers hostile >hostile.out 2>hostile.err)
check "hostile archives: exit status" "0" "$?"
# The link is read as the bytes zip recorded for it, its target's name: no INF.
check "hostile archives: said" "3 files of hostile were skipped: unreadable or not INF files.
hostile/bomb.zip/big.inf was skipped: it inflates past 32 MiB." "$(cat "$work/hostile.err")"
check "hostile archives: nothing written" "$before" "$(written | sort)"
finish
