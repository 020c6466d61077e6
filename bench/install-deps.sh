#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what the start-up benchmark needs beyond the build: the programs
# it times corvane against and the X extension its timer watches windows
# with. Not part of the test command. Does nothing when all are there.
set -euo pipefail
exec "$(dirname "$0")/../scripts/install-deps.sh" lshw-gtk hardinfo libxdamage-dev
