#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the native unit
# tests under AddressSanitizer + UBSan and under ThreadSanitizer, a short run
# of each fuzz target, the static checks, and the real DLL's tests under
# Wine, ending with a summary of the robustness cases.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build_and_test() {
  echo "== $1 =="
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
  ctest --preset "$1"
}

build_and_test native
build_and_test native-tsan
build_and_test fuzz
scripts/lint.sh

status=0
build_and_test windows || status=$?
scripts/reliability-summary.sh build/windows
exit "$status"
