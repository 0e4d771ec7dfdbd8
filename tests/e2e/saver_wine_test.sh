#!/usr/bin/env bash
# kivo.scr end to end: the real Windows build under Wine on a virtual X display, driven with xdotool
# and checked through the registry, the screen, the exit codes and a small Windows helper (kivo-testhost).
#   saver_wine_test.sh BUILD_TREE [SCENARIO...]
# With KIVO_TEST_DISPLAY=two-monitors it runs on a two-monitor Xorg instead of Xvfb (the "monitors"
# scenario needs it), with monitor-left on one whose second monitor is left of the primary ("monitor_left").
set -u
build=$(realpath "$1"); shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
. "$here/wine_env.sh"
export WINEDLLOVERRIDES="mscoree,mshtml=;mpr=n,b"
at_exit+=(wine_stop_all)

scr=$build/kivo.scr
testhost=$build/tests/win32/kivo-testhost.exe
for f in "$scr" "$testhost"; do [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }; done
case ${KIVO_TEST_DISPLAY:-} in
  two-monitors) start_two_monitors || exit 1 ;;
  monitor-left) start_two_monitors left || exit 1 ;;
  *) start_xvfb || exit 1 ;;
esac
wine_prefix_ready || exit 1
[[ $build != *i686* ]] || wine_runs_bits "$testhost" 32 || { echo "SKIP: $no_32bit_code"; exit 77; }

FULL='window 0 0 1024 768 topmost=1 popup=1 visible=1'
SECOND='monitor 1024 0 800 600 topmost=1 visible=1'
export KIVO_TEST_LOG=$work/components.log

reset_settings() { reg delete "$KEY" /f; reg delete "$DESKTOP" /v ScreenSaveUsePassword /f; rm -f "$KIVO_TEST_LOG"; }
probe() { "$WINE" "$testhost" "${1:-probe}" 2>/dev/null | tr -d '\r'; }
probe_is() { [ "$(probe "$1")" = "$2" ]; }  # VERB TEXT
starts_with() { [[ "$1" == "$2"* ]]; }
asked_verifier() { wait_until 10 grep -q '^verify [1-9]' "$KIVO_TEST_LOG"; }
logged() { tr -d '\r' <"$KIVO_TEST_LOG" 2>/dev/null | grep -qx "$1"; }  # the stand-ins write Windows line ends
no_window_titled() { [ -z "$(windows_titled "$1")" ]; }

# A folder holding kivo.scr and the stand-in system components named.
saver_dir() {  # NAME [COMPONENT...]
  local dir=$work/$1 c; shift
  rm -rf "$dir"; mkdir -p "$dir"
  cp "$scr" "$dir/"
  for c in "$@"; do cp "$build/tests/win32/$c" "$dir/"; done
  echo "$dir"
}
start_saver() {  # DIR ARGS...: runs as $(basename DIR)
  local dir=$1; shift
  cd "$dir" && start "$(basename "$dir")" "$WINE" "$dir/kivo.scr" "$@"
  cd "$work" || exit 1
}
# SAVER_PROBE: what the helper saw of the saver window, once it is mapped.
saver_window_shown() { SAVER_PROBE=$(probe); [[ $SAVER_PROBE == window* && $SAVER_PROBE == *visible=1* ]]; }
# /s from DIR with the pointer at 500,400, the position a qualifying move is measured from, until it draws.
start_full_screen() {  # DIR
  xdotool mousemove 500 400
  start_saver "$1" /s
  wait_until 30 saver_window_shown && wait_until 10 lit_over 0 0 0 1024 768
}
# Purely horizontal moves from X,Y leave /s (started as NAME) running; a move to TO_X,TO_Y then ends it.
slides_then_ends() {  # NAME X Y COUNT TO_X TO_Y WHAT
  slide_right "$2" "$3" "$4" 0
  check "$(($4 * 10)) px of purely horizontal movement leave /s running" running "$1"
  xdotool mousemove "$5" "$6"
  check "$7 ends /s with 0" ends_with "$1" 0
  stop_everything
}
# A preview pane of the helper's hosting DIR/kivo.scr /p; NAME.out gets its report.
start_pane() {  # W H DIR NAME
  rm -f "$work/$4.destroy"
  start "$4" "$WINE" "$testhost" pane "$1" "$2" "$(winpath "$3/kivo.scr")" "$(winpath "$work/$4.destroy")"
  wait_for_line "$work/$4.out" '^child' 30
}
end_pane() { touch "$work/$1.destroy"; exit_code "$1" 30 >/dev/null; }
pane_says() { tr -d '\r' <"$work/$1.out" | grep -q "$2"; }  # NAME TEXT

