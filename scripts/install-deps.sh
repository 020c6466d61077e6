#!/usr/bin/env bash
# Installs every Debian 12 package the build, the program and the tests need.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libfltk1.3-dev fluid libx11-dev
  libpci-dev pciutils pci.ids zlib1g-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick
  wine wine64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 googletest icoutils
  clang libclang-rt-14-dev valgrind
)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
