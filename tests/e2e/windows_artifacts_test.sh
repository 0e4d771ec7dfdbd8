#!/usr/bin/env bash
# What the Windows builds deliver, checked in the files themselves: each kivo.scr is one executable of
# its architecture that imports system DLLs only, and carries the settings dialog, the icon, the saver's
# display name, version information and the manifest; the zip holds each; then the installer.
#   windows_artifacts_test.sh BUILD_ROOT VERSION
set -u
builds=$1 version=$2
. "$(dirname "$0")/lib.sh"
only_system_dlls() {  # OBJDUMP FILE
  ! "$1" -p "$2" | sed -n 's/^\s*DLL Name: //p' | tr A-Z a-z |
    grep -v -x -E '(kernel32|user32|gdi32|advapi32|shell32|comctl32|msvcrt)\.dll'
}
has() { grep -qF -- "$1" <<<"$2"; }

zip=$builds/dist/kivo-$version-windows.zip
for row in "mingw-i686 pei-i386 i686-w64-mingw32 32-bit" "mingw-x64 pei-x86-64 x86_64-w64-mingw32 64-bit"; do
  read -r tree arch tools bits <<<"$row"
  scr=$builds/$tree/kivo.scr
  check "the zip's $bits/kivo.scr is $tree/kivo.scr" cmp -s <(unzip -p "$zip" "kivo-$version-windows/$bits/kivo.scr") "$scr"
  check "$scr is $arch" grep -q "file format $arch" <<<"$("$tools-objdump" -f "$scr" 2>&1)"
  check "$tree: it imports system DLLs only" only_system_dlls "$tools-objdump" "$scr"
  rc=$("$tools-windres" -i "$scr" -O rc 2>/dev/null)
  strings=$(strings "$scr")
  check "$tree: dialog 101" grep -q '^101 DIALOG' <<<"$rc"
  # ヌワスクリーンセーバー  Version1.00 in ＭＳ Ｐゴシック
  check "$tree: its caption" has \
    'CAPTION L"\x30cc\x30ef\x30b9\x30af\x30ea\x30fc\x30f3\x30bb\x30fc\x30d0\x30fc  Version1.00"' "$rc"
  check "$tree: its font" has 'FONT 9, L"\xff2d\xff33 \xff30\x30b4\x30b7\x30c3\x30af"' "$rc"
  check "$tree: the slider" grep -qi '"msctls_trackbar32"' <<<"$rc"
  check "$tree: icon group 102" grep -q '^102 14 /\* RT_GROUP_ICON \*/' <<<"$rc"
  check "$tree: the display name in string 1" has '1, "KIVO"' "$rc"
  check "$tree: FileVersion $version" has "VALUE \"FileVersion\", \"$version\"" "$rc"
  check "$tree: FILEVERSION $version" grep -q "FILEVERSION ${version//./, }, 0" <<<"$rc"
  check "$tree: the manifest's version $version.0" has "name=\"Orvek.KIVO\" version=\"$version.0\"" "$strings"
  check "$tree: a manifest with DPI awareness" has PerMonitorV2 "$strings"
done

setup=$builds/dist/kivo-setup-$version.exe
rc=$(i686-w64-mingw32-windres -i "$setup" -O rc 2>/dev/null)
check "the installer's ProductVersion is $version" has "VALUE \"ProductVersion\", \"$version\"" "$rc"
check "the installer names its publisher" has 'VALUE "CompanyName", "Orvek"' "$rc"
check "the installer has an icon" has RT_GROUP_ICON "$rc"
check "the zip's INSTALL.txt" grep -q SysWOW64 <(unzip -p "$zip" "kivo-$version-windows/INSTALL.txt")
finish