# One full-screen run: stored values ("NAME TYPE DATA" for reg add, NAME being COUNT or
# ScreenSaveUsePassword), the stand-in PASSWORD.CPL (verifier, verifier_without_entry or none) and its
# answer, the input (xdotool words), and what follows: "ends" (exit 0), "stays" (the saver keeps
# running), "refused" (the verifier asked with the saver window, the saver runs on, the cursor back where
# it was) or a message box's title.
full_screen_case() {  # DESCRIPTION STORED VERIFIER ANSWER INPUT OUTCOME
  local what=$1 verifier=$3 outcome=$6 key=$DESKTOP name type data
  reset_settings
  read -r name type data <<<"$2"
  [ "$name" != COUNT ] || key=$KEY
  [ -z "$name" ] || reg add "$key" /v "$name" /t "$type" /d "$data" /f
  export KIVO_TEST_VERIFY=$4
  start_full_screen "$(saver_dir case ${verifier:+$verifier/PASSWORD.CPL})"
  check "$what: the saver window opens full screen ($SAVER_PROBE)" starts_with "$SAVER_PROBE" "$FULL"
  # shellcheck disable=SC2086
  xdotool $5
  case $outcome in
    ends) check "$what: ends /s with 0" ends_with case 0 ;;
    stays) check "$what: leaves /s running" running case ;;
    refused)
      check "$what: PASSWORD.CPL is asked with the saver window" asked_verifier
      check "$what: the saver keeps running" running case
      wait_until 5 pointer_at 500 400
      check "$what: the cursor is put back ($X,$Y)" [ "$X,$Y" = 500,400 ] ;;
    *)
      check "$what: the message box '$outcome' appears" quiet wait_window_titled "$outcome" 20
      check "$what: and the saver keeps running" running case ;;
  esac
  stop_everything
}
# The full-screen rows of each scenario: full_screen_case's arguments, split at |. In the password gate
# each pause after a move lets Wine take the move before the key (nothing shows when it has); the flag
# is also stored as text, the way current Windows stores desktop values.
full_screen_rows() {  # SCENARIO
  local tag what stored verifier answer input outcome
  while IFS='|' read -r -u 3 tag what stored verifier answer input outcome; do
    [ "$tag" != "$1" ] || full_screen_case "$what" "$stored" "$verifier" "$answer" "$input" "$outcome"
  done 3<<'ROWS'
run|a key||||key a|ends
mouse|a left click||||click 1|ends
mouse|a right click||||click 3|ends
mouse|the middle button||||click 2|stays
password|a refusing PASSWORD.CPL|ScreenSaveUsePassword REG_DWORD 1|verifier|refuse|mousemove 700 400 sleep 0.3 key a|refused
password|an accepting PASSWORD.CPL|ScreenSaveUsePassword REG_DWORD 1|verifier|accept|key a|ends
password|no PASSWORD.CPL|ScreenSaveUsePassword REG_DWORD 1|||key a|設定値取得エラー
password|ScreenSaveUsePassword REG_SZ "0"|ScreenSaveUsePassword REG_SZ 0|verifier|refuse|key a|ends
password|ScreenSaveUsePassword REG_SZ "1"|ScreenSaveUsePassword REG_SZ 1|verifier|refuse|mousemove 700 400 sleep 0.3 key a|refused
bad_values|COUNT REG_SZ abc|COUNT REG_SZ abc|||key a|ends
bad_values|COUNT REG_BINARY 0102|COUNT REG_BINARY 0102|||key a|ends
bad_values|COUNT REG_QWORD 0x2710|COUNT REG_QWORD 0x2710|||key a|ends
bad_values|COUNT REG_DWORD 0xffffffff|COUNT REG_DWORD 0xffffffff|||key a|ends
bad_values|COUNT REG_DWORD 99999|COUNT REG_DWORD 99999|||key a|ends
bad_values|COUNT REG_BINARY 0000000000000000|COUNT REG_BINARY 0000000000000000|||key a|ends
bad_hosts|a PASSWORD.CPL without VerifyScreenSavePwd|ScreenSaveUsePassword REG_DWORD 1|verifier_without_entry||key a|設定値取得エラー
ROWS
}

