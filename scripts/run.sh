#!/usr/bin/env bash
# Builds KIVO and shows the snow: renders a frame with the headless renderer
# and says where the picture is.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc)" --target kivo-render
out=$PWD/build/kivo-snow.png
build/native/kivo-render --width 1280 --height 720 --count 30000 --frames 400 --out "$out"
echo "KIVO rendered 400 ticks of snow: $out"
