#!/usr/bin/env bash
# What a new user meets on today's Debian: a fresh minimal Debian 13 root
# (debootstrap minbase), the repository cloned into it (its committed state),
# and scripts/run.sh, which must install what it needs, build kivo and
# kivo-render and show the snow: run by an ordinary user with sudo (who gets
# the packages through sudo and the build as their own), then as root: as a
# picture where there is no display (the very picture this tree's
# kivo-render draws from the same seed), in a window on an X display, and as
# the picture again where the display it is given cannot be reached; and
# the lean build installed whole into a prefix. The root is removed at the
# end; its log stays.
#
#   fresh_debian_test.sh KIVO_RENDER     as root, from anywhere
#
# KIVO_FRESH_RELEASE picks another release (bookworm, sid). The root is made
# from the mirror apt uses here, as the Wine root is.
set -u
render=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$here/lib.sh"
release=${KIVO_FRESH_RELEASE:-trixie}
root=$top/build/fresh-$release
log=$top/build/fresh-$release.log
repo=/root/kivo
picture_line="picture: $repo/build/kivo-snow.png"

[ "$(id -u)" = 0 ] || { echo "FAIL: making a Debian root needs root"; exit 1; }
why=$(unshare --mount --propagation private true 2>&1) ||
  { echo "FAIL: no private mount namespace here (${why:-unshare failed}); see the README on chroots and containers"; exit 1; }
rm -rf "$root"
at_exit+=("rm -rf '$root'")

# COMMAND run as root inside, with nothing of this environment but NAME=VALUE
# words before it; / is a mount point there, as in a container, and the X
# servers' sockets are those of this machine.
in_root() {
  unshare --mount --propagation private -- /bin/bash -euc '
    root=$1; shift
    mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    mkdir -p /tmp/.X11-unix "$root/tmp/.X11-unix"
    mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
    exec chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
  ' fresh-root "$root" "$@"
}
run_sh() { in_root "$@" bash -c "cd $repo && exec scripts/run.sh"; }  # [NAME=VALUE...]
installed() { chroot "$root" dpkg-query -W -f='${Status}\n' "$@" 2>/dev/null | grep -c 'install ok installed'; }
said() { grep -q -- "$2" "$work/$1.out"; }  # NAME TEXT

echo "-- a fresh Debian $release root"
mirror=$("$top/scripts/wine-root.sh" mirror)
mkdir -p "$top/build"
start_time=$SECONDS
unshare --mount --propagation private -- debootstrap --variant=minbase "$release" "$root" ${mirror:+"$mirror"} >"$log" 2>&1
made=$?
check "debootstrap --variant=minbase $release from ${mirror:-the default mirror of debootstrap} ($((SECONDS - start_time)) s)" [ "$made" = 0 ]
[ "$made" = 0 ] || { tail -n 20 "$log"; finish; exit; }
# The archive may be a fixed snapshot whose release files have expired.
echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99kivo"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null
check "the repository cloned into it" git clone -q "$top" "$root$repo"

echo "-- scripts/run.sh by an ordinary user with sudo, with no display"
desk=/home/desk/kivo
in_root apt-get install -y -qq --no-install-recommends sudo >>"$log" 2>&1
in_root useradd -m desk && echo 'desk ALL=(ALL) NOPASSWD: ALL' >"$root/etc/sudoers.d/desk"
git clone -q "$top" "$root$desk" && in_root chown -R desk: "$desk"
before=$(installed)
in_root su desk -c "cd $desk && exec scripts/run.sh" >"$work/user.out" 2>&1
code=$?
{ echo "== scripts/run.sh as desk"; cat "$work/user.out"; } >>"$log"
check "it ends with 0, having installed $(($(installed) - before)) packages" [ "$code" = 0 ]
check "through sudo" said user "^installing .* packages through sudo:"
check "it names the picture in the user's tree" said user "picture: $desk/build/kivo-snow.png\$"
check "the build is the user's own" [ "$(in_root stat -c %U "$desk/build/lean/kivo" 2>/dev/null)" = desk ]

