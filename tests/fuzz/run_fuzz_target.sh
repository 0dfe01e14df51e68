#!/usr/bin/env bash
# Fuzzes one target for a bounded time and prints libFuzzer's final figures.
# The fuzzer adds the inputs it finds to the corpus folder it is given, so it
# gets a scratch copy of the seeds and the source tree stays untouched.
# Usage: run_fuzz_target.sh FUZZER SEED_FOLDER SECONDS CRASH_FOLDER
set -euo pipefail
fuzzer="$1" seeds="$2" seconds="$3" crashes="$4"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/corpus" "$crashes"
cp "$seeds"/* "$scratch/corpus/"

status=0
"$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 -artifact_prefix="$crashes/" \
  "$scratch/corpus" >"$scratch/fuzz.log" 2>&1 || status=$?

grep -E '^#[0-9]+[[:space:]]+DONE|^stat::' "$scratch/fuzz.log" || true
echo "crash inputs written: $(grep -c 'Test unit written to' "$scratch/fuzz.log" || true) (into $crashes)"
if [ "$status" -ne 0 ]; then
  echo "fuzzer exited with $status:"
  grep -E 'broken invariant|ERROR: |runtime error' "$scratch/fuzz.log" || true
  echo "end of its output:"
  tail -n 40 "$scratch/fuzz.log"
fi
exit "$status"
