#!/usr/bin/env bash
# Builds KIVO and shows the snow: in a window when there is a display, or
# else as a picture rendered by the headless renderer.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target kivo kivo-render
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "KIVO is snowing in a window on $DISPLAY: press a key or click to end it."
  exec build/native/kivo "$@"
fi
out=$PWD/build/kivo-snow.png
build/native/kivo-render --width 1280 --height 720 --count 30000 --frames 400 --out "$out"
echo "No X display here, so KIVO rendered 400 ticks of snow to a picture: $out"
