#!/usr/bin/env bash
# The Windows installer as a user meets it, under the WoW64 Wine of the Wine
# root (a 64-bit Windows): a silent install puts each build where Windows
# looks for screen savers, makes KIVO the current one and adds the Apps &
# features entry; the installed savers run; an upgrade keeps the user's
# setting; a silent uninstall removes everything but that setting.
#   windows_installer_test.sh DIST_DIR BUILD_ROOT VERSION   (inside the Wine root)
set -u
dist=$(realpath "$1") builds=$(realpath "$2") version=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
. "$here/wine_env.sh"
at_exit+=(wine_stop_all)
setup=$dist/kivo-setup-$version.exe
testhost=$builds/mingw-x64/tests/win32/kivo-testhost.exe helper32=$builds/mingw-i686/tests/win32/kivo-testhost.exe
for f in "$setup" "$testhost" "$helper32"; do [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }; done
start_xvfb || exit 1
wine_prefix_ready || exit 1
# The installer, as the 32-bit Windows it also serves needs, is a 32-bit program.
wine_runs_bits "$helper32" 32 || { echo "SKIP: $no_32bit_code"; exit 77; }

UNINSTALL='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KIVO'
system32=$WINEPREFIX/drive_c/windows/system32
syswow64=$WINEPREFIX/drive_c/windows/syswow64
# Runs a Windows program to its end, including any it started.
run_to_end() { "$WINE" "$@" >/dev/null 2>&1; local code=$?; "$WINESERVER" -w; return $code; }
saver_window_opens() { "$WINE" "$testhost" probe 2>/dev/null | grep -q '^window'; }
reg delete "$KEY" /f
reg delete "$DESKTOP" /v SCRNSAVE.EXE /f

echo "-- silent install"
check "kivo-setup-$version.exe /S ends with 0" run_to_end "$setup" /S
check "the 64-bit kivo.scr is in System32" cmp -s "$system32/kivo.scr" "$builds/mingw-x64/kivo.scr"
check "the 32-bit kivo.scr is in SysWOW64" cmp -s "$syswow64/kivo.scr" "$builds/mingw-i686/kivo.scr"
check "KIVO is the current screen saver" grep -qix 'REG_SZ C:\\windows\\System32\\kivo.scr' <<<"$(value_of "$DESKTOP" SCRNSAVE.EXE)"
check "the screen saver is on" value_is "$DESKTOP" ScreenSaveActive "REG_SZ 1"
for pair in "DisplayName KIVO" "DisplayVersion $version" "Publisher Orvek"; do
  check "Apps & features: ${pair% *} ${pair#* }" value_is "$UNINSTALL" "${pair% *}" "REG_SZ ${pair#* }" 64
done
check "Apps & features: its size ($(value_of "$UNINSTALL" EstimatedSize 64))" \
  grep -q '^REG_DWORD 0x[0-9a-f]*[1-9a-f]' <<<"$(value_of "$UNINSTALL" EstimatedSize 64)"
uninstaller=$(value_of "$UNINSTALL" UninstallString 64 | sed 's/^REG_SZ //; s/"//g')
check "Apps & features: an uninstaller ($uninstaller)" [ -n "$uninstaller" ]

echo "-- the installed savers"
for saver in 'C:\windows\system32\kivo.scr' 'C:\windows\syswow64\kivo.scr'; do
  xdotool mousemove 500 400
  start run "$WINE" "$saver" /s
  check "$saver /s opens its window" wait_until 30 saver_window_opens
  wait_until 10 lit_over 0 0 0 1024 768
  xdotool key a
  check "$saver /s ends with 0 on a key" ends_with run 0
  stop_everything
done
start dialog "$WINE" 'C:\windows\system32\kivo.scr' /c
dialog=$(wait_window_titled "$CAPTION" 30)
check "the installed kivo.scr /c opens the settings dialog" [ -n "$dialog" ]
[ -n "$dialog" ] && { point_at_window "$dialog"; xdotool key Tab Tab End Return; }
check "and its OK writes COUNT" wait_until 10 value_is "$KEY" COUNT "REG_DWORD 0x7530"
wine_stop_all

echo "-- upgrade, uninstall"
reg add "$KEY" /v COUNT /t REG_DWORD /d 2500 /f
check "installing again ends with 0" run_to_end "$setup" /S
check "the user's COUNT survives it" value_is "$KEY" COUNT "REG_DWORD 0x9c4"
check "the uninstaller /S ends with 0" run_to_end "$uninstaller" /S
check "System32 and SysWOW64 hold no kivo.scr" [ ! -e "$system32/kivo.scr" -a ! -e "$syswow64/kivo.scr" ]
check "Apps & features lists KIVO no more" value_is "$UNINSTALL" DisplayName "" 64
check "the uninstaller is gone" [ ! -e "$("$WINE" winepath -u "$uninstaller" 2>/dev/null | tr -d '\r')" ]
check "KIVO is no longer the current screen saver" value_is "$DESKTOP" SCRNSAVE.EXE ""
check "the user's COUNT stays" value_is "$KEY" COUNT "REG_DWORD 0x9c4"
run_to_end "$setup" /S
reg add "$DESKTOP" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\other.scr' /f
run_to_end "$uninstaller" /S
check "uninstalling leaves another screen saver chosen since" \
  value_is "$DESKTOP" SCRNSAVE.EXE 'REG_SZ C:\windows\system32\other.scr'
reg delete "$DESKTOP" /v SCRNSAVE.EXE /f
finish
