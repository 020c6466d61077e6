#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs every Debian 12 package the build, the program and the tests need,
# or only the packages given as arguments. Does nothing when all are there
# already, unless given --always (CI).
set -euo pipefail
always=false
if [ "${1:-}" = "--always" ]; then always=true; shift; fi
packages=(
  build-essential cmake pkg-config ccache
  libx11-dev libxext-dev libxinerama-dev libxcursor-dev libxfixes-dev libxrender-dev libxft-dev
  libfontconfig1-dev libwayland-dev wayland-protocols libxkbcommon-dev libpango1.0-dev libcairo2-dev
  libdbus-1-dev
  libpci-dev libkmod-dev pciutils pci.ids zlib1g-dev libhivex-dev libwin-hivex-perl
  libgtest-dev libbenchmark-dev nlohmann-json3-dev python3-jsonschema ansible-core
  chromium python3-html5lib poppler-utils
  xvfb xauth xdotool x11-utils x11-xserver-utils xclip imagemagick weston
  wine wine64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 libz-mingw-w64-dev googletest icoutils locales nsis
  clang libclang-rt-14-dev valgrind
  dpkg-dev lintian desktop-file-utils appstream man-db groff-base
)
[ $# -eq 0 ] || packages=("$@")
if ! $always &&
   dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -c "install ok installed" |
     grep -qx "${#packages[@]}"; then
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${packages[@]}" >/dev/null
