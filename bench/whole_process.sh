#!/usr/bin/env bash
# What the savers cost as whole processes: the share of one core each uses,
# from /proc/PID/stat, over 10 seconds after 3 seconds of settling, at 30000
# flakes. Beside each share: the CPU it spent per tick, the frame step's own
# mean cost at that size over the same beats of the animation (kivo-render
# --stats from the same build, run just before; summed over the monitors),
# and the ratio of the two, which is what being live costs on top of the
# step; then the same for the step taken on the beat (kivo-render --paced):
# the share of that cost that sleeping between beats brings by itself, and
# what the host adds to it. Not a test: run it and read the figures.
#
#   bench/whole_process.sh [kivo] [wayland] [wine]   (all by default)
#   KIVO_BUILD=DIR (build/native by default) takes kivo and kivo-render from
#   DIR, a folder inside the repository (the Wine root sees only that).
#
# kivo's ticks are counted from its -fps lines over the span; kivo.scr prints
# none, and is taken to tick on the 30 ms beat.
#
# kivo: `kivo -fullscreen` on Xvfb at 1920x1080 and 3840x2160, and on a
# two-monitor Xorg (1024x768 + 800x600) beside the same Xorg with one monitor.
# wayland: `kivo -fullscreen` on a headless Sway (the Wine root's) with one
# 1920x1080 output, on and powered off; `kivo -fullscreen --lock-after` in
# its grace and once locked; then `kivo -lock` on it.
# wine: kivo.scr /s, 32-bit and 64-bit, under the Wine root's WoW64 Wine on
# Xvfb at 1920x1080, on the two-monitor Xorg and on it with one monitor.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/tests/e2e/lib.sh"
stop_x() { kill "$XSERVER_PID" 2>/dev/null; wait "$XSERVER_PID" 2>/dev/null; }
settle=${KIVO_BENCH_SETTLE:-3}
span=${KIVO_BENCH_SECONDS:-10}
build=${KIVO_BUILD:-$top/build/native}
case "$build" in /*) ;; *) build=$top/$build ;; esac

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }
# The mean milliseconds of one frame step at each WxH given, summed over
# the frames the span measures (30000 flakes, seed 1); RENDER runs
# kivo-render (a command, for the Windows builds under Wine); with
# STEP_PACED=--paced, on the saver's beat. A step costs more as the flakes
# spawned above the top edge fall into view, so the mean is taken over the
# same beats the live saver is measured on: from the end of the settling to
# the end of the span, the difference of two kivo-render --stats runs.
step_mean() {  # RENDER WxH...
  local render=$1 size w h sum=0 early late
  local first=$((settle * 1000 / 30)) last=$(((settle + span) * 1000 / 30))
  shift
  for size in "$@"; do
    w=${size%x*} h=${size#*x}
    early=$(render_mean "$render" "$w" "$h" "$first")
    late=$(render_mean "$render" "$w" "$h" "$last")
    [ -n "$early" ] && [ -n "$late" ] || { echo ""; return; }
    sum=$(awk -v s="$sum" -v a="$early" -v b="$late" -v f="$first" -v l="$last" \
      'BEGIN { print s + (b * l - a * f) / (l - f) }')
  done
  echo "$sum"
}
render_mean() {  # RENDER W H FRAMES: kivo-render's mean step over the first FRAMES frames
  $1 --width "$2" --height "$3" --count 30000 --seed 1 --frames "$4" --stats ${STEP_PACED:-} --out "${step_out:-$work/step.bmp}" 2>&1 |
    tr -d '\r' | sed -n 's/.*mean \([0-9.]*\) ms.*/\1/p'
}
# Both step means at each WxH: back to back, then paced ("STEP PACED").
step_means() {  # RENDER WxH...
  local step paced
  step=$(step_mean "$@")
  paced=$(STEP_PACED=--paced step_mean "$@")
  echo "${step:-0} ${paced:-0}"
}
# Prints the share of one core that PID uses over the span, after settling,
# its CPU per tick and the ratio of that to each of STEPS ("STEP PACED", ms).
# Ticks come from the -fps lines FPS_FILE gets during the span, or from the
# 30 ms beat without one.
cpu_share() {  # PID STEPS [FPS_FILE]
  sleep "$settle"
  local a b lines=0 fps=""
  [ -n "${3:-}" ] && lines=$(wc -l <"$3")
  a=$(cpu_ticks "$1")
  sleep "$span"
  b=$(cpu_ticks "$1")
  [ -n "$a" ] && [ -n "$b" ] || { echo "gone"; return; }
  [ -n "${3:-}" ] && fps=$(tail -n "+$((lines + 1))" "$3" | sed -n 's/.*: \([0-9.]*\) fps.*/\1/p' |
    awk '{ s += $1; n++ } END { if (n) print s / n; else print 0 }')
  local steps=($2)
  awk -v t=$((b - a)) -v hz="$(getconf CLK_TCK)" -v s="$span" -v step="${steps[0]:-0}" -v paced="${steps[1]:-0}" \
    -v fps="${fps:-33.33}" 'BEGIN {
    printf "%5.1f %%", 100 * t / hz / s
    if (fps == 0) { printf "   no ticks"; exit }
    per = 1000 * t / hz / (s * fps)
    printf "   %.2f ms/tick", per
    if (step > 0) printf "   step %.2f ms   ratio %.1f", step, per / step
    if (paced > 0) printf "   paced %.2f ms   ratio %.1f", paced, per / paced
  }'
}
row() { printf '%-52s %s\n' "$1" "$2"; }

