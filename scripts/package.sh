#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian package in build-package/ (corvane_VERSION-1_ARCH.deb): a
# Release build for /usr with Debian's build flags, packed by CPack, its
# dependencies computed from the binaries, checked by lintian. Prints the
# package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Without Debian's -ffile-prefix-map: the build maps __FILE__ itself, and the
# fatal-error report names core/..., not ./core/... FLTK, linked in
# statically, is compiled from its tarball with the same flags (a cache entry
# of its own) unless an installed FLTK 1.4 is found.
flags() { echo "$(dpkg-buildflags --get "$1") $(dpkg-buildflags --get CPPFLAGS)" | sed 's/-ffile-prefix-map=[^ ]*//g'; }
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF \
  -DCMAKE_C_FLAGS="$(flags CFLAGS)" -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-package -j"$(nproc)"
rm -f build-package/corvane_*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/corvane_*.deb)
echo "== lintian"
lintian --display-info --fail-on error "$deb"
echo "== $(basename "$deb"): $(stat -c %s "$deb") bytes, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "$deb"
