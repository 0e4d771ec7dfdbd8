#!/usr/bin/env bash
# Installs what building and testing KIVO needs on Debian (run as root).
# Skips apt entirely when everything is already there.
set -eu
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev valgrind libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libgif-dev libx11-dev libxext-dev libxrandr-dev
  pkg-config libwayland-dev libwayland-bin wayland-protocols libxkbcommon-dev libpam0g-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 g++-i686-linux-gnu qemu-user
  lintian dpkg-dev xscreensaver nsis zip debootstrap xvfb xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils xdotool x11-utils x11-apps imagemagick fonts-noto-cjk locales
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

# The saver's dialog is also tested under a Japanese locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; then
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
