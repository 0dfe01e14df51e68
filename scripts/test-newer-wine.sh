#!/usr/bin/env bash
# Runs the Windows tests a second time, under the newer Wine (Debian 13's,
# nearer to what Proton runs than the system's), against the same build tree
# and so the same DLL that ships. Sets up that Wine's root file system and
# its prefix first where they are missing.
# Usage: scripts/test-newer-wine.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/make-newer-wine-root.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
# The checks labelled without-wine only read the build's files: they ran in
# the system Wine's pass and nothing in them can differ between Wines.
scripts/with-newer-wine-root.sh scripts/run-windows-tests.sh --label-exclude without-wine
