#!/usr/bin/env bash
# kivo-render's whole process against the straightforward rendering of the
# same frames (bench/reference_render.cpp), interleaved three times, with
# the pictures compared byte for byte. Not a test: run it and read it.
#   bench/against_reference.sh [BUILD]   (build/bench by default)
set -u
build=${1:-build/bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null || echo "failed: $*" >&2
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f", b - a }'
}
echo "whole process, seconds: kivo-render / reference (3 interleaved runs), ratio of the medians"
for c in "800 600 10000" "1920 1080 30000" "3840 2160 30000"; do
  read -r w h n <<<"$c"
  fast=() slow=()
  for _ in 1 2 3; do
    fast+=("$(seconds "$build/kivo-render" --width "$w" --height "$h" --count "$n" --seed 1 --frames 400 --out "$work/f.bmp")")
    slow+=("$(seconds "$build/bench/kivo-reference-render" "$w" "$h" "$n" 1 400 "$work/s.bmp")")
  done
  median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
  same=$(cmp -s "$work/f.bmp" "$work/s.bmp" && echo "same pictures" || echo "PICTURES DIFFER")
  printf '%sx%s, %s flakes, 400 frames: %s / %s = %s (%s)\n' "$w" "$h" "$n" "${fast[*]}" "${slow[*]}" \
    "$(awk -v a="$(median "${fast[@]}")" -v b="$(median "${slow[@]}")" 'BEGIN { printf "%.3f", a / b }')" "$same"
done
