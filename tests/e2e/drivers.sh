#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# corvane-list on this machine against lspci -Dk: every function corvane-list
# shows (by its Location line) has the driver lspci says is in use, as
# "Driver: NAME", or "No driver" when lspci names none.
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
finish
