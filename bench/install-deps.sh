#!/usr/bin/env bash
# Installs what the start-up benchmark needs beyond the build: the programs
# it times corvane against and the X extension its timer watches windows
# with. Not part of the test command. Does nothing when all are there.
set -euo pipefail
packages=(lshw-gtk hardinfo libxdamage-dev)
if dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -c "install ok installed" |
     grep -qx "${#packages[@]}"; then
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${packages[@]}" >/dev/null
