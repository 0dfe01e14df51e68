#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and runs it in the sandbox:
# the game window, the host's load call, ten seconds of the plug-in's life,
# then the log it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target sandbox wine_prefix >/dev/null
trap 'build/windows/wine-run --server -k 2>/dev/null || true' EXIT  # leave no wine server behind
build/windows/wine-run build/windows/sandbox.exe --run-ms "${DEMO_MS:-10000}" | tr -d '\r'
