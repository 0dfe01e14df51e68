#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the native unit
# tests under AddressSanitizer + UBSan and under ThreadSanitizer, a short run
# of each fuzz target, the static checks, and the real DLL's tests under the
# system's Wine and again under a newer one, each with a summary of its
# robustness cases. Every stage runs even when an earlier one failed, so one
# run shows every failure.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

# The Windows tests under the newer Wine mostly wait on Wine, and its root
# file system takes half a minute or more to set up the first time:
# they run in the background beside the native stages, which mostly
# compute, and show their output once those are done. They end with this
# script (Ctrl-C, a kill) and are done before the system Wine's pass, which
# uses the same folders of the build tree.
newer_wine_output=$(mktemp)
trap 'rm -f "$newer_wine_output"' EXIT
scripts/test-newer-wine.sh >"$newer_wine_output" 2>&1 &
newer_wine=$!

failed=()
stage() {
  local name=$1
  shift
  echo "== $name =="
  "$@" || failed+=("$name")
}
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }
build_and_test() { build "$1" && ctest --preset "$1"; }
windows_tests() { build windows && scripts/run-windows-tests.sh; }
newer_wine_tests() {
  local status=0
  wait "$newer_wine" || status=$?
  cat "$newer_wine_output"
  return $status
}

stage native build_and_test native
stage native-tsan build_and_test native-tsan
stage fuzz build_and_test fuzz
stage lint scripts/lint.sh
stage windows-newer-wine newer_wine_tests
stage windows windows_tests
# A second or two of every figure, so the benchmark can't rot; it fails only
# when a figure could not be measured, never on a missed goal.
stage benchmark env BENCHMARK_WINDOWS_BUILD=build/windows scripts/benchmark.sh --smoke

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all stages passed"
