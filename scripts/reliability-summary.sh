#!/usr/bin/env bash
# Sums up the last Windows test run's robustness cases: how many were tried,
# how many game processes lived through them, and how many log lines the
# stress and soak runs checked, lost or found garbled.
# Usage: scripts/reliability-summary.sh [BUILD_DIR (default build/windows)] [WINE]
#   WINE   the Wine the run used, named in the heading
set -euo pipefail
log="${1:-build/windows}/Testing/Temporary/LastTest.log"
[ -f "$log" ] || { echo "reliability: no test log at $log"; exit 0; }
awk -v heading="== Reliability${2:+ under $2} ==" '
  /^[0-9]+\/[0-9]+ Test: / {
    name = $3
    robust = name ~ /^(FaultInjection|Contents\/BadSettingsFile|Lists\/BrokenList|LogStress|OtherHosts\/Refusal|WindowThread\/FromAnotherThread|soak)/
  }
  /^Test Passed\./ { if (robust) { tried++; survived++ } }
  /^Test Failed\./ { if (robust) tried++ }
  /^reliability: / {
    for (i = 2; i <= NF; i++) {
      split($i, kv, "=")
      if (kv[1] == "lines") lines += kv[2]
      if (kv[1] == "lost") lost += kv[2]
      if (kv[1] == "garbled") garbled += kv[2]
    }
  }
  END {
    print heading
    printf "fault, stress and soak cases tried: %d; game processes that survived them: %d\n", tried, survived
    printf "log lines counted in stress and soak runs: %d; lost: %d; garbled: %d\n", lines, lost, garbled
  }' "$log"