# kivo -fullscreen --count 30000 -fps in the background, its -fps lines in $work/fps.
start_saver() { "$kivo" -fullscreen --count 30000 -fps >/dev/null 2>"$work/fps" & }

bench_kivo() {
  local kivo=$build/kivo render=$build/kivo-render size step
  [ -x "$kivo" ] && [ -x "$render" ] || { echo "build kivo and kivo-render in $build first"; return 1; }
  for size in 1920x1080 3840x2160; do
    step=$(step_means "$render" "$size")
    start_xvfb "$size" || return 1
    start_saver
    row "kivo -fullscreen, Xvfb $size" "$(cpu_share $! "$step" "$work/fps")"
    kill $! 2>/dev/null; wait $! 2>/dev/null; stop_x
  done
  step=$(step_means "$render" 1024x768 800x600)
  start_two_monitors || return 1
  start_saver
  row "kivo -fullscreen, Xorg 1024x768 + 800x600" "$(cpu_share $! "$step" "$work/fps")"
  kill $!; wait $! 2>/dev/null
  xrandr --output DUMMY1 --off
  step=$(step_means "$render" 1024x768)
  start_saver
  row "kivo -fullscreen, Xorg 1024x768 alone" "$(cpu_share $! "$step" "$work/fps")"
  kill $!; wait $! 2>/dev/null
  stop_x
}

