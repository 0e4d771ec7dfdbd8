# Sourced by the tests that run Windows builds under Wine: a quiet, private
# prefix made once. They run inside the Wine root (scripts/wine-root.sh run),
# whose Wine 10 is built for WoW64: one 64-bit prefix runs both the 32-bit and
# the 64-bit builds. WINE and WINESERVER name another Wine.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${KIVO_WINEPREFIX:-${TMPDIR:-/tmp}/kivo-wineprefix-$(id -u)}
# Wine's display drivers look for a runtime folder; a chroot has none.
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kivo-runtime-$(id -u)}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
WINE=${WINE:-$(command -v wine || true)}
if [ -z "${WINESERVER:-}" ]; then
  for WINESERVER in /usr/lib/x86_64-linux-gnu/wine/wineserver "$(command -v wineserver)" /usr/lib/wine/wineserver ""; do
    [ -x "$WINESERVER" ] && break
  done
fi

wine_prefix_ready() {
  [ -n "$WINE" ] && [ -n "$WINESERVER" ] || { echo "Wine is not installed (run inside scripts/wine-root.sh run)"; return 1; }
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed"; return 1; }
  fi
  if [ ! -f "$WINEPREFIX/.kivo-cjk-fonts" ]; then
    wine_link_cjk_fonts && touch "$WINEPREFIX/.kivo-cjk-fonts"
  fi
  timeout 60 "$WINESERVER" -w 2>/dev/null || true
  return 0
}

# Ends every Windows program of the prefix.
wine_stop_all() { "$WINESERVER" -k 2>/dev/null; }

# A Japanese Windows, and any Windows through font linking, shows Japanese
# glyphs in every system font. A fresh Wine prefix knows no CJK font, so link
# the UI fonts to Noto Sans CJK and let the dialog's Japanese face map to it.
wine_link_cjk_fonts() {
  local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  local subst='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  local face
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" "Microsoft Sans Serif"; do
    "$WINE" reg add "$link" /v "$face" /t REG_MULTI_SZ /d "NotoSansCJK-Regular.ttc,Noto Sans CJK JP" /f >/dev/null 2>&1 || return 1
  done
  for face in "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic"; do
    "$WINE" reg add "$subst" /v "$face" /t REG_SZ /d "Noto Sans CJK JP" /f >/dev/null 2>&1 || return 1
  done
}

# A Unix path as the Windows program sees it (drive Z: is the root).
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
