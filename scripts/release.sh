#!/usr/bin/env bash
# Makes the release files from the builds (run scripts/test-all.sh, or build
# the native, mingw-i686 and mingw-x64 presets, first) into build/dist:
#   kivo-setup-VERSION.exe       Windows installer, both builds (NSIS)
#   kivo-VERSION-windows.zip     both kivo.scr files and how to install them by hand
#   kivo_VERSION_amd64.deb       Debian package (CPack)
set -eu
cd "$(dirname "$0")/.."
top=$PWD
dist=$top/build/dist
version=$(sed -n 's/^#define KIVO_VERSION "\(.*\)"$/\1/p' build/native/generated/kivo_version.h)
[ -n "$version" ] || { echo "release: build the native preset first" >&2; exit 1; }
scr32=$top/build/mingw-i686/kivo.scr
scr64=$top/build/mingw-x64/kivo.scr
for f in "$scr32" "$scr64"; do [ -f "$f" ] || { echo "release: $f is not built" >&2; exit 1; }; done
mkdir -p "$dist"

# Both savers and the uninstaller NSIS adds, in KiB, for Apps & features.
size_kb=$(( ($(stat -c %s "$scr32") + $(stat -c %s "$scr64") + 1023) / 1024 ))
makensis -V2 -DVERSION="$version" -DSCR32="$scr32" -DSCR64="$scr64" -DICON="$top/resources/kivo.ico" \
  -DSIZE_KB="$size_kb" -DOUTFILE="$dist/kivo-setup-$version.exe" resources/windows/kivo-setup.nsi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder=$stage/kivo-$version-windows
mkdir -p "$folder/32-bit" "$folder/64-bit"
cp "$scr32" "$folder/32-bit/kivo.scr"
cp "$scr64" "$folder/64-bit/kivo.scr"
sed "s/@VERSION@/$version/g; s/\$/\r/" resources/windows/INSTALL.txt >"$folder/INSTALL.txt"
rm -f "$dist/kivo-$version-windows.zip"
(cd "$stage" && zip -q -X -r "$dist/kivo-$version-windows.zip" "kivo-$version-windows")

(cd build/native && cpack -G DEB -D CPACK_OUTPUT_FILE_PREFIX="$dist" >/dev/null 2>&1)
ls -l "$dist"
