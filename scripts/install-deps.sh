#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, and nothing
# that is already there. Safe to run again.
set -euo pipefail

# clang and libclang-rt-14-dev for the fuzz targets; clang-19, lld-19 and
# llvm-19 for the Windows build and the checks of its PDB; llvm for
# llvm-symbolizer, which the sanitizers' reports and the README use;
# mmdebstrap for the root file system that holds the newer Wine.
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang-19 lld-19 llvm-19 llvm
  wine64 cppcheck clang-tidy clang-format
  mmdebstrap
)
# Only for rendering the pictures in docs/.
if [ "${1:-}" = "--pictures" ]; then
  packages+=(xvfb xauth imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
