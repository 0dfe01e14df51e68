#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the native unit
# tests under AddressSanitizer + UBSan and under ThreadSanitizer, a short run
# of each fuzz target, the static checks, and the real DLL's tests under
# Wine, ending with a summary of the robustness cases. Every stage runs even
# when an earlier one failed, so one run shows every failure.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

failed=()
stage() {
  local name=$1
  shift
  echo "== $name =="
  "$@" || failed+=("$name")
}
build_and_test() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" && ctest --preset "$1"
}

stage native build_and_test native
stage native-tsan build_and_test native-tsan
stage fuzz build_and_test fuzz
stage lint scripts/lint.sh
stage windows build_and_test windows
scripts/reliability-summary.sh build/windows
# A second or two of every figure, so the benchmark can't rot; it fails only
# when a figure could not be measured, never on a missed goal.
stage benchmark env BENCHMARK_WINDOWS_BUILD=build/windows scripts/benchmark.sh --smoke

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all stages passed"
