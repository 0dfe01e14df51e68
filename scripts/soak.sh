#!/usr/bin/env bash
# Runs the plug-in in the sandbox for a long while with everything busy: the
# list gaining and losing its entry, batches running, the monitor allowed to
# trim (threshold 0). Prints the game process's threads, handles and private
# bytes early and at the end, and fails unless they stayed flat and every log
# line is whole.
# Usage: scripts/soak.sh [SECONDS (default 600)] [BUILD_DIR (default build/windows)]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=${2:-build/windows}
settings="$build/Data/Plugins/Brackwell.ini"
mkdir -p "$(dirname "$settings")"
saved=$(mktemp)
trap 'if [ -s "$saved" ]; then cp "$saved" "$settings"; else rm -f "$settings"; fi; rm -f "$saved"' EXIT
[ -f "$settings" ] && cp "$settings" "$saved"
printf 'TrimThresholdMB=0\r\n' > "$settings"
cp "$build/Brackwell.dll" "$(dirname "$settings")/"  # where the sandbox looks for it

out=$("$build/wine-run" "$build/sandbox.exe" --run-ms $((seconds * 1000)) --toggle-list 700 --report-resources | tr -d '\r')
figures() { sed -n "s/^sandbox: resources $1: //p" <<<"$out"; }
early=$(figures early)
late=$(figures "at the end")
echo "soak ${seconds}s  early:  $early"
echo "soak ${seconds}s  at end: $late"

value() { sed -n "s/.*$1=\([0-9]*\).*/\1/p" <<<"$2"; }
status=0
for key in threads handles; do
  if [ "$(value $key "$early")" != "$(value $key "$late")" ]; then echo "soak: $key changed"; status=1; fi
done
growth=$(( $(value private_kib "$late") - $(value private_kib "$early") ))
if [ "$growth" -gt 1024 ]; then echo "soak: private bytes grew by ${growth} KiB"; status=1; fi

log=$(sed -n '/^--- /,$p' <<<"$out" | tail -n +2)
lines=$(grep -c '' <<<"$log" || true)
garbled=$(grep -cvE '^\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\] \[(BW|MM)\] ' <<<"$log" || true)
progress=$(grep -c 'CPU worker active' <<<"$log" || true)
echo "soak ${seconds}s  log: $lines lines, $progress progress lines, $garbled garbled"
[ "$garbled" -eq 0 ] && [ "$progress" -gt 0 ] || status=1
echo "reliability: soak lines=$lines garbled=$garbled"
exit $status
