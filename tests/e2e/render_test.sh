#!/usr/bin/env bash
# kivo-render end to end: the BMP byte for byte, the PNG and the GIF against
# it, messages and exit codes, and that a refused run leaves no file behind.
#   render_test.sh KIVO_RENDER VERSION BUILD_GIF DOCS_GIF
set -u
render=$(realpath "$1") version=$2 built=$(realpath "$3") docs=$(realpath "$4")
. "$(dirname "$0")/lib.sh"
bytes() { od -An -v -tx1 "$@" | tr -d ' \n'; }  # [od options] FILE
lit_bytes() { od -An -v -tu1 -j54 "$1" | tr -s ' ' '\n' | grep -c -v -E '^0?$'; }
same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
metric() { compare -metric "$1" "$2" "$3" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p'; }  # RMSE|PAE A B: 0..1
below() { [ -n "$1" ] && [ -n "$2" ] && awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 < b + 0) }'; }
cd "$work" || exit 1

echo "-- the picture"
check "--version says kivo-render $version" [ "$("$render" --version)" = "kivo-render $version" ]
usage=$("$render" --help); rc=$?
check "--help shows the usage and exits 0" [ "$rc" = 0 -a "${usage#usage: kivo-render }" != "$usage" ]
for f in a.bmp b.bmp a.png; do "$render" --width 333 --height 201 --count 10000 --seed 1 --frames 100 --out $f; done
# 333 pixels take 999 bytes, padded to 1000 per row: a file of 54 + 201000.
# BM, size, 0, offset 54; header 40, 333 x 201, 1 plane, 24 bits, no
# compression, size 0, 1 pixel per metre both ways, no palette.
check "a.bmp has the whole 54-byte header" [ "$(bytes -N54 a.bmp)" = \
  424d5e1103000000000036000000280000004d010000c900000001001800000000000000000001000000010000000000000000000000 ]
check "and the frame behind it ($(stat -c %s a.bmp) bytes)" [ "$(stat -c %s a.bmp)" = 201054 ]
check "with snow on it ($(lit_bytes a.bmp) lit bytes)" [ "$(lit_bytes a.bmp)" -gt 2000 ]
check "the same seed gives the same file" cmp -s a.bmp b.bmp
check "a.png is a PNG" [ "$(bytes -N8 a.png)" = 89504e470d0a1a0a ]
check "holding the BMP's picture pixel for pixel" same_picture a.png a.bmp
"$render" --width 5 --height 5 --frames 0 --seed 1 --out black.bmp
check "--frames 0 gives a black picture" [ "$(lit_bytes black.bmp)" = 0 ]
says() { local text=$1; shift; grep -q "$text" <<<"$("$render" --width 8 --height 8 --frames 1 "$@" --out e.bmp 2>&1)"; }
check "without --seed the seed used is printed" says "seed [0-9]"
check "--count 40000 is clamped to 30000 with a warning" says "clamped to 30000" --seed 1 --count 40000
check "--count -5 is clamped to 0 with a warning" says "clamped to 0" --seed 1 --count -5
check "--count 30000 needs no warning" not says . --seed 1 --count 30000
check "--stats prints the median and the mean" says "median .* ms, mean .* ms" --frames 3 --seed 1 --stats
start=$(now_us)
"$render" --width 64 --height 48 --frames 20 --seed 3 --paced --out paced.bmp
took=$((($(now_us) - start) / 1000))
"$render" --width 64 --height 48 --frames 20 --seed 3 --out unpaced.bmp
check "--paced keeps the 30 ms beat (20 frames in $took ms)" [ "$took" -ge 570 ]
check "and draws the same picture" cmp -s paced.bmp unpaced.bmp

echo "-- refusals leave nothing behind"
for refused in "--width 0" "--width 32768" "--height abc" "--frames -1" "--gif-frames 0" "--gif-frames 10001" \
  "--seed 4294967296" "--colour red" "--out g.jpg" "--out missing/g.bmp" "--frames 0 --out g.gif"; do
  # shellcheck disable=SC2086
  expect_refusal "$refused" "$render" --out g.bmp $refused
  check "'$refused' leaves no file" [ -z "$(ls | grep -E '^g\.|partial')" ]
done
# A disk that takes nothing more (the file size limit at 0, its signal ignored).
full_disk() { (trap '' XFSZ; ulimit -f 0; "$render" --width 333 --height 201 --frames 3 --seed 1 "$@" 2>/dev/null); }
for f in bmp png gif; do
  full_disk --out "g.$f"; rc=$?
  check "a $f the disk refuses: exit 2 ($rc) and no partial file" [ "$rc" = 2 -a -z "$(ls | grep -E '^g\.|partial')" ]
done
echo old >keep.bmp
full_disk --out keep.bmp
check "and a file it was to replace stays as it was" [ "$(cat keep.bmp)" = old ]

echo "-- the animated GIF"
args=(--width 160 --height 90 --count 8000 --seed 5)
"$render" "${args[@]}" --frames 120 --gif-frames 12 --out a.gif
frames() { identify "$1" | wc -l; }  # GIF
check "12 frames" [ "$(frames a.gif)" = 12 ]
check "each 160x90" [ "$(identify -format '%wx%h\n' a.gif | sort -u)" = 160x90 ]
check "each shown for one 30 ms tick" [ "$(identify -format '%T\n' a.gif | sort -u)" = 3 ]
check "looping forever" grep -q 'Iterations: 0$' <<<"$(identify -verbose 'a.gif[0]')"
# Each frame is its tick but for the palette's rounding: closer to it than
# to the tick before, or to the tick with red and blue swapped.
for k in 0 5 11; do
  tick=$((120 - 12 + k + 1))
  "$render" "${args[@]}" --frames "$tick" --out tick.bmp
  "$render" "${args[@]}" --frames "$((tick - 1))" --out before.bmp
  convert tick.bmp -separate -swap 0,2 -combine swapped.png
  convert "a.gif[$k]" frame.png
  peak=$(metric PAE frame.png tick.bmp)
  check "GIF frame $k is tick $tick within the palette's rounding (peak $peak)" below "$peak" 0.125
  other=$(printf '%s\n' "$(metric RMSE frame.png before.bmp)" "$(metric RMSE frame.png swapped.png)" | sort -g | head -n 1)
  check "GIF frame $k: nearer tick $tick than the tick before or red and blue swapped" \
    below "$(metric RMSE frame.png tick.bmp)" "$other"
done
"$render" "${args[@]}" --frames 4 --out short.gif
"$render" "${args[@]}" --frames 60 --out default.gif
check "4 ticks give 4 frames whatever --gif-frames says" [ "$(frames short.gif)" = 4 ]
check "--gif-frames is 50 by default" [ "$(frames default.gif)" = 50 ]
check "the README's GIF has the build's frames" [ "$(frames "$docs")" = "$(frames "$built")" ]
convert "$docs[-1]" docs.png
convert "$built[-1]" built.png
check "and looks the same" below "$(metric RMSE docs.png built.png)" 0.03
finish
