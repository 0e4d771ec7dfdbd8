# Sourced by the tests that run Windows builds under Wine: a quiet, private,
# 64-bit prefix made once per build tree.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${KIVO_WINEPREFIX:-${TMPDIR:-/tmp}/kivo-wineprefix-$(id -u)}
WINE64=${WINE64:-/usr/lib/wine/wine64}
[ -x "$WINE64" ] || WINE64=$(command -v wine64 || true)

wine_prefix_ready() {
  [ -n "$WINE64" ] || { echo "wine64 is not installed"; return 1; }
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    timeout 180 "$WINE64" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; return 1; }
  fi
  if [ ! -f "$WINEPREFIX/.kivo-cjk-fonts" ]; then
    wine_link_cjk_fonts && touch "$WINEPREFIX/.kivo-cjk-fonts"
  fi
  timeout 60 "${WINE64%64}server" -w 2>/dev/null || true
  return 0
}

# A Japanese Windows, and any Windows through font linking, shows Japanese
# glyphs in every system font. A fresh Wine prefix knows no CJK font, so link
# the UI fonts to Noto Sans CJK and let the dialog's Japanese face map to it.
wine_link_cjk_fonts() {
  local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  local subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  local face
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" "Microsoft Sans Serif"; do
    "$WINE64" reg add "$link" /v "$face" /t REG_MULTI_SZ /d "NotoSansCJK-Regular.ttc,Noto Sans CJK JP" /f >/dev/null 2>&1 || return 1
  done
  for face in "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic"; do
    "$WINE64" reg add "$subst" /v "$face" /t REG_SZ /d "Noto Sans CJK JP" /f >/dev/null 2>&1 || return 1
  done
}

# A Unix path as the Windows program sees it (drive Z: is the root).
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
