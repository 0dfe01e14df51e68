#!/usr/bin/env bash
# Renders docs/window-before.png and docs/window-after.png: the sandbox's game
# window with its frame, then borderless at the top-left corner once the
# plug-in has run. Wine draws into a virtual desktop on a virtual X display
# (Xvfb), in a prefix of its own that uses Wine's X11 driver.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --pictures
cmake --preset windows >/dev/null
cmake --build --preset windows --target sandbox >/dev/null

build=$PWD/build/windows
export WINEPREFIX=$build/wine-prefix-x11 HOME=$build/wine-home WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
loader=$(dpkg -L wine64 | grep -m1 -E '/wine64$')
server=$(dpkg -L wine64 | grep -m1 -E '/wineserver64$')
export DISPLAY=:97

Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap '"$server" -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
sleep 1
[ -d "$WINEPREFIX" ] || "$loader" wineboot -i >/dev/null 2>&1
# The window shows for six seconds before the host's call, then stays a while.
"$loader" explorer /desktop=Velmoria,1024x768 "$build/sandbox.exe" --load-thread other --load-after-ms 6000 \
  --run-ms 6000 >/dev/null 2>&1 &
desktop=$!
sleep 4
import -window root docs/window-before.png
sleep 5
import -window root docs/window-after.png
wait $desktop
echo "wrote docs/window-before.png and docs/window-after.png"
