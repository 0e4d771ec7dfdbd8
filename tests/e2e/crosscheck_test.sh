#!/usr/bin/env bash
# Frames must be bit-identical on every target. Renders several seeds, sizes
# and frame counts natively, with the 64-bit Windows build under Wine and with
# the 32-bit x86 build under qemu-i386, and compares the files byte for byte.
# The 32-bit Windows build's own code is checked for x87 arithmetic, which is
# what would make 32-bit frames differ.
set -u
native=$1
builds=$2   # the folder holding the mingw-x64, mingw-i686 and linux-i686 trees
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_env.sh"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

win64=$builds/mingw-x64/kivo-render.exe
lin32=$builds/linux-i686/kivo-render
for f in "$win64" "$lin32" "$builds/mingw-i686/kivo-render.exe"; do
  [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }
done
wine_prefix_ready || exit 1

cases=("1 800 600 10000 100" "7 333 201 30000 60" "4242 64 48 2000 300" "123456789 1 1 5000 10" "99 1023 17 30000 40")
for c in "${cases[@]}"; do
  read -r seed w h n f <<<"$c"
  args=(--seed "$seed" --width "$w" --height "$h" --count "$n" --frames "$f")
  "$native" "${args[@]}" --out "$dir/native.bmp" || fail "native $c"
  timeout 120 "$WINE64" "$win64" "${args[@]}" --out "$(winpath "$dir/win64.bmp")" || fail "win64 $c"
  timeout 300 qemu-i386 "$lin32" "${args[@]}" --out "$dir/i686.bmp" || fail "i686 $c"
  cmp -s "$dir/native.bmp" "$dir/win64.bmp" || fail "Windows x64 frame differs: $c"
  cmp -s "$dir/native.bmp" "$dir/i686.bmp" || fail "i686 frame differs: $c"
  echo "identical: seed $seed, ${w}x$h, $n flakes, $f frames"
done

# fld/fstp of doubles are exact (the 32-bit ABI returns doubles on the x87
# stack); arithmetic on the x87 would not be.
objs=$(find "$builds/mingw-i686" -name '*.obj' \( -path '*kivo_raster*' -o -path '*kivo_flakes*' \))
[ -n "$objs" ] || fail "no 32-bit Windows objects found"
for o in $objs; do
  x87=$(i686-w64-mingw32-objdump -d "$o" | grep -E '\s(fadd|fsub|fmul|fdiv|fsqrt|fild|fist|fcom|fucom|fprem|fscale|frndint)[a-z]*\s' | head -3)
  [ -z "$x87" ] || fail "x87 arithmetic in $o: $x87"
done

[ "$failures" = 0 ] && echo "cross-check: all frames identical, no x87 arithmetic"
exit "$failures"