scenario_run() {
  echo "-- /s: full screen, snow, the settings key, one instance"
  reset_settings
  local other; other=$(saver_dir second)
  start_full_screen "$(saver_dir run)"
  check "/s opens a top-most full-screen window ($SAVER_PROBE)" starts_with "$SAVER_PROBE" "$FULL"
  wait_until 10 lit_over 400 0 0 1024 768
  check "/s shows snow on black ($LIT bright pixels)" [ "${LIT:-0}" -gt 400 -a "${LIT:-0}" -lt 200000 ]
  check "/s creates the settings key" reg query "$KEY"
  start_saver "$other" /s
  check "a second /s exits 0 at once" ends_with second 0 15
  start_saver "$other" /c
  check "a second /c exits 0 at once" ends_with second 0 15
  check "without opening a dialog" no_window_titled "$CAPTION"
  check "the first saver still runs" running run
  stop_everything
}

scenario_mouse() {
  echo "-- /s: buttons and mouse movement"
  start_full_screen "$(saver_dir move)"
  slides_then_ends move 500 400 10 504 404 "after six ignored moves, 4 px right and 4 px down"
}

scenario_bad_hosts() {
  echo "-- preview handles that are no use, a password library without its entry point"
  reset_settings
  local dir box
  dir=$(saver_dir badhandle)
  start_saver "$dir" /p 12345
  box=$(wait_window_titled "初期化エラー" 20)
  check "/p with a handle that is no window: the message box '初期化エラー' appears" [ -n "$box" ]
  # Wine answers a key only once it has seen the pointer over the box; nothing shows when.
  [ -n "$box" ] && { point_at_window "$box"; sleep 0.3; xdotool key Return; }
  check "and the program then exits 0" ends_with badhandle 0
  stop_everything
}

# Wine shows nothing that a process draws into a child of another process's window, so the picture
# cannot be looked at here; the helper reports the saver window it finds inside its pane instead. The
# drawing itself is the full-screen path, checked on screen. A zero-size pane: no picture at all.
scenario_preview() {
  echo "-- /p HWND: a child of the host's pane, input ignored, ends with the pane"
  reset_settings
  local dir size w h; dir=$(saver_dir preview)
  for size in "320 240" "0 0"; do
    read -r w h <<<"$size"
    start_pane "$w" "$h" "$dir" pane
    check "the saver window fills the ${w}x$h pane as its child" pane_says pane "^child KIVO.gwp 100 100 $w $h visible=1\$"
    check "a preview child does not count as a running saver" probe_is probe none
    check "and opens no window on another monitor" probe_is monitors none
    xdotool mousemove 200 200 sleep 0.2 key a click 1 click 3  # the pause: as in the password gate
    slide_right 200 200 10 0
    xdotool mousemove 300 300
    check "keys, clicks and movement leave the preview running" not wait_until 1 pane_says pane ended
    end_pane pane
    check "destroying the pane ends the preview with 0" pane_says pane 'saver ended with 0'
    stop_everything
  done
}

