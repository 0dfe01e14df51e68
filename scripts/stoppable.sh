#!/usr/bin/env bash
# Runs a command so that a stop request to this script (TERM, INT, HUP) ends
# it: the request is passed on to the command as SIGNAL, and the command gets
# SIGNAL as well when this script dies. KILL suits unshare, which ignores
# TERM and INT while it waits (with --kill-child, its namespace then goes
# with it); TERM suits sudo, which passes TERM on to its command.
# Usage: scripts/stoppable.sh SIGNAL COMMAND [ARGS...]
set -euo pipefail
signal=$1
shift
# An explicit stdin: a command started with & would read /dev/null.
setpriv --pdeathsig "$signal" "$@" <&0 &
command=$!
stop() {
  kill -"$signal" "$command" 2>/dev/null || true
  wait "$command" 2>/dev/null || true
  exit "$1"
}
trap 'stop 129' HUP
trap 'stop 130' INT
trap 'stop 143' TERM
wait "$command"
