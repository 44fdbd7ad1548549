#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, only those that are missing.
# Safe to run any number of times.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev llvm-14 pkg-config
  libgtest-dev googletest libbenchmark-dev
  libpng-dev libyuv-dev libsdl2-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  wine wine64 xvfb xauth fonts-wine pulseaudio pulseaudio-utils python3 imagemagick
  libxrender1 libxrandr2 libxi6 libxcursor1 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
