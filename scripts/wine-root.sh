#!/usr/bin/env bash
# A Debian 13 root holding Wine 10 built for WoW64, where the Windows builds
# are tested, and current Wayland compositors (Sway, Weston, labwc, cage, KWin,
# Mutter), where kivo's Wayland host is. WoW64 Wine runs 32-bit Windows
# code inside a 64-bit process, so the 32-bit kivo.scr runs even on a
# kernel that runs no 32-bit Linux program.
#
#   scripts/wine-root.sh make           make the root once (reused later)
#   scripts/wine-root.sh run CMD [ARG]  run CMD inside it, in this folder
#   scripts/wine-root.sh mirror         the Debian mirror apt uses here ("" when none: debootstrap's own)
#
# The root lives in build/wine-root (KIVO_WINE_ROOT to move it). Every mount
# it needs is made in a private mount namespace that ends with the command,
# so nothing stays mounted and removing build/ is always safe.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
root=$(realpath -m "${KIVO_WINE_ROOT:-$top/build/wine-root}")
# Bump when the package list changes: an older root is then completed.
stamp_text="kivo wine root 5"
stamp=$root/etc/kivo-wine-root

# Wine from unstable; the X server and tools from Debian 13 itself.
wine_packages=(wine wine64 libwine)
tool_packages=(xvfb xdotool imagemagick x11-utils x11-xserver-utils xserver-xorg-core xserver-xorg-video-dummy
  fonts-noto-cjk locales procps sway grim weston libwayland-client0 libx11-6 libxext6 libxrandr2 libgif7 libpng16-16t64)
# The other Wayland desktops kivo is tried on (tests/e2e/wayland_test.sh),
# installed after Wine: Wine brings unstable's libxkbcommon0, which the Qt
# of KWin then needs its libxkbcommon-x11-0 to match.
desktop_packages=(labwc cage kwin-wayland mutter swayidle dbus-daemon wayland-utils libxkbcommon-x11-0/sid)

fail() { echo "wine-root: $*" >&2; exit 1; }

# Every step runs in a private mount namespace. Inside a chroot whose / is
# not a mount point the kernel refuses one; say so, rather than letting the
# first step that needs it (debootstrap) take the blame.
need_private_namespace() {
  local why
  why=$(unshare --mount --propagation private true 2>&1) && return 0
  fail "cannot make a private mount namespace (${why:-unshare failed}). Inside a chroot this happens when its / is \
not a mount point: enter it after 'mount --bind DIR DIR' (then 'chroot DIR'), or run this outside the chroot."
}

# The Debian mirror apt already uses under DIR (/ by default;
# KIVO_DEBIAN_MIRROR overrides it), or nothing, when debootstrap is to take
# its own default.
debian_mirror() {
  [ -n "${KIVO_DEBIAN_MIRROR:-}" ] && { echo "$KIVO_DEBIAN_MIRROR"; return; }
  local m dir=${1:-}
  m=$(cat "$dir"/etc/apt/sources.list "$dir"/etc/apt/sources.list.d/*.list 2>/dev/null |
    sed -n 's,^deb \(\[[^]]*\] \)\?\(https\?://[^ ]*/debian\)/\? .*,\2,p' | head -n 1)
  [ -n "$m" ] || m=$(cat "$dir"/etc/apt/sources.list.d/*.sources 2>/dev/null |
    sed -n 's,^URIs: *\(https\?://[^ ]*/debian\)/\?$,\1,p' | head -n 1)
  echo "$m"
}

# Runs "$@" inside the root with /proc, /dev and this repository mounted.
# TMPDIR is dropped: the host's may not exist there, and Wine 10 aborts at
# start ("free(): invalid pointer") when it is set, even to /tmp.
in_root() {
  local cwd=$PWD
  case "$cwd" in "$top" | "$top"/*) ;; *) cwd=$top ;; esac
  unshare --mount --propagation private -- /bin/bash -euc '
    root=$1 top=$2 cwd=$3; shift 3
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    # Shared memory an ordinary user may make (Wayland clients need it).
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    mkdir -p "$root$top"
    # The Wayland tests run this tree'"'"'s programs as an ordinary user: every
    # folder above it in the root must let them through (/root does not).
    dir=$top
    while [ "$dir" != / ]; do dir=$(dirname "$dir"); [ "$dir" = / ] || chmod o+x "$root$dir"; done
    mount --bind "$top" "$root$top"
    exec chroot "$root" /usr/bin/env -u TMPDIR HOME=/root \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      /bin/bash -c "cd \"\$0\" && exec \"\$@\"" "$cwd" "$@"
  ' kivo-wine-root "$root" "$top" "$cwd" "$@"
}

make_root() {
  [ "$(id -u)" = 0 ] || fail "making the Wine root needs root (debootstrap, chroot)"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_text" ]; then return 0; fi
  need_private_namespace
  command -v debootstrap >/dev/null || {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null 2>&1 ||
      { apt-get update -qq >/dev/null 2>&1 && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null 2>&1; } ||
      fail "cannot install debootstrap"
  }
  local mirror log
  mirror=$(debian_mirror)
  mkdir -p "$(dirname "$root")"
  log=$(dirname "$root")/wine-root.log
  echo "wine-root: making a Debian 13 root with WoW64 Wine 10 in $root (log: $log)"
  if [ ! -x "$root/usr/bin/apt-get" ]; then
    rm -rf "$root"
    unshare --mount --propagation private -- debootstrap --variant=minbase trixie "$root" ${mirror:+"$mirror"} \
      >"$log" 2>&1 || fail "debootstrap of Debian 13 from ${mirror:-the default mirror of debootstrap} failed (see $log)"
  fi
  # Without one here, the mirror debootstrap chose, as the root's apt has it.
  [ -n "$mirror" ] || mirror=$(debian_mirror "$root")
  [ -n "$mirror" ] || fail "cannot tell which Debian mirror $root was made from"
  cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror trixie main
deb $mirror sid main
EOF
  rm -f "$root/etc/apt/sources.list.d/"*.sources
  # The archive may be a fixed snapshot whose release files have expired.
  echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99kivo"
  echo 'APT::Default-Release "trixie";' >>"$root/etc/apt/apt.conf.d/99kivo"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
  {
    in_root apt-get update -qq &&
      in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${tool_packages[@]}" &&
      in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -t sid \
        "${wine_packages[@]}" &&
      in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${desktop_packages[@]}"
  } >>"$log" 2>&1 || fail "installing Wine and the X tools in the root failed (see $log)"
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' "$root/etc/locale.gen"
  grep -q '^ja_JP.UTF-8 UTF-8' "$root/etc/locale.gen" || echo 'ja_JP.UTF-8 UTF-8' >>"$root/etc/locale.gen"
  in_root locale-gen >>"$log" 2>&1 || fail "locale-gen failed in the root (see $log)"
  in_root apt-get clean >/dev/null 2>&1 || true
  echo "$stamp_text" >"$stamp"
  echo "wine-root: ready ($(in_root wine --version 2>/dev/null))"
}

case "${1:-}" in
  make) make_root ;;
  run)
    shift
    [ $# -gt 0 ] || fail "run: no command given"
    [ -f "$stamp" ] || fail "no Wine root in $root: run scripts/wine-root.sh make"
    need_private_namespace
    in_root "$@"
    ;;
  path) echo "$root" ;;
  mirror) debian_mirror ;;
  *) fail "usage: wine-root.sh make | run CMD [ARG...] | path | mirror" ;;
esac
