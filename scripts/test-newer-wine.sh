#!/usr/bin/env bash
# Runs the Windows tests under the newer Wine as well (Debian 13's,
# nearer to what Proton runs than the system's), against the same build tree
# and so the same DLL that ships. Sets up that Wine's root file system and
# its prefix first where they are missing. Needs root, for chroot and mount
# namespaces: a user who is not root gets it through sudo, and the build and
# the tests still run as that user.
# Usage: scripts/test-newer-wine.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
# Either way below, it ends with whoever started it, however that ends
# (Ctrl-C, a kill), and a stop request to it ends everything it started:
# sudo passes TERM on to the root part.
if [ "$(id -u)" -ne 0 ]; then
  exec setpriv --pdeathsig TERM "$here/stoppable.sh" TERM sudo "$here/${0##*/}"
fi
# In a PID namespace of its own, which takes along whatever runs in it, the
# root's setup in the background among it.
if [ "${1:-}" != --in-namespace ]; then
  exec setpriv --pdeathsig KILL "$here/stoppable.sh" KILL unshare --pid --fork --kill-child \
    "$0" --in-namespace
fi
cd "$here/.."
scripts/install-deps.sh
# The root's first setup, a minute or so of downloads and unpacking
# on a quiet machine, runs while the Windows build compiles.
scripts/make-newer-wine-root.sh &
root_setup=$!
scripts/as-invoking-user.sh sh -c 'cmake --preset windows >/dev/null && cmake --build --preset windows'
wait "$root_setup"
scripts/check-newer-wine-stage.sh
# The checks labelled without-wine only read the build's files: they run in
# the system Wine's pass and nothing in them can differ between Wines.
scripts/with-newer-wine-root.sh scripts/run-windows-tests.sh --label-exclude without-wine
