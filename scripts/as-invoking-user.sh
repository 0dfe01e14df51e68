#!/usr/bin/env bash
# Runs a command as the user who started the stage through sudo, so that
# what it writes into the build tree stays theirs (and Wine takes its prefix,
# which must belong to whoever runs it); run by root itself, it runs the
# command as it is. The command keeps the right to chroot, which wine-run
# needs to enter the newer Wine's root.
# Usage: scripts/as-invoking-user.sh COMMAND [ARGS...]
set -euo pipefail
if [ "${SUDO_UID:-0}" -eq 0 ]; then
  exec "$@"
fi
IFS=: read -r name _ _ _ _ home _ < <(getent passwd "$SUDO_UID")
exec setpriv --reuid="$SUDO_UID" --regid="$SUDO_GID" --init-groups \
  --inh-caps=+sys_chroot --ambient-caps=+sys_chroot \
  env HOME="$home" USER="$name" LOGNAME="$name" "$@"
