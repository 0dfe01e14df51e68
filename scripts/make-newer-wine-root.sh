#!/usr/bin/env bash
# Makes the root file system that holds the newer Wine (Debian 13's wine64,
# nearer to what Proton runs than the system's own), once, in
# build/newer-wine-root; later runs reuse it. The marker is written only when
# everything is in, so a setup that was interrupted starts again from nothing.
# Usage: scripts/make-newer-wine-root.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)/build/newer-wine-root
ready=$root/.brackwell-ready
[ -f "$ready" ] && exit 0

scripts/remove-unless-mounted.sh "$root"
mkdir -p "$(dirname "$root")"

# The Debian mirror this machine's apt already fetches from.
mirror=$(apt-get indextargets --format '$(REPO_URI) $(LABEL)' 'Created-By: Packages' |
  awk '$2 == "Debian" { print $1; exit }')
if [ -z "$mirror" ]; then
  echo "make-newer-wine-root: no Debian mirror in apt's sources (apt-get update first?)" >&2
  exit 1
fi

started=$SECONDS
echo "make-newer-wine-root: Debian 13 from $mirror into $root"
# In namespaces of its own: whatever debootstrap mounts, or leaves running when
# it is killed, goes with it.
unshare --mount --pid --fork --kill-child --propagation private \
  debootstrap --variant=minbase trixie "$root" "$mirror" >"$root.log" 2>&1 ||
  { tail -n 20 "$root.log" >&2; exit 1; }
scripts/with-newer-wine-root.sh chroot "$root" sh -c \
  'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine64 && apt-get clean' \
  >>"$root.log" 2>&1 || { tail -n 20 "$root.log" >&2; exit 1; }
touch "$ready"
echo "make-newer-wine-root: ready in $((SECONDS - started)) s"
