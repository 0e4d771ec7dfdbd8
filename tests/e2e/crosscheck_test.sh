#!/usr/bin/env bash
# Frames must be bit-identical on every target. Renders several seeds, sizes
# and frame counts natively, with both Windows builds under the WoW64 Wine of
# the Wine root and with the 32-bit x86 Linux build under qemu-i386, and
# compares the files byte for byte. The 32-bit Windows build's own code is
# also checked for x87 arithmetic, which is what would make its frames differ.
#   crosscheck_test.sh NATIVE_KIVO_RENDER BUILD_ROOT
set -u
native=$1 builds=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
wine_root=$here/../../scripts/wine-root.sh
# Under the build folder, so that the Wine root sees it at the same path.
dir=$(mktemp -d "$builds/crosscheck.XXXXXX")
at_exit+=("rm -rf '$dir'")
in_wine() { "$wine_root" run bash -c '. "$0"; "$@"' "$here/wine_env.sh" "$@"; }
in_wine wine_prefix_ready || exit 1
skipped= helper32=$builds/mingw-i686/tests/win32/kivo-testhost.exe
[ ! -f "$helper32" ] || in_wine wine_runs_bits "$helper32" 32 || skipped=windows-i686
[ -z "$skipped" ] || echo "skip: windows-i686: this machine's kernel runs no 32-bit code (IA-32 emulation off)"
render_on() {  # TARGET OUT ARGS...
  local target=$1 out=$2; shift 2
  case $target in
    native) "$native" "$@" --out "$out" ;;
    linux-i686) timeout 300 qemu-i386 "$builds/linux-i686/kivo-render" "$@" --out "$out" ;;
    windows-*) timeout 300 "$wine_root" run bash -c '. "$0"; "$WINE" "$@"' "$here/wine_env.sh" \
         "$builds/mingw-${target#windows-}/kivo-render.exe" "$@" --out "Z:${out//\//\\}" ;;
  esac
}

for c in "1 800 600 10000 100" "7 333 201 30000 60" "4242 64 48 2001 300" "123456789 1 1 4999 10" "99 1023 17 30000 40"; do
  read -r seed w h n f <<<"$c"
  args=(--seed "$seed" --width "$w" --height "$h" --count "$n" --frames "$f")
  render_on native "$dir/native.bmp" "${args[@]}"
  for target in windows-x64 windows-i686 linux-i686; do
    [ "$target" != "$skipped" ] || continue
    render_on "$target" "$dir/$target.bmp" "${args[@]}"
    check "$target gives the native frame: seed $seed, ${w}x$h, $n flakes, $f frames" cmp -s "$dir/native.bmp" "$dir/$target.bmp"
  done
done

# fld/fstp of doubles are exact (the 32-bit ABI returns doubles on the x87
# stack); arithmetic on the x87 would not be.
objs=$(find "$builds/mingw-i686" -name '*.obj' \( -path '*kivo_raster*' -o -path '*kivo_flakes*' \))
check "the 32-bit Windows objects are there" [ -n "$objs" ]
for o in $objs; do
  check "no x87 arithmetic in $(basename "$o")" [ -z "$(i686-w64-mingw32-objdump -d "$o" |
    grep -E '\s(fadd|fsub|fmul|fdiv|fsqrt|fild|fist|fcom|fucom|fprem|fscale|frndint)[a-z]*\s' | head -3)" ]
done
finish
