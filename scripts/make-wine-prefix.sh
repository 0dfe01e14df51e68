#!/bin/sh
# Makes the Wine prefix that the given wine-run script points at, once.
# Usage: make-wine-prefix.sh path/to/wine-run
set -eu
run="$1"
prefix=$(sed -n "s/^export WINEPREFIX='\(.*\)'$/\1/p" "$run")
home=$(sed -n "s/^export HOME='\(.*\)'$/\1/p" "$run")
[ -f "$prefix/.brackwell-ready" ] && exit 0

mkdir -p "$home"
"$run" wineboot -i
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="null"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"="cmd /c exit"
"Auto"="1"
REG
"$run" regedit /S "$(echo "Z:$reg" | tr / '\\')"
"$run" --server -k
touch "$prefix/.brackwell-ready"
