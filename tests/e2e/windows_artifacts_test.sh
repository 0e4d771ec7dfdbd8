#!/usr/bin/env bash
# What the Windows builds deliver, checked in the files themselves: each
# kivo.scr is one executable of its architecture that imports system DLLs
# only, and carries the settings dialog, the icon, the saver's display name,
# version information and the manifest.
set -u
builds=$1
version=${2:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|msvcrt)\.dll$'

check_saver() {
  local scr=$1 arch=$2 tools=$3
  [ -f "$scr" ] || { fail "$scr is not built"; return; }
  "$tools-objdump" -f "$scr" | grep -q "file format $arch" || fail "$scr is not $arch"
  local dll
  for dll in $("$tools-objdump" -p "$scr" | sed -n 's/^\s*DLL Name: //p'); do
    [[ "${dll,,}" =~ $system_dlls ]] || fail "$scr imports $dll"
  done
  local rc
  rc=$("$tools-windres" -i "$scr" -O rc 2>/dev/null)
  grep -q '^101 DIALOG' <<<"$rc" || fail "$scr: no dialog 101"
  # ヌワスクリーンセーバー  Version1.00
  grep -qF 'CAPTION L"\x30cc\x30ef\x30b9\x30af\x30ea\x30fc\x30f3\x30bb\x30fc\x30d0\x30fc  Version1.00"' <<<"$rc" \
    || fail "$scr: dialog caption"
  grep -qF 'FONT 9, L"\xff2d\xff33 \xff30\x30b4\x30b7\x30c3\x30af"' <<<"$rc" || fail "$scr: dialog font"
  grep -qi '"msctls_trackbar32"' <<<"$rc" || fail "$scr: no slider"
  grep -q '^102 14 /\* RT_GROUP_ICON \*/' <<<"$rc" || fail "$scr: no icon group 102"
  grep -q '1, "KIVO"' <<<"$rc" || fail "$scr: no display name in string 1"
  grep -q 'VERSIONINFO' <<<"$rc" || fail "$scr: no version information"
  if [ -n "$version" ]; then
    grep -qF "VALUE \"FileVersion\", \"$version\"" <<<"$rc" || fail "$scr: FileVersion is not $version"
    grep -q "FILEVERSION ${version//./, }, 0" <<<"$rc" || fail "$scr: FILEVERSION is not $version"
    strings "$scr" | grep -q "name=\"Orvek.KIVO\" version=\"$version.0\"" || fail "$scr: manifest version is not $version.0"
  fi
  grep -q 'MANIFEST' <<<"$rc" || fail "$scr: no manifest"
  strings "$scr" | grep -q 'PerMonitorV2' || fail "$scr: manifest without DPI awareness"
}

check_saver "$builds/mingw-i686/kivo.scr" pei-i386 i686-w64-mingw32
check_saver "$builds/mingw-x64/kivo.scr" pei-x86-64 x86_64-w64-mingw32

# The release files scripts/release.sh makes, when it has run.
if [ -n "$version" ] && [ -d "$builds/dist" ]; then
  setup=$builds/dist/kivo-setup-$version.exe
  rc=$(i686-w64-mingw32-windres -i "$setup" -O rc 2>/dev/null)
  grep -qF "VALUE \"ProductVersion\", \"$version\"" <<<"$rc" || fail "$setup: ProductVersion is not $version"
  grep -qF 'VALUE "CompanyName", "Orvek"' <<<"$rc" || fail "$setup: no publisher in its version information"
  grep -q 'RT_GROUP_ICON' <<<"$rc" || fail "$setup: no icon"
  zip=$builds/dist/kivo-$version-windows.zip
  for pair in "32-bit/kivo.scr mingw-i686/kivo.scr" "64-bit/kivo.scr mingw-x64/kivo.scr"; do
    read -r inside built <<<"$pair"
    unzip -p "$zip" "kivo-$version-windows/$inside" | cmp -s - "$builds/$built" || fail "$zip: $inside is not $built"
  done
  unzip -p "$zip" "kivo-$version-windows/INSTALL.txt" | grep -q "SysWOW64" || fail "$zip: no INSTALL.txt"
fi
[ "$failures" = 0 ] && echo "Windows artifacts: both kivo.scr files (and the release files, where made) complete"
exit "$failures"
