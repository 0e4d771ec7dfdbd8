#!/usr/bin/env bash
# Installs what building and testing KIVO needs on Debian (run as root).
# Skips apt entirely when everything is already there.
set -eu
packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 g++-i686-linux-gnu qemu-user
  wine64 xvfb xdotool x11-utils x11-apps imagemagick fonts-noto-cjk
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
