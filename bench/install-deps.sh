#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what the start-up benchmark needs beyond the build: the programs
# it times corvane against, the X extension its timer watches windows with,
# and hyperfine, which times a pair of commands run by run. Not part of the
# test command. Does nothing when all are there.
set -euo pipefail
exec "$(dirname "$0")/../scripts/install-deps.sh" lshw-gtk hardinfo hyperfine libxdamage-dev
