#!/usr/bin/env bash
# What the savers cost as whole processes: the share of one core each uses,
# from /proc/PID/stat, over 10 seconds after 3 seconds of settling, at 30000
# flakes. Not a test: run it and read the figures.
#
#   bench/whole_process.sh [kivo] [wayland] [wine]   (all by default)
#
# kivo: `kivo -fullscreen` on Xvfb at 1920x1080 and 3840x2160, and on a
# two-monitor Xorg (1024x768 + 800x600) beside the same Xorg with one monitor.
# wayland: `kivo -fullscreen` on a headless Sway (the Wine root's) with one
# 1920x1080 output, on and powered off, then `kivo -lock` on it.
# wine: kivo.scr /s, 32-bit and 64-bit, under the Wine root's WoW64 Wine on
# Xvfb at 1920x1080, on the two-monitor Xorg and on it with one monitor.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tests/e2e/lib.sh"
stop_x() { kill "$XSERVER_PID" 2>/dev/null; wait "$XSERVER_PID" 2>/dev/null; }
settle=${KIVO_BENCH_SETTLE:-3}
span=${KIVO_BENCH_SECONDS:-10}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }
# Prints the share of one core that PID uses over the span, after settling.
cpu_share() {
  sleep "$settle"
  local a b
  a=$(cpu_ticks "$1")
  sleep "$span"
  b=$(cpu_ticks "$1")
  [ -n "$a" ] && [ -n "$b" ] || { echo "gone"; return; }
  awk -v t=$((b - a)) -v hz="$(getconf CLK_TCK)" -v s="$span" 'BEGIN { printf "%.1f %%", 100 * t / hz / s }'
}
row() { printf '%-52s %s\n' "$1" "$2"; }

bench_kivo() {
  local kivo=$top/build/native/kivo size
  [ -x "$kivo" ] || { echo "build the native preset first"; return 1; }
  for size in 1920x1080 3840x2160; do
    start_xvfb "$size" || return 1
    "$kivo" -fullscreen --count 30000 >/dev/null 2>&1 &
    row "kivo -fullscreen, Xvfb $size" "$(cpu_share $!)"
    kill $! 2>/dev/null; wait $! 2>/dev/null; stop_x
  done
  start_two_monitors || return 1
  "$kivo" -fullscreen --count 30000 >/dev/null 2>&1 &
  row "kivo -fullscreen, Xorg 1024x768 + 800x600" "$(cpu_share $!)"
  kill $!; wait $! 2>/dev/null
  xrandr --output DUMMY1 --off
  "$kivo" -fullscreen --count 30000 >/dev/null 2>&1 &
  row "kivo -fullscreen, Xorg 1024x768 alone" "$(cpu_share $!)"
  kill $!; wait $! 2>/dev/null
  stop_x
}

# Runs inside the Wine root, whose Sway stops asking for frames from an
# output that is off; Sway refuses to run as root, so both run as a user.
bench_wayland_inside() {
  local kivo=$top/build/native/kivo user=kivo-test runtime sock pid
  [ -x "$kivo" ] || { echo "build the native preset first"; return 1; }
  id "$user" >/dev/null 2>&1 || useradd -m "$user"
  runtime=$(mktemp -d) && chown "$user" "$runtime" && chmod 700 "$runtime"
  printf 'output HEADLESS-1 mode --custom 1920x1080\nxwayland disable\n' >"$runtime/sway.cfg"
  as() { setpriv --reuid "$user" --regid "$user" --init-groups env XDG_RUNTIME_DIR="$runtime" "$@"; }
  as env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$runtime/sway.cfg" >/dev/null 2>&1 &
  sleep 2
  sock=$(cd "$runtime" && ls wayland-* | grep -v lock | head -n 1)
  as env WAYLAND_DISPLAY="$sock" "$kivo" -fullscreen --count 30000 >/dev/null 2>&1 &
  sleep 1
  pid=$(pgrep -n -x kivo)
  row "kivo -fullscreen, headless Sway 1920x1080" "$(cpu_share "$pid")"
  as swaymsg -s "$(ls "$runtime"/sway-ipc.*)" output '*' power off >/dev/null
  row "kivo -fullscreen, headless Sway, output off" "$(cpu_share "$pid")"
  kill "$pid"
  as swaymsg -s "$(ls "$runtime"/sway-ipc.*)" output '*' power on >/dev/null
  as env WAYLAND_DISPLAY="$sock" "$kivo" -lock --count 30000 >/dev/null 2>&1 &
  sleep 1
  pid=$(pgrep -n -x kivo)
  row "kivo -lock, headless Sway 1920x1080" "$(cpu_share "$pid")"
  kill -9 "$pid"; pkill -u "$user" sway
}

# Runs inside the Wine root.
bench_wine_inside() {
  . "$top/tests/e2e/wine_env.sh"
  export KIVO_WINEPREFIX=${KIVO_WINEPREFIX:-/tmp/kivo-wineprefix-bench}
  local arch display pid name
  for display in xvfb two-monitors one-monitor; do
    case "$display" in
      xvfb) start_xvfb 1920x1080 || return 1; name="Xvfb 1920x1080" ;;
      two-monitors) start_two_monitors || return 1; name="Xorg 1024x768 + 800x600" ;;
      one-monitor) start_two_monitors || return 1; xrandr --output DUMMY1 --off; name="Xorg 1024x768 alone" ;;
    esac
    wine_prefix_ready >/dev/null || return 1
    "$WINE" reg add 'HKCU\Software\Orvek\SCREEN SAVER\KIVO' /v COUNT /t REG_DWORD /d 30000 /f >/dev/null 2>&1
    for arch in i686 x64; do
      "$WINE" "$top/build/mingw-$arch/kivo.scr" /s >/dev/null 2>&1 &
      sleep 2
      pid=$(pgrep -f "mingw-$arch/kivo.scr" | head -n 1)
      row "kivo.scr /s ($arch), $name" "$([ -n "$pid" ] && cpu_share "$pid" || echo "did not start")"
      wine_stop_all; sleep 1
    done
    stop_x
  done
}

case "${1:-all}" in
  --inside-wine-root) bench_wine_inside ;;
  --wayland-inside-wine-root) bench_wayland_inside ;;
  *)
    what=${*:-kivo wayland wine}
    echo "whole-process CPU, share of one core, over ${span} s ($(nproc) cores, $(date -u +%F))"
    for w in $what; do
      case "$w" in
        kivo) bench_kivo ;;
        wine) "$top/scripts/wine-root.sh" run "$top/bench/whole_process.sh" --inside-wine-root ;;
        wayland) "$top/scripts/wine-root.sh" run "$top/bench/whole_process.sh" --wayland-inside-wine-root ;;
        *) echo "unknown: $w (kivo, wayland or wine)"; exit 2 ;;
      esac
    done
    ;;
esac
