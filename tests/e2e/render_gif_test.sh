#!/usr/bin/env bash
# kivo-render's animated GIF: as many frames as asked, each shown one tick
# (30 ms), looping forever, and each the BMP frame of the same seed and tick
# but for the palette's rounding. Also checks the README's GIF against the
# one the build made.
#   render_gif_test.sh KIVO_RENDER BUILD_GIF DOCS_GIF
set -u
render=$1
built=$2
docs=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Palette rounding moves no channel by more than an eighth and leaves the
# picture as a whole within 3 % (root mean square); the tick before is
# nowhere near (measured: some channel off by all of 255, 50 % overall).
close_to() {  # A B
  local peak rms
  peak=$(compare -metric PAE "$1" "$2" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p')
  rms=$(compare -metric RMSE "$1" "$2" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p')
  awk -v p="${peak:-1}" -v r="${rms:-1}" 'BEGIN { exit !(p <= 0.125 && r <= 0.03) }'
}

args=(--width 160 --height 90 --count 8000 --seed 5)
"$render" "${args[@]}" --frames 120 --gif-frames 12 --out "$dir/a.gif" || fail "render a.gif"
[ "$(identify "$dir/a.gif" | wc -l)" = 12 ] || fail "a.gif has $(identify "$dir/a.gif" | wc -l) frames, want 12"
[ "$(identify -format '%wx%h ' "$dir/a.gif" | tr ' ' '\n' | sort -u | tr -d '\n')" = 160x90 ] ||
  fail "a.gif frames are not all 160x90"
[ "$(identify -format '%T ' "$dir/a.gif" | tr ' ' '\n' | sort -u | tr -d '\n')" = 3 ] ||
  fail "a.gif frames are not all 3 hundredths of a second"
identify -verbose "$dir/a.gif[0]" | grep -q 'Iterations: 0$' || fail "a.gif does not loop forever"
for k in 0 5 11; do
  tick=$((120 - 12 + k + 1))
  "$render" "${args[@]}" --frames "$tick" --out "$dir/tick.bmp"
  "$render" "${args[@]}" --frames "$((tick - 1))" --out "$dir/before.bmp"
  convert "$dir/a.gif[$k]" "$dir/frame.png"
  close_to "$dir/frame.png" "$dir/tick.bmp" || fail "GIF frame $k is not tick $tick"
  close_to "$dir/frame.png" "$dir/before.bmp" && fail "GIF frame $k is as close to tick $((tick - 1))"
done

"$render" "${args[@]}" --frames 4 --gif-frames 50 --out "$dir/short.gif" || fail "render short.gif"
[ "$(identify "$dir/short.gif" | wc -l)" = 4 ] || fail "4 ticks do not give 4 frames"
"$render" "${args[@]}" --frames 0 --out "$dir/none.gif" 2>/dev/null
[ $? = 2 ] || fail "--frames 0 for a GIF is not refused with 2"
[ ! -e "$dir/none.gif" ] && [ ! -e "$dir/none.gif.partial" ] || fail "a refused GIF left a file"
"$render" --gif-frames 0 --out "$dir/x.gif" 2>/dev/null
[ $? = 2 ] || fail "--gif-frames 0 is not refused with 2"

# The README's picture is the one the build makes: same frames, same look.
[ -f "$docs" ] || fail "$docs is missing"
[ "$(identify "$docs" 2>/dev/null | wc -l)" = "$(identify "$built" | wc -l)" ] || fail "$docs and $built differ in frames"
convert "$docs[-1]" "$dir/docs.png"
convert "$built[-1]" "$dir/built.png"
close_to "$dir/docs.png" "$dir/built.png" || fail "$docs is not the GIF the build makes ($built)"

[ "$failures" = 0 ] && echo "GIF: frames, timing and pixels as asked"
exit "$failures"
