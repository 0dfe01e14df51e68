#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the native unit
# tests under AddressSanitizer + UBSan and under ThreadSanitizer, and the
# real DLL's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

for preset in native native-tsan windows; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
