#!/usr/bin/env bash
# Builds kivo and kivo-render with their manual pages and completions
# (nothing else) and shows the snow where you are: in a window of your
# Wayland session when WAYLAND_DISPLAY is set, on your X display when DISPLAY
# is, or else as a picture that kivo-render draws. Run it as yourself: it
# asks sudo only for the packages it must install, and builds and shows the
# snow as you, with your session's display.
#
#   scripts/run.sh [KIVO OPTIONS]     e.g. scripts/run.sh -fullscreen --count 30000
set -eu
cd "$(dirname "$0")/.."
if [ "$(id -u)" = 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ] &&
  [ -z "${WAYLAND_DISPLAY:-}${DISPLAY:-}" ]; then
  echo "run.sh: sudo left your desktop's display behind; run scripts/run.sh as yourself (it asks sudo for packages)" >&2
fi
scripts/install-deps.sh snow
log=build/lean/build.log
mkdir -p build/lean
echo "building kivo and kivo-render in build/lean (log: $log)"
if ! { cmake --preset lean && cmake --build --preset lean -j "$(nproc)"; } >"$log" 2>&1; then
  tail -n 30 "$log"
  echo "run.sh: the build failed (the whole log: $log)" >&2
  exit 1
fi

where= why="No display (neither WAYLAND_DISPLAY nor DISPLAY is set)"
if [ -n "${WAYLAND_DISPLAY:-}" ]; then where="the Wayland display $WAYLAND_DISPLAY"
elif [ -n "${DISPLAY:-}" ]; then where="the X display $DISPLAY"; fi
if [ -n "$where" ]; then
  echo "Opening a window on $where: a key or a click in it ends the snow."
  status=0
  build/lean/kivo "$@" || status=$?
  # 2: kivo could not start there (it said why), so the picture it is.
  [ "$status" = 2 ] || exit "$status"
  why="kivo could not open a window on $where"
fi

out=$PWD/build/kivo-snow.png
build/lean/kivo-render --width 1280 --height 720 --count 30000 --frames 400 --out "$out"
echo "$why, so KIVO rendered 400 ticks of snow to a picture: $out"
