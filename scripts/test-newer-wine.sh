#!/usr/bin/env bash
# Runs the Windows tests under the newer Wine as well (Debian 13's,
# nearer to what Proton runs than the system's), against the same build tree
# and so the same DLL that ships. Sets up that Wine's root file system and
# its prefix first where they are missing.
# Usage: scripts/test-newer-wine.sh
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  echo "test-newer-wine: needs root, for chroot and mount namespaces (sudo $0)" >&2
  exit 1
fi
here=$(cd "$(dirname "$0")" && pwd -P)
# In a PID namespace of its own that ends with whoever started this script:
# when either ends, however it ends (Ctrl-C, a kill), so does everything
# started here, the root's setup in the background among it; and a stop
# request to this script ends it all too.
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
cmake --preset windows >/dev/null
cmake --build --preset windows
wait "$root_setup"
# The checks labelled without-wine only read the build's files: they run in
# the system Wine's pass and nothing in them can differ between Wines.
scripts/with-newer-wine-root.sh scripts/run-windows-tests.sh --label-exclude without-wine
