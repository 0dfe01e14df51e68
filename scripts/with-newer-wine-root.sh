#!/usr/bin/env bash
# Runs a command with the newer Wine's root file system ready for chroot:
# /proc, /sys, /dev, /dev/shm, /dev/pts and this checkout (at the same path,
# so the build tree's paths mean the same inside) mounted into it, and
# BW_NEWER_WINE_ROOT naming it, which makes build/windows/wine-run use that
# Wine. All of it happens in private mount and PID namespaces: when the
# command ends, however it ends (a failure, Ctrl-C, a kill), the kernel takes
# the mounts away and ends whatever is left running (a wine server, Wine's
# own services), and the rest of the machine never sees either. Started
# through sudo, it runs the command as the user who called sudo.
# Usage: scripts/with-newer-wine-root.sh COMMAND [ARGS...]   (as root, or with sudo)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
[ "$(id -u)" -eq 0 ] || exec "$here/stoppable.sh" TERM sudo "$here/${0##*/}" "$@"
checkout=$(dirname "$here")
root=$checkout/build/newer-wine-root

if [ "${1:-}" != --in-namespace ]; then
  exec "$here/stoppable.sh" KILL unshare --mount --pid --fork --kill-child \
    --propagation private --mount-proc "$0" --in-namespace "$@"
fi
shift

for folder in /proc /sys /dev /dev/shm /dev/pts "$checkout"; do
  mkdir -p "$root$folder"
  mount --bind "$folder" "$root$folder"
done
# This shell is the namespace's first process: it stays to reap what Wine
# leaves behind, and when it exits the namespace ends.
BW_NEWER_WINE_ROOT=$root "$here/as-invoking-user.sh" "$@"