# Runs inside the Wine root, whose Sway stops asking for frames from an
# output that is off; Sway refuses to run as root, so both run as a user.
bench_wayland_inside() {
  local kivo=$build/kivo user=kivo-test runtime sock pid step
  [ -x "$kivo" ] || { echo "build kivo in $build first"; return 1; }
  step=${KIVO_BENCH_STEP:-}
  id "$user" >/dev/null 2>&1 || useradd -m "$user"
  runtime=$(mktemp -d) && chown "$user" "$runtime" && chmod 700 "$runtime"
  printf 'output HEADLESS-1 mode --custom 1920x1080\nxwayland disable\n' >"$runtime/sway.cfg"
  as() { setpriv --reuid "$user" --regid "$user" --init-groups env XDG_RUNTIME_DIR="$runtime" "$@"; }
  as env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$runtime/sway.cfg" >/dev/null 2>&1 &
  sleep 2
  sock=$(cd "$runtime" && ls wayland-* | grep -v lock | head -n 1)
  as env WAYLAND_DISPLAY="$sock" "$kivo" -fullscreen --count 30000 -fps >/dev/null 2>"$work/fps" &
  sleep 1
  pid=$(pgrep -n -x kivo)
  row "kivo -fullscreen, headless Sway 1920x1080" "$(cpu_share "$pid" "$step" "$work/fps")"
  as swaymsg -s "$(ls "$runtime"/sway-ipc.*)" output '*' power off >/dev/null
  row "kivo -fullscreen, headless Sway, output off" "$(cpu_share "$pid" "$step" "$work/fps")"
  kill "$pid"
  as swaymsg -s "$(ls "$runtime"/sway-ipc.*)" output '*' power on >/dev/null
  # The saver that becomes the lock, one process: measured in its grace,
  # then once locked.
  as env WAYLAND_DISPLAY="$sock" "$kivo" -fullscreen --lock-after $((settle + span + 2)) --count 30000 -fps \
    >/dev/null 2>"$work/fps" &
  sleep 1
  pid=$(pgrep -n -x kivo)
  row "kivo -fullscreen --lock-after, in its grace" "$(cpu_share "$pid" "$step" "$work/fps")"
  sleep 3
  row "kivo -fullscreen --lock-after, once locked" "$(cpu_share "$pid" "$step" "$work/fps")"
  kill -9 "$pid"
  as env WAYLAND_DISPLAY="$sock" "$kivo" -lock --count 30000 >/dev/null 2>&1 &
  sleep 1
  pid=$(pgrep -n -x kivo)
  row "kivo -lock, headless Sway 1920x1080" "$(cpu_share "$pid" "$step")"
  kill -9 "$pid"; pkill -u "$user" sway
}

# Runs inside the Wine root.
bench_wine_inside() {
  . "$top/tests/e2e/wine_env.sh"
  export KIVO_WINEPREFIX=${KIVO_WINEPREFIX:-/tmp/kivo-wineprefix-bench}
  local arch display pid name sizes step
  # kivo-render.exe writes its picture through Wine's drive for /.
  step_out="Z:$work/step.bmp"
  for display in xvfb two-monitors one-monitor; do
    case "$display" in
      xvfb) start_xvfb 1920x1080 || return 1; name="Xvfb 1920x1080"; sizes=1920x1080 ;;
      two-monitors) start_two_monitors || return 1; name="Xorg 1024x768 + 800x600"; sizes="1024x768 800x600" ;;
      one-monitor) start_two_monitors || return 1; xrandr --output DUMMY1 --off; name="Xorg 1024x768 alone"; sizes=1024x768 ;;
    esac
    wine_prefix_ready >/dev/null || return 1
    "$WINE" reg add 'HKCU\Software\Orvek\SCREEN SAVER\KIVO' /v COUNT /t REG_DWORD /d 30000 /f >/dev/null 2>&1
    for arch in i686 x64; do
      # shellcheck disable=SC2086
      step=$(step_means "$WINE $top/build/mingw-$arch/kivo-render.exe" $sizes)
      "$WINE" "$top/build/mingw-$arch/kivo.scr" /s >/dev/null 2>&1 &
      sleep 2
      pid=$(pgrep -f "mingw-$arch/kivo.scr" | head -n 1)
      row "kivo.scr /s ($arch), $name" "$([ -n "$pid" ] && cpu_share "$pid" "$step" || echo "did not start")"
      wine_stop_all; sleep 1
    done
    stop_x
  done
}

case "${1:-all}" in
  --inside-wine-root) bench_wine_inside ;;
  --wayland-inside-wine-root) build=${2:-$build}; bench_wayland_inside ;;
  *)
    what=${*:-kivo wayland wine}
    echo "whole-process CPU, share of one core, over ${span} s ($(nproc) cores, $(date -u +%F), $build)"
    for w in $what; do
      case "$w" in
        kivo) bench_kivo ;;
        wine) "$top/scripts/wine-root.sh" run "$top/bench/whole_process.sh" --inside-wine-root ;;
        # kivo-render's libraries are not in the root: its step is timed here.
        wayland) KIVO_BENCH_STEP=$(step_means "$build/kivo-render" 1920x1080) \
          "$top/scripts/wine-root.sh" run "$top/bench/whole_process.sh" --wayland-inside-wine-root "$build" ;;
        *) echo "unknown: $w (kivo, wayland or wine)"; exit 2 ;;
      esac
    done
    ;;
esac
