#!/usr/bin/env bash
# kivo-render end to end: file sizes and headers, formats, exit codes, and
# that a failed run leaves no file behind.
set -u
render=$1
version=${2:-}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if [ -n "$version" ]; then
  got=$("$render" --version)
  [ "$got" = "kivo-render $version" ] || fail "--version says '$got', want 'kivo-render $version'"
fi

"$render" --width 800 --height 600 --count 10000 --seed 1 --frames 100 --out "$dir/a.bmp" || fail "render a.bmp"
size=$(stat -c %s "$dir/a.bmp" 2>/dev/null || echo 0)
[ "$size" = 1440054 ] || fail "a.bmp is $size bytes, want 1440054"
[ "$(head -c 2 "$dir/a.bmp")" = BM ] || fail "a.bmp does not start with BM"
# Offset 54, header size 40, 800 x 600, 1 plane, 24 bits.
want="36000000280000002003000058020000010018"
got=$(od -An -tx1 -j10 -N19 "$dir/a.bmp" | tr -d ' \n')
[ "$got" = "$want" ] || fail "a.bmp header bytes $got, want $want"
nonzero=$(od -An -v -tu1 -j54 "$dir/a.bmp" | tr -s ' ' '\n' | grep -c -v -E '^0?$')
[ "$nonzero" -gt 5000 ] || fail "a.bmp shows too little snow ($nonzero lit bytes)"

"$render" --width 800 --height 600 --count 10000 --seed 1 --frames 100 --out "$dir/b.bmp" 2>/dev/null
cmp -s "$dir/a.bmp" "$dir/b.bmp" || fail "same seed gave different pictures"

"$render" --width 64 --height 48 --seed 3 --frames 5 --out "$dir/c.png" || fail "render c.png"
[ "$(od -An -tx1 -N8 "$dir/c.png" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "c.png has no PNG signature"

"$render" --width 5 --height 5 --frames 0 --seed 1 --out "$dir/black.bmp" || fail "frames 0"
[ "$(od -An -v -tu1 -j54 "$dir/black.bmp" | tr -s ' ' '\n' | grep -c -v -E '^0?$')" = 0 ] || fail "frames 0 is not black"

out=$("$render" --width 16 --height 16 --frames 1 --out "$dir/d.bmp" 2>&1 >/dev/null)
echo "$out" | grep -q "seed [0-9]" || fail "no seed printed when none is given: $out"
out=$("$render" --width 16 --height 16 --frames 1 --seed 1 --count 40000 --out "$dir/e.bmp" 2>&1)
echo "$out" | grep -q "clamped to 30000" || fail "no clamp warning: $out"
out=$("$render" --width 16 --height 16 --frames 3 --seed 1 --stats --out "$dir/f.bmp")
echo "$out" | grep -q "median .* ms, mean .* ms" || fail "--stats printed: $out"

expect_refusal() {
  local target=$1; shift
  local err rc
  err=$("$render" "$@" 2>&1 >/dev/null); rc=$?
  [ "$rc" = 2 ] || fail "'$*' exited $rc, want 2"
  [ -n "$err" ] || fail "'$*' printed no error"
  [ ! -e "$target" ] || fail "'$*' left $target behind"
  ls "$dir" | grep -q partial && fail "'$*' left a partial file"
}
expect_refusal "$dir/g.bmp" --width 0 --out "$dir/g.bmp"
expect_refusal "$dir/g.bmp" --width 40000 --out "$dir/g.bmp"
expect_refusal "$dir/g.bmp" --height abc --out "$dir/g.bmp"
expect_refusal "$dir/g.bmp" --frames -1 --out "$dir/g.bmp"
expect_refusal "$dir/g.bmp" --colour red --out "$dir/g.bmp"
expect_refusal "$dir/g.jpg" --out "$dir/g.jpg"
expect_refusal "$dir/missing/g.bmp" --out "$dir/missing/g.bmp"

[ "$failures" = 0 ] && echo "render CLI: all checks passed"
exit "$failures"
