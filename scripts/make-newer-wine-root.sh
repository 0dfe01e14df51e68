#!/usr/bin/env bash
# Makes the root file system that holds the newer Wine (Debian 13's wine64,
# nearer to what Proton runs than the system's own), once, in
# build/newer-wine-root; later runs reuse it. The marker is written only when
# everything is in, so a setup that was interrupted starts again from nothing.
# It fetches the way this machine's apt does: from the Debian archive of its
# sources (one-line or deb822, mirror+file: and the like too), with its
# settings (a proxy among them), and gives up soon when no mirror answers.
# Usage: scripts/make-newer-wine-root.sh   (as root, or with sudo)
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exec "$(dirname "$0")/stoppable.sh" TERM sudo "$0"
cd "$(dirname "$0")/.."
root=$(pwd -P)/build/newer-wine-root
ready=$root/.brackwell-ready
[ -f "$ready" ] && exit 0

scripts/as-invoking-user.sh mkdir -p build
scripts/remove-unless-mounted.sh "$root"

# The sources' entries for this machine's own release name the archive,
# before any apt-get update too; trixie comes from the same places.
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
mapfile -t sources < <(apt-get indextargets --no-release-info \
  --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' |
  awk -v release="$release" '$2 == release { print "deb " $1 " trixie main" }' | sort -u)
if ((${#sources[@]} == 0)); then
  echo "make-newer-wine-root: apt's sources name no Debian archive for $release" >&2
  exit 1
fi
# apt's own settings, then limits that make a silent mirror fail in about a
# minute instead of retrying for tens of minutes.
settings=$root.apt.conf
# Only root may read it: a proxy's address can carry its password.
rm -f "$settings"
(umask 077 && : >"$settings")
{
  apt-config dump | grep '^Acquire::'
  echo 'Acquire::Retries "1"; Acquire::http::Timeout "15"; Acquire::https::Timeout "15";'
} >"$settings"

started=$SECONDS
echo "make-newer-wine-root: Debian 13 and its wine64 into $root, from: ${sources[*]#deb }"
# In namespaces of its own: whatever mmdebstrap mounts, or leaves running
# when it is stopped, goes with it.
if ! scripts/stoppable.sh KILL unshare --mount --pid --fork --kill-child --propagation private \
  mmdebstrap --mode=root --variant=minbase --include=wine64 --aptopt="$settings" \
  trixie "$root" "${sources[@]}" >"$root.log" 2>&1; then
  tail -n 15 "$root.log" >&2
  echo "make-newer-wine-root: setting up Debian 13 failed (all of it in $root.log). If no" \
    "mirror answered, check that 'apt-get update' works on this machine: this setup" \
    "uses the same sources, proxy and settings. Then run it again." >&2
  exit 1
fi
touch "$ready"
echo "make-newer-wine-root: ready in $((SECONDS - started)) s"