scenario_configure() {
  echo "-- /c and the empty command line: the settings dialog"
  # stored COUNT before (or -), arguments, keys, COUNT after
  local row before args keys after dir dialog
  dir=$(saver_dir configure)
  reset_settings
  for row in "- /c Return 0x2710" "2500 - Return 0x9c4" "2500 /c Tab+Tab+End+Return 0x7530" \
    "2500 /c Tab+Tab+Home+Escape 0x9c4"; do
    read -r before args keys after <<<"$row"
    [ "$before" = - ] || reg add "$KEY" /v COUNT /t REG_DWORD /d "$before" /f
    args=${args#-}
    # shellcheck disable=SC2086
    start_saver "$dir" $args
    dialog=$(wait_window_titled "$CAPTION" 30)
    check "the settings dialog appears with its caption (${args:-no arguments})" [ -n "$dialog" ]
    [ -n "$dialog" ] && point_at_window "$dialog"
    [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && shot "$KIVO_KEEP_SCREENSHOTS/dialog-${LANG%%.*}.png"
    xdotool key ${keys//+/ }
    check "${keys//+/ } closes it with exit code 0" ends_with configure 0
    check "COUNT ${before/-/missing} and ${keys//+/ }: COUNT $after ($(value_of "$KEY" COUNT))" \
      value_is "$KEY" COUNT "REG_DWORD $after"
  done
  stop_everything
}

scenario_change_password() {
  echo "-- /a: the password change hand-over"
  # A host may print a 32-bit handle unsigned or signed: both name the same one.
  local row library printed handle
  for row in "changer 4660 4660" "changer 4294967295 4294967295" "changer -1 4294967295" "changer_without_entry 4660 -"; do
    read -r library printed handle <<<"$row"
    rm -f "$KIVO_TEST_LOG"
    start_saver "$(saver_dir change "$library/MPR.DLL")" /a "$printed"
    check "/a $printed with $library/MPR.DLL exits 0" ends_with change 0
    if [ "$handle" = - ]; then check "and, PwdChangePasswordA lacking, shows nothing" no_window_titled KIVO
    else check "/a $printed hands MPR.DLL SCRSAVE and the handle $handle" logged "change SCRSAVE $handle"; fi
  done
  stop_everything
}

# Opens the settings dialog, surveys its controls into SURVEY, closes it.
surveyed() { SURVEY=$(probe dialog); grep -q '^controls' <<<"$SURVEY"; }
survey_dialog() {  # DIR NAME
  start_saver "$1" /c
  local dialog; dialog=$(wait_window_titled "$CAPTION" 30)
  wait_until 10 surveyed
  [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && shot "$KIVO_KEEP_SCREENSHOTS/dialog-$2.png"
  [ -n "$dialog" ] && { point_at_window "$dialog"; xdotool key Escape; }
  check "the dialog at $2 closes with Escape and exit code 0" ends_with "$(basename "$1")" 0
  stop_everything
}

scenario_high_dpi() {
  echo "-- 150 % (144 dpi): full screen in physical pixels, every dialog control shown"
  reset_settings
  local dir normal small big
  dir=$(saver_dir dpi)
  survey_dialog "$dir" 96dpi
  normal=$SURVEY
  reg add "$DESKTOP" /v LogPixels /t REG_DWORD /d 144 /f
  reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d 144 /f
  stop_everything  # the new DPI takes effect with the next session
  # Many flakes and a few seconds, so that near flakes reach the bottom half.
  reg add "$KEY" /v COUNT /t REG_DWORD /d 30000 /f
  start_full_screen "$dir"
  check "/s at 144 dpi covers the whole 1024x768 screen ($SAVER_PROBE)" starts_with "$SAVER_PROBE" "$FULL screen=1024x768"
  # 682 x 512 is the screen in logical pixels at 150 %: a frame of that size would leave the last
  # rectangle black.
  snowing_within 20 "/s at 144 dpi" 10 "0 0 512 384 0,0" "512 0 512 384 512,0" "0 384 512 384 0,384" \
    "512 384 512 384 512,384" "700 520 324 248 700,520 (bottom right)"
  [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && cp "$work/a.png" "$KIVO_KEEP_SCREENSHOTS/saver-144dpi.png"
  xdotool key a
  check "and a key ends it with 0" ends_with dpi 0
  stop_everything
  survey_dialog "$dir" 144dpi
  echo "$SURVEY" | sed 's/^/   /'
  check "at 144 dpi all six controls are visible inside the dialog" [ "$(tail -n 1 <<<"$SURVEY")" = "controls 6 shown 6" ]
  small=$(sed -n 's/^dialog client \([0-9]*\) .*/\1/p' <<<"$normal")
  big=$(sed -n 's/^dialog client \([0-9]*\) .*/\1/p' <<<"$SURVEY")
  check "the dialog grows with the DPI ($small px at 96 dpi, $big px at 144 dpi)" [ $((${big:-0} * 10)) -ge $((${small:-1} * 13)) ]
  reg delete "$DESKTOP" /v LogPixels /f
  reg delete 'HKCC\Software\Fonts' /v LogPixels /f
  stop_everything
}

scenario_monitors() {
  echo "-- two monitors: a window and a scene on each"
  reset_settings
  local dir both=("0 0 1024 768 the first monitor" "1024 0 800 600 the second monitor")
  dir=$(saver_dir monitors)
  start_full_screen "$dir"
  check "the saver window covers the primary monitor as ever ($SAVER_PROBE)" starts_with "$SAVER_PROBE" "$FULL"
  check "a top-most window covers the second monitor" probe_is monitors "$SECOND"
  snowing_within 10 "/s" 200 "${both[@]}"
  [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && shot "$KIVO_KEEP_SCREENSHOTS/two-monitors.png"
  xdotool mousemove 1400 300 sleep 0.3 key a  # the pause: as in the password gate
  check "a key with the pointer on the second monitor ends /s with 0" ends_with monitors 0
  check "and closes every window" probe_is monitors none
  stop_everything

  start_full_screen "$dir"
  slides_then_ends monitors 500 400 8 1400 300 "a move onto the second monitor"

  reg add "$DESKTOP" /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
  export KIVO_TEST_VERIFY=refuse
  start_full_screen "$(saver_dir refuse verifier/PASSWORD.CPL)"
  xdotool mousemove 1400 300 sleep 0.3 key a
  check "a key on the second monitor asks PASSWORD.CPL" asked_verifier
  check "a refused password keeps the saver running" running refuse
  check "with its window on the second monitor" probe_is monitors "$SECOND"
  snowing_within 10 "after a refused password" 200 "${both[@]}"
  stop_everything
  reset_settings

  # A monitor that goes away and comes back while the saver runs.
  start_full_screen "$(saver_dir change)"
  xrandr --output DUMMY1 --off
  check "a monitor switched off leaves no window for it" wait_until 10 probe_is monitors none
  check "and /s running" running change
  xrandr --output DUMMY1 --auto --right-of DUMMY0
  check "when it comes back it gets a window again" wait_until 10 probe_is monitors "$SECOND"
  snowing_within 10 "after the monitor came back" 200 "${both[@]}"
  xdotool key a
  check "and a key still ends /s with 0" ends_with change 0
  stop_everything
  scenario_preview
}

# X puts the 800x600 monitor at +0+0 and the primary one at +800+0; the saver sees them at -800,0 and 0,0.
scenario_monitor_left() {
  echo "-- a second monitor left of the primary one: negative screen coordinates"
  reset_settings
  local dir; dir=$(saver_dir left)
  xdotool mousemove 1300 400
  start_saver "$dir" /s
  wait_until 30 saver_window_shown
  check "the saver window covers the primary monitor ($SAVER_PROBE)" starts_with "$SAVER_PROBE" "$FULL"
  check "a top-most window covers the monitor on the left" probe_is monitors "monitor -800 0 800 600 topmost=1 visible=1"
  snowing_within 10 "/s" 200 "800 0 1024 768 the primary monitor" "0 0 800 600 the monitor on the left"
  slides_then_ends left 1300 400 8 300 300 "a move onto the monitor on the left"
}

cd "$work" || exit 1
for s in ${*:-run mouse preview configure password change_password bad_values bad_hosts high_dpi}; do
  ! declare -F "scenario_$s" >/dev/null || "scenario_$s"
  full_screen_rows "$s"
done
finish
