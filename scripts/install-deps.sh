#!/usr/bin/env bash
# Installs what KIVO needs on Debian 12 (bookworm), 13 (trixie) or unstable
# (sid), as root or through sudo, and skips apt entirely when everything is
# already there: then any Debian-based system (Ubuntu too) will do.
#
#   scripts/install-deps.sh        everything: building every preset and every test
#   scripts/install-deps.sh snow   only what building kivo and kivo-render needs
set -eu

fail() { echo "install-deps: $*" >&2; exit 1; }

case "${1:-all}" in
  all | snow) set_name=${1:-all} ;;
  *) fail "usage: install-deps.sh [all | snow]" ;;
esac

# The release decides the names; installing on another is refused in one line.
os_id=$(. /etc/os-release 2>/dev/null && echo "${ID:-}")
codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
pretty=$(. /etc/os-release 2>/dev/null && echo "${PRETTY_NAME:-an unknown system}")
case "$os_id:$codename" in
  debian:bookworm | debian:trixie | debian:forky | debian:sid) known=1 ;;
  *) known= ;;
esac
unknown() {
  fail "$pretty is not one KIVO's scripts install on (Debian 12 bookworm, 13 trixie, unstable sid); install these yourself: $*"
}

# kivo (Wayland and X11 hosts, the lock's PAM and logind) and kivo-render (PNG, GIF).
snow_packages=(
  g++ cmake ninja-build pkg-config
  libpng-dev libgif-dev
  libx11-dev libxext-dev libxrandr-dev
  libwayland-dev libwayland-bin wayland-protocols libxkbcommon-dev
  libpam0g-dev libsystemd-dev
)
# The tests, benchmarks, fuzzers, cross builds, release files and the roots
# the Windows, Wayland and fresh-machine tests run in. python3 runs
# scripts/mutants.py.
test_packages=(
  clang valgrind libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 g++-i686-linux-gnu qemu-user
  lintian dpkg-dev xscreensaver nsis zip debootstrap git python3 sudo
  bash-completion zsh fish systemd
  xvfb xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils xdotool x11-utils x11-apps
  imagemagick fonts-noto-cjk locales
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# apt's own chatter is shown only when it fails.
apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT
apt_quiet() { "$@" >"$apt_log" 2>&1 || { cat "$apt_log" >&2; fail "failed: $*"; }; }
updated=
# Root's commands, as root or through sudo (which asks for the password on
# the terminal, never in the log).
as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"
  elif command -v sudo >/dev/null; then sudo -- "$@"
  else fail "not installed: $need; run this as root, or install sudo"; fi
}
need=clang
# Only before installing, or when clang is missing and its version is looked up.
apt_update() { [ -n "$updated" ] || { [ -n "$known" ] || unknown "$need"; apt_quiet as_root apt-get update; updated=1; }; }

# The fuzzers link clang's own runtime (libFuzzer and the sanitizers), which
# comes in a package named after clang's major version: that of the clang
# installed, or else of the one apt would install.
clang_runtime() {  # sets rt
  local major
  if command -v clang >/dev/null; then
    major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\)\..*/\1/p' | head -n 1)
  else
    clang_candidate() { apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n 1; }
    major=$(clang_candidate)
    [ -n "$major" ] || { apt_update; major=$(clang_candidate); }
  fi
  [ -n "$major" ] || fail "cannot tell which clang $codename has (apt-cache depends clang)"
  rt=libclang-rt-$major-dev
}

packages=("${snow_packages[@]}")
if [ "$set_name" = all ]; then
  packages+=("${test_packages[@]}")
  clang_runtime
  packages+=("$rt")
fi

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  need="${missing[*]}"
  [ -n "$known" ] || unknown "$need"
  echo "installing ${#missing[@]} packages$([ "$(id -u)" = 0 ] || echo ' through sudo'): ${missing[*]}"
  # sudo asks for the password here, on the terminal, before apt's output goes to the log.
  [ "$(id -u)" = 0 ] || ! command -v sudo >/dev/null || sudo -v || fail "sudo refused; not installed: $need"
  apt_update
  apt_install() { apt_quiet as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"; }
  apt_install "${missing[@]}"
  # clang came with this install: make sure its runtime is the one that matches.
  if [ "$set_name" = all ]; then
    clang_runtime
    installed "$rt" || apt_install "$rt"
  fi
fi

# The saver's dialog is also tested under a Japanese locale.
if [ "$set_name" = all ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; then
  as_root sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || as_root sh -c "echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen"
  as_root locale-gen >/dev/null
fi
