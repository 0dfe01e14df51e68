#!/usr/bin/env bash
# Removes a folder, but deletes nothing while anything is mounted at or under
# it: rm -rf (even with --one-file-system) goes through a bind mount of the
# same file system, and the newer Wine's stages bind this checkout itself
# into its root. The check and the removal run in a private mount namespace,
# which no mount made elsewhere after the check can reach.
# Usage: scripts/remove-unless-mounted.sh FOLDER
set -euo pipefail
if [ "${1:-}" != --in-namespace ]; then
  exec "$(dirname "$0")/stoppable.sh" KILL unshare --mount --fork --kill-child \
    --propagation private "$0" --in-namespace "$@"
fi
folder=$(realpath -m "$2")
# mountinfo's fifth field is the mount point, with octal escapes (\040 for
# a space, \134 for a backslash) that %b decodes once each gets its 0.
while read -r _ _ _ _ point _; do
  point=$(printf '%b' "${point//\\/\\0}")
  if [[ $point == "$folder" || $point == "$folder"/* ]]; then
    echo "remove-unless-mounted: $point is mounted under $folder; unmount it first" >&2
    exit 1
  fi
done </proc/self/mountinfo
rm -rf "$folder"
