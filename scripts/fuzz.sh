#!/usr/bin/env bash
# Long fuzzing runs: builds the fuzz preset, then fuzzes every target for the
# given number of seconds (default 600) and prints, for each, libFuzzer's
# final figures: executions, coverage, and the crash inputs it wrote.
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

failed=0
for seeds in tests/fuzz/corpus/*/; do
  target="$(basename "$seeds")"
  echo "== ${target}_fuzz, ${seconds} s =="
  tests/fuzz/run_fuzz_target.sh "build/fuzz/tests/fuzz/${target}_fuzz" "$seeds" "$seconds" \
    "build/fuzz/crashes/$target" || failed=1
done
exit "$failed"
