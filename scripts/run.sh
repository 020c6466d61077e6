#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what is missing, builds the programs, and starts Corvane in the
# project root, where it reads devices.lst.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh --programs
[ -f devices.lst ] || build/corvane-update
exec build/corvane
