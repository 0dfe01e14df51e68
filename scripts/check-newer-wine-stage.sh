#!/usr/bin/env bash
# Checks the newer Wine's stage's own safety, at a path that holds a space
# (which mountinfo escapes) and brackets (which a pattern would read): its
# root is never removed through a mount under it, and a stop request ends
# everything the stage started. As root, after the root is set up.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d "/tmp/newer wine [check] XXXXXX")
trap 'kill -KILL "${stage:-}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
mkdir -p "$scratch/kept" "$scratch/root [x]/kept" && touch "$scratch/kept/file"
unshare --mount --propagation private sh -c 'mount --bind "$1/kept" "$1/root [x]/kept" &&
  ! scripts/remove-unless-mounted.sh "$1/root [x]" 2>/dev/null' sh "$scratch"
[ -f "$scratch/kept/file" ] || { echo "check: the root was removed through a mount" >&2; exit 1; }

seconds=1000.$RANDOM$RANDOM
scripts/with-newer-wine-root.sh sleep "$seconds" &
stage=$!
timeout 30 sh -c 'until pgrep -xf "sleep $1" >/dev/null; do sleep 0.1; done' sh "$seconds"
kill -TERM "$stage"
# [s]: a pattern that pgrep's own command line doesn't match (in a PID
# namespace without its own /proc, pgrep can't tell itself from the rest).
timeout 10 sh -c 'while pgrep -f "[s]leep $1" >/dev/null; do sleep 0.1; done' sh "$seconds" ||
  { echo "check: a stop request left the stage running" >&2; exit 1; }
echo "newer Wine's stage: removal guard and stop request work"