echo "-- scripts/run.sh as root, with no display"
before=$(installed)
start_time=$SECONDS
run_sh >"$work/plain.out" 2>&1
code=$?
took=$((SECONDS - start_time))
{ echo "== scripts/run.sh"; cat "$work/plain.out"; } >>"$log"
check "it ends with 0 in $took s, having installed $(($(installed) - before)) packages" [ "$code" = 0 ]
check "it names the picture" said plain "$picture_line\$"
png=$root$repo/build/kivo-snow.png
check "a 1280x720 picture" [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = 1280x720 ]
lit=$(bright_pixels 0 0 1280 720 "$png")
check "snow on it ($lit bright pixels)" [ "${lit:-0}" -gt 5000 ]
seed=$(sed -n 's/^kivo-render: seed \([0-9]*\)$/\1/p' "$work/plain.out")
"$render" --width 1280 --height 720 --count 30000 --frames 400 --seed "${seed:-0}" --out "$work/here.png" 2>/dev/null
check "the picture this tree's kivo-render draws from seed ${seed:-?}, pixel for pixel" \
  [ "$(compare -metric AE "$png" "$work/here.png" null: 2>&1)" = 0 ]
check "only what the snow needs: no compiler for the tests, no test library, no X server" \
  [ "$(installed clang libgtest-dev g++-mingw-w64-x86-64 xvfb)" = 0 ]
check "kivo knows its version" grep -qxE "kivo [0-9]+\.[0-9]+\.[0-9]+" <(in_root "$repo/build/lean/kivo" --version 2>&1)
expect_refusal "kivo -wayland with no compositor" in_root "$repo/build/lean/kivo" -wayland
check "and it speaks Wayland (not 'X11 only')" not grep -q "X11 only" <(in_root "$repo/build/lean/kivo" -wayland 2>&1)

echo "-- the lean build installed into a prefix"
in_root cmake --install "$repo/build/lean" --prefix /opt/kivo >"$work/install.out" 2>&1
check "cmake --install build/lean --prefix /opt/kivo ends with 0" [ $? = 0 ]
for f in bin/kivo bin/kivo-render libexec/xscreensaver/kivo share/man/man6/kivo.6x.gz share/man/man1/kivo-render.1.gz \
  share/bash-completion/completions/kivo share/zsh/vendor-completions/_kivo share/fish/vendor_completions.d/kivo.fish \
  lib/systemd/user/kivo-background.service; do
  check "it installs /opt/kivo/$f" [ -e "$root/opt/kivo/$f" ]
done
check "and the PAM service where PAM looks for it" [ -f "$root/etc/pam.d/kivo" ]

echo "-- scripts/run.sh on an X display"
start_xvfb || { finish; exit; }
start x11 run_sh DISPLAY="$DISPLAY"
window=
for _ in $(seq 60); do
  window=$(xdotool search --name '^KIVO$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.5
done
check "kivo's window on $DISPLAY" [ -n "$window" ]
sleep 1
snowing_within 10 "run.sh on $DISPLAY" 100 "0 0 800 600 the window"
check "it says where it snows" said x11 "window on the X display $DISPLAY:"
[ -n "$window" ] && xdotool mousemove 400 300 key space
check "a key ends kivo, and run.sh ends with 0" ends_with x11 0 20

echo "-- scripts/run.sh where the display named cannot be reached"
n=90
while [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
run_sh DISPLAY=":$n" >"$work/gone.out" 2>&1
check "an X display nobody serves (:$n): run.sh ends with 0" [ $? = 0 ]
check "it says kivo could not start there" said gone "kivo could not open a window on the X display :$n,"
check "and names the picture" said gone "$picture_line\$"
run_sh WAYLAND_DISPLAY=kivo-nowhere XDG_RUNTIME_DIR=/tmp >"$work/nowhere.out" 2>&1
check "a Wayland display nobody serves: run.sh ends with 0" [ $? = 0 ]
check "it says kivo could not start there" said nowhere "kivo could not open a window on the Wayland display kivo-nowhere,"
check "and names the picture" said nowhere "$picture_line\$"
{ echo "== the other runs"; cat "$work/x11.out" "$work/gone.out" "$work/nowhere.out"; } >>"$log" 2>/dev/null
finish
