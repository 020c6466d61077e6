#!/usr/bin/env bash
# Installs what is missing, builds, and starts Corvane in the project root,
# where it reads devices.lst.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
[ -f devices.lst ] || build/corvane-update
exec build/corvane
