#!/usr/bin/env bash
# Runs the Windows tests of build/windows under the Wine its wine-run uses
# (the system's, or the newer one inside scripts/with-newer-wine-root.sh):
# first that Wine's version, then ctest, then this run's robustness summary
# under the Wine's name, since the next run's test log replaces this one's.
# Usage: scripts/run-windows-tests.sh [CTEST ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/windows
wine=$("$build/wine-run" --version)
echo "$wine"
scripts/make-wine-prefix.sh "$build/wine-run"
status=0
ctest --preset windows "$@" || status=$?
scripts/reliability-summary.sh "$build" "$wine"
exit $status
