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
  timeout 60 "${WINE64%64}server${WINE64##*wine64}" -w 2>/dev/null || true
  return 0
}

# A Unix path as the Windows program sees it (drive Z: is the root).
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
