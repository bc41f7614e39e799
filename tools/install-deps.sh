#!/usr/bin/env bash
# Installs the Debian 12 packages the build and its tests need (the end-to-end
# test plays under Xvfb), only those that are missing.
set -euo pipefail
pkgs=(cmake ninja-build g++ libtsan2 pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
      libsdl2-dev libsdl2-mixer-dev libpugixml-dev libpng-dev zlib1g-dev libjpeg-dev
      libfreetype-dev fonts-dejavu-core libpixman-1-dev
      clang libclang-rt-14-dev  # the fuzz build: clang and its libFuzzer and sanitizer runtimes
      python3 xvfb xdotool imagemagick)  # the end-to-end test
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
