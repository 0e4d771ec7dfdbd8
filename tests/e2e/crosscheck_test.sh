#!/usr/bin/env bash
# Frames must be bit-identical on every target. Renders several seeds, sizes
# and frame counts natively, with both Windows builds under the WoW64 Wine of
# the Wine root and with the 32-bit x86 Linux build under qemu-i386, and
# compares the files byte for byte. The 32-bit Windows build's own code is
# also checked for x87 arithmetic, which is what would make its frames differ.
set -u
native=$1
builds=$2   # the folder holding the mingw-x64, mingw-i686 and linux-i686 trees
here=$(cd "$(dirname "$0")" && pwd)
wine_root=$here/../../scripts/wine-root.sh
# Under the build folder, so that the Wine root sees it at the same path.
dir=$(mktemp -d "$builds/crosscheck.XXXXXX")
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

win64=$builds/mingw-x64/kivo-render.exe
win32=$builds/mingw-i686/kivo-render.exe
lin32=$builds/linux-i686/kivo-render
for f in "$win64" "$win32" "$lin32"; do
  [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }
done
# Runs "$@" inside the Wine root with the test prefix.
in_wine() { "$wine_root" run bash -c '. "$0"; "$@"' "$here/wine_env.sh" "$@"; }
in_wine wine_prefix_ready || exit 1
wine_render() {  # EXE OUT ARGS...
  local exe=$1 out=$2; shift 2
  timeout 300 "$wine_root" run bash -c '. "$0"; "$WINE" "$@"' "$here/wine_env.sh" "$exe" "$@" --out "Z:${out//\//\\}"
}

cases=("1 800 600 10000 100" "7 333 201 30000 60" "4242 64 48 2000 300" "123456789 1 1 5000 10" "99 1023 17 30000 40")
for c in "${cases[@]}"; do
  read -r seed w h n f <<<"$c"
  before=$failures
  args=(--seed "$seed" --width "$w" --height "$h" --count "$n" --frames "$f")
  "$native" "${args[@]}" --out "$dir/native.bmp" || fail "native $c"
  wine_render "$win64" "$dir/win64.bmp" "${args[@]}" || fail "Windows x64 $c"
  wine_render "$win32" "$dir/win32.bmp" "${args[@]}" || fail "Windows i686 $c"
  timeout 300 qemu-i386 "$lin32" "${args[@]}" --out "$dir/i686.bmp" || fail "i686 $c"
  cmp -s "$dir/native.bmp" "$dir/win64.bmp" || fail "Windows x64 frame differs: $c"
  cmp -s "$dir/native.bmp" "$dir/win32.bmp" || fail "Windows i686 frame differs: $c"
  cmp -s "$dir/native.bmp" "$dir/i686.bmp" || fail "Linux i686 frame differs: $c"
  [ "$failures" = "$before" ] && echo "identical on all four targets: seed $seed, ${w}x$h, $n flakes, $f frames"
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
