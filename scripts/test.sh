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

# The newer Wine's root file system takes about two minutes to set up the
# first time, mostly downloads and unpacking: it is made while the native
# stages build. In a PID namespace that dies with this script (Ctrl-C, a
# kill), so an interrupted setup leaves nothing running.
root_setup_output=$(mktemp)
trap 'rm -f "$root_setup_output"' EXIT
setpriv --pdeathsig KILL unshare --pid --fork --kill-child scripts/make-newer-wine-root.sh \
  >"$root_setup_output" 2>&1 &
root_setup=$!

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

stage native build_and_test native
stage native-tsan build_and_test native-tsan
stage fuzz build_and_test fuzz
stage lint scripts/lint.sh
stage windows windows_tests
# A setup that failed is tried again by the stage, which then says why.
wait "$root_setup"
cat "$root_setup_output"
stage windows-newer-wine scripts/test-newer-wine.sh
# A second or two of every figure, so the benchmark can't rot; it fails only
# when a figure could not be measured, never on a missed goal.
stage benchmark env BENCHMARK_WINDOWS_BUILD=build/windows scripts/benchmark.sh --smoke

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all stages passed"
