#!/bin/sh
# Makes the Wine prefix that the given wine-run script points at, once.
# Usage: make-wine-prefix.sh path/to/wine-run
set -eu
run="$1"
prefix=$("$run" --prefix)
[ -f "$prefix/.brackwell-ready" ] && exit 0

"$run" wineboot -i
# In the prefix, where a Wine in a root file system of its own sees it too.
reg=$(mktemp -p "$prefix" --suffix=.reg)
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
