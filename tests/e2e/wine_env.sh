# Sourced by the tests that run Windows builds under Wine: a quiet, private prefix made once. They run
# inside the Wine root (scripts/wine-root.sh run), whose Wine 10 is built for WoW64: one 64-bit prefix
# runs both the 32-bit and the 64-bit builds. WINE and WINESERVER name another Wine.
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
  [ -f "$WINEPREFIX/.kivo-cjk-fonts" ] || { wine_link_cjk_fonts && touch "$WINEPREFIX/.kivo-cjk-fonts"; }
  timeout 60 "$WINESERVER" -w 2>/dev/null && wine_share_dlls
  return 0
}

# wineboot copies every DLL and program of the Wine installation into the prefix: 1.2 GB in each of
# the prefixes the tests keep (one per Wine test, so that they may run side by side). Each copy that is
# byte for byte the installed file becomes a hard link to it, which leaves about 40 MB per prefix; only
# while no Windows program of the prefix runs. The tests never write a system DLL, and a Wine upgrade
# unpacks new files rather than writing into the old ones, so the installation never changes through a
# link. Nothing is linked where the prefix lies on another file system or linking is not allowed.
wine_share_dlls() {
  local dir original
  for dir in /usr/lib/x86_64-linux-gnu/wine /usr/lib/wine; do [ -d "$dir" ] && break; done
  [ -d "$dir" ] && [ -d "$WINEPREFIX/drive_c" ] || return 0
  # Size and name of every installed file (the same may stand for both architectures), then every
  # unlinked copy in the prefix with a size and name among them; one that compares equal is linked.
  find "$dir" -type f -printf '%s/%f\t%p\n' 2>/dev/null |
    awk -F'\t' 'NR == FNR { installed[$1] = installed[$1] "\t" $2; next }
                ($1 in installed) { print $2 installed[$1] }' \
      - <(find "$WINEPREFIX/drive_c" -type f -links 1 -printf '%s/%f\t%p\n' 2>/dev/null) |
    while IFS=$'\t' read -r -a names; do
      for original in "${names[@]:1}"; do
        cmp -s "$original" "${names[0]}" || continue
        ln "$original" "${names[0]}.kivo-link" 2>/dev/null && mv -f "${names[0]}.kivo-link" "${names[0]}"
        rm -f "${names[0]}.kivo-link"
        break
      done
    done
}

# Whether this Wine runs programs of BITS (32 or 64) at all, asked of the test helper of such a build.
# WoW64 runs 32-bit code in the kernel's 32-bit code segment, which a kernel with IA-32 emulation off
# does not have: there no 32-bit Windows program runs, kivo's or any other.
wine_runs_bits() { [ "$("$WINE" "$1" bits 2>/dev/null | tr -d '\r')" = "$2" ]; }  # TESTHOST BITS
no_32bit_code="this machine's kernel runs no 32-bit code (IA-32 emulation off), so Wine runs no 32-bit build here"

# Ends every Windows program of the prefix.
wine_stop_all() { "$WINESERVER" -k 2>/dev/null; }
stop_everything() { wine_stop_all; wait_until 5 all_started_ended; }  # and waits for what start ran

# The saver's settings, the desktop's, and the caption of the saver's settings dialog.
KEY='HKCU\Software\Orvek\SCREEN SAVER\KIVO'
DESKTOP='HKCU\Control Panel\Desktop'
CAPTION='ヌワスクリーンセーバー  Version1.00'
reg() { "$WINE" reg "$@" >/dev/null 2>&1; }
value_of() {  # KEY NAME [VIEW]: "TYPE DATA" of a value, or nothing
  "$WINE" reg query "$1" /v "$2" ${3:+/reg:$3} 2>/dev/null | tr -d '\r' |
    awk -v n="$2" '$1 == n { $1 = ""; sub(/^ /, ""); print }'
}
value_is() { [ "$(value_of "$1" "$2" "${4:-}")" = "$3" ]; }  # KEY NAME "TYPE DATA" [VIEW]

# A Japanese Windows, and any Windows through font linking, shows Japanese glyphs in every system font.
# A fresh Wine prefix knows no CJK font: link the UI fonts to Noto Sans CJK and map the dialog's face to it.
wine_link_cjk_fonts() {
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion' face
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" "Microsoft Sans Serif"; do
    "$WINE" reg add "$key\FontLink\SystemLink" /v "$face" /t REG_MULTI_SZ /d "NotoSansCJK-Regular.ttc,Noto Sans CJK JP" /f \
      >/dev/null 2>&1 || return 1
  done
  for face in "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic"; do
    "$WINE" reg add "$key\FontSubstitutes" /v "$face" /t REG_SZ /d "Noto Sans CJK JP" /f >/dev/null 2>&1 || return 1
  done
}

# A Unix path as the Windows program sees it (drive Z: is the root).
winpath() { printf 'Z:%s' "$(realpath -m "$1" | tr / '\\')"; }
