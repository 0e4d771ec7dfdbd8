#!/usr/bin/env bash
# kivo.scr end to end: the real Windows build under Wine on a virtual X
# display, driven with xdotool and checked through the registry, the screen,
# the exit codes and a small Windows helper (kivo-testhost).
#
#   saver_wine_test.sh BUILD_TREE [SCENARIO...]
#
# With KIVO_TEST_DISPLAY=two-monitors it runs on a two-monitor Xorg instead
# of Xvfb (the "monitors" scenario needs it), with monitor-left on one whose
# second monitor is left of the primary one ("monitor_left").
set -u
build=$(realpath "$1"); shift
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_env.sh"
. "$here/x_display.sh"
. "$here/test_lib.sh"
export WINEDLLOVERRIDES="mscoree,mshtml=;mpr=n,b"

scr=$build/kivo.scr
testhost=$build/tests/win32/kivo-testhost.exe
for f in "$scr" "$testhost"; do [ -f "$f" ] || { echo "FAIL: $f is not built"; exit 1; }; done

work=$(mktemp -d)
cleanup() { wine_stop_all; stop_xvfb; rm -rf "$work"; }
trap cleanup EXIT
if [ "${KIVO_TEST_DISPLAY:-}" = two-monitors ]; then
  start_two_monitors || exit 1
elif [ "${KIVO_TEST_DISPLAY:-}" = monitor-left ]; then
  start_two_monitors left || exit 1
else
  start_xvfb || exit 1
fi
wine_prefix_ready || exit 1

KEY='HKCU\Software\Orvek\SCREEN SAVER\KIVO'
DESKTOP='HKCU\Control Panel\desktop'
CAPTION='ヌワスクリーンセーバー  Version1.00'

reg() { "$WINE" reg "$@" >/dev/null 2>&1; }
stored_count() { "$WINE" reg query "$KEY" /v COUNT 2>/dev/null | tr -d '\r' | awk '$1 == "COUNT" {print $2, $3}'; }
key_exists() { "$WINE" reg query "$KEY" >/dev/null 2>&1; }
reset_settings() { reg delete "$KEY" /f; reg delete "$DESKTOP" /v ScreenSaveUsePassword /f; }

# A folder holding kivo.scr and, optionally, stand-in system components.
saver_dir() {
  local dir=$work/$1; shift
  rm -rf "$dir"; mkdir -p "$dir"
  cp "$scr" "$dir/"
  local c
  for c in "$@"; do cp "$build/tests/win32/$c" "$dir/"; done
  echo "$dir"
}

# Starts the saver in the background; its exit code lands in DIR/exit.
start_saver() {
  local dir=$1; shift
  rm -f "$dir/exit"
  ( cd "$dir" && "$WINE" "$dir/kivo.scr" "$@" >/dev/null 2>&1; echo $? >"$dir/exit" ) &
}
exit_code() { code_in "$1/exit" "$2"; }  # DIR SECONDS
probe() { "$WINE" "$testhost" probe 2>/dev/null | tr -d '\r'; }
wait_saver_window() {
  local end=$((SECONDS + 30)) p
  while [ $SECONDS -lt "$end" ]; do
    p=$(probe)
    case "$p" in window*) echo "$p"; return 0 ;; esac
    sleep 0.3
  done
  return 1
}
runs_with_window() { [ -n "$1" ] && [ "$(exit_code "$2" 1)" = running ]; }
no_window_titled() { [ -z "$(windows_titled "$1")" ]; }
# The stand-in components write Windows line ends.
line_in_file() { tr -d '\r' <"$2" | grep -qx "$1"; }
not_in_file() { ! grep -q "$1" "$2"; }
probe_is() { [ "$(probe)" = "$1" ]; }
starts_with() { [[ "$1" == "$2"* ]]; }
# The helper's preview pane hosting DIR/kivo.scr /p; NAME.log gets its report.
start_pane() {  # W H DIR NAME
  rm -f "$work/$4.destroy" "$work/$4.exit"
  ( "$WINE" "$testhost" pane "$1" "$2" "$(winpath "$3/kivo.scr")" "$(winpath "$work/$4.destroy")" \
      | sed -u 's/\r$//' >"$work/$4.log" 2>&1; echo $? >"$work/$4.exit" ) &
}
end_pane() {  # NAME: destroys the pane and waits for the helper's report
  touch "$work/$1.destroy"
  code_in "$work/$1.exit" 30 >/dev/null
}
# Starts DIR/kivo.scr /s with the pointer at 500,400 (the position a
# qualifying move is measured from), waits for its window and lets it draw
# for SECONDS (1 by default); SAVER_PROBE holds what the helper saw.
start_full_screen() {
  xdotool mousemove 500 400
  start_saver "$1" /s
  SAVER_PROBE=$(wait_saver_window)
  sleep "${2:-1}"
}
stop_everything() { wine_stop_all; sleep 0.5; }
# COUNT pointer moves of 10 px to the right from X,Y: purely horizontal, so
# none of them may end the saver; then a pause of SECONDS.
slide_right() {  # X Y COUNT SECONDS
  local i
  for i in $(seq 1 "$3"); do xdotool mousemove $(($1 + 10 * i)) "$2"; sleep 0.1; done
  sleep "$4"
}

scenario_run() {
  echo "-- /s: full screen, snow, settings key, key press ends it"
  reset_settings
  xdotool mousemove 500 400
  local dir; dir=$(saver_dir run)
  start_saver "$dir" /s
  local p; p=$(wait_saver_window)
  check "/s opens a saver window" [ -n "$p" ]
  check "/s window is top-most, full screen at 0,0 ($p)" \
    starts_with "$p" 'window 0 0 1024 768 topmost=1 popup=1 visible=1'
  sleep 2
  local lit; lit=$(bright_pixels 0 0 1024 768)
  check "/s shows snow ($lit bright pixels)" [ "${lit:-0}" -gt 400 ]
  check "/s keeps the background black ($lit bright pixels)" [ "${lit:-0}" -lt 200000 ]
  check "/s creates the settings key" key_exists

  local other; other=$(saver_dir second)
  start_saver "$other" /s
  check "a second /s exits 0 at once" [ "$(exit_code "$other" 15)" = 0 ]
  start_saver "$other" /c
  check "a second /c exits 0 at once" [ "$(exit_code "$other" 15)" = 0 ]
  check "no dialog opened for the second /c" no_window_titled "$CAPTION"
  check "the first saver still runs" [ "$(exit_code "$dir" 1)" = running ]

  xdotool key a
  check "a key press ends /s with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything
}

scenario_mouse() {
  echo "-- /s: clicks and mouse movement"
  reset_settings
  local dir; dir=$(saver_dir click)
  start_full_screen "$dir"
  xdotool click 1
  check "a left click ends /s with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything

  dir=$(saver_dir move)
  start_full_screen "$dir"
  slide_right 500 400 10 1
  check "100 px purely horizontal movement does not end /s" [ "$(exit_code "$dir" 1)" = running ]
  xdotool mousemove 504 404
  check "after six ignored moves, 4 px right and 4 px down ends /s with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything
}

scenario_preview() {
  echo "-- /p HWND: a child of the host's pane, input ignored, ends with the pane"
  reset_settings
  local dir; dir=$(saver_dir preview)
  start_pane 320 240 "$dir" pane
  wait_for_line "$work/pane.log" '^child' 30
  # Wine shows nothing that a process draws into a child of another
  # process's window, so the picture cannot be looked at here; the helper
  # reports the saver window it finds inside its pane instead. The drawing
  # itself is the full-screen path, checked on screen above.
  check "the saver window fills the pane as its child ($(grep '^child' "$work/pane.log"))" \
    line_in_file 'child KIVO.gwp 100 100 320 240 visible=1' "$work/pane.log"
  check "a preview child does not count as a running saver" probe_is none
  xdotool mousemove 200 200; sleep 0.2
  xdotool key a; xdotool click 1
  local i
  for i in $(seq 1 10); do xdotool mousemove $((200 + 8 * i)) $((200 + 5 * i)); sleep 0.05; done
  sleep 1
  check "keys, clicks and movement leave the preview running" not_in_file ended "$work/pane.log"
  end_pane pane
  check "destroying the pane ends the preview ($(cat "$work/pane.log" 2>/dev/null | tail -n 1))" \
    grep -q 'saver ended with 0' "$work/pane.log"
  stop_everything
}

# Opens the settings dialog with ARGS, runs the keys, and waits for the end.
dialog_session() {
  local dir=$1; shift
  local keys=$1; shift
  start_saver "$dir" "$@"
  local dialog; dialog=$(wait_window_titled "$CAPTION" 30)
  check "the settings dialog appears with its caption ($*)" [ -n "$dialog" ]
  [ -n "$dialog" ] || { stop_everything; return; }
  point_at_window "$dialog"
  sleep 1
  [ -n "${SHOT:-}" ] && import -window root "$SHOT"
  local k
  for k in $keys; do xdotool key "$k"; sleep 0.3; done
  check "the dialog closes and the program exits 0 ($*)" [ "$(exit_code "$dir" 20)" = 0 ]
}

scenario_configure() {
  echo "-- /c and the empty command line: the settings dialog"
  reset_settings
  local dir; dir=$(saver_dir configure)
  dialog_session "$dir" "Return" /c
  check "first run: OK writes COUNT = 10000 (got '$(stored_count)')" [ "$(stored_count)" = "REG_DWORD 0x2710" ]

  reg add "$KEY" /v COUNT /t REG_DWORD /d 2500 /f
  SHOT=$work/dialog.png dialog_session "$dir" "Return"
  check "a stored 2500 is shown and written back (got '$(stored_count)')" [ "$(stored_count)" = "REG_DWORD 0x9c4" ]
  [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && cp "$work/dialog.png" "$KIVO_KEEP_SCREENSHOTS/dialog-$(locale | sed -n 's/^LANG=//p' | tr -d '"' | tr . _).png"

  dialog_session "$dir" "Tab Tab End Return" /c
  check "moving the slider with the keyboard writes 30000 (got '$(stored_count)')" \
    [ "$(stored_count)" = "REG_DWORD 0x7530" ]

  reg add "$KEY" /v COUNT /t REG_DWORD /d 2500 /f
  dialog_session "$dir" "Tab Tab Home Escape" /c
  check "Escape writes nothing (got '$(stored_count)')" [ "$(stored_count)" = "REG_DWORD 0x9c4" ]
  stop_everything
}

scenario_password() {
  echo "-- the password gate"
  reset_settings
  reg add "$DESKTOP" /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
  export KIVO_TEST_LOG=$work/components.log
  rm -f "$KIVO_TEST_LOG"

  KIVO_TEST_VERIFY=refuse
  export KIVO_TEST_VERIFY
  local dir; dir=$(saver_dir refuse verifier/PASSWORD.CPL)
  start_full_screen "$dir"
  xdotool mousemove 700 400; sleep 0.3   # purely horizontal: does not close
  xdotool key a; sleep 2
  check "a refusing PASSWORD.CPL was asked with the saver window" grep -q '^verify [1-9]' "$KIVO_TEST_LOG"
  check "a refused password keeps the saver running" [ "$(exit_code "$dir" 1)" = running ]
  eval "$(xdotool getmouselocation --shell)"
  check "a refused password puts the cursor back ($X,$Y)" [ "$X,$Y" = "500,400" ]
  stop_everything

  KIVO_TEST_VERIFY=accept
  dir=$(saver_dir accept verifier/PASSWORD.CPL)
  start_full_screen "$dir"
  xdotool key a
  check "an accepting PASSWORD.CPL lets the saver end with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything

  dir=$(saver_dir nocpl)
  start_full_screen "$dir"
  xdotool key a
  local box; box=$(wait_window_titled "設定値取得エラー" 20)
  check "without PASSWORD.CPL the message box '設定値取得エラー' appears" [ -n "$box" ]
  check "and the saver keeps running" [ "$(exit_code "$dir" 1)" = running ]
  [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && import -window root "$KIVO_KEEP_SCREENSHOTS/password-message.png"
  stop_everything

  # The flag stored as text, the way current Windows stores desktop values.
  reg add "$DESKTOP" /v ScreenSaveUsePassword /t REG_SZ /d 0 /f
  dir=$(saver_dir text_off)
  start_full_screen "$dir"
  xdotool key a
  check "ScreenSaveUsePassword REG_SZ \"0\": a key ends /s with 0, no password asked" \
    [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything
  reg add "$DESKTOP" /v ScreenSaveUsePassword /t REG_SZ /d 1 /f
  rm -f "$KIVO_TEST_LOG"
  KIVO_TEST_VERIFY=refuse
  dir=$(saver_dir text_on verifier/PASSWORD.CPL)
  start_full_screen "$dir"
  xdotool key a; sleep 2
  check "ScreenSaveUsePassword REG_SZ \"1\": PASSWORD.CPL is asked" grep -q '^verify [1-9]' "$KIVO_TEST_LOG"
  check "and its refusal keeps the saver running" [ "$(exit_code "$dir" 1)" = running ]
  stop_everything
  unset KIVO_TEST_VERIFY KIVO_TEST_LOG
  reg delete "$DESKTOP" /v ScreenSaveUsePassword /f
}

scenario_change_password() {
  echo "-- /a: the password change hand-over"
  export KIVO_TEST_LOG=$work/change.log
  rm -f "$KIVO_TEST_LOG"
  local dir; dir=$(saver_dir change changer/MPR.DLL)
  start_saver "$dir" /a 4660
  check "/a with MPR.DLL exits 0" [ "$(exit_code "$dir" 20)" = 0 ]
  check "MPR.DLL received SCRSAVE and the host handle ($(cat "$KIVO_TEST_LOG" 2>/dev/null))" \
    line_in_file 'change SCRSAVE 4660' "$KIVO_TEST_LOG"
  # A host may print a 32-bit handle unsigned or signed: both name the same one.
  local printed
  for printed in 4294967295 -1; do
    rm -f "$KIVO_TEST_LOG"
    start_saver "$dir" /a "$printed"
    check "/a $printed exits 0" [ "$(exit_code "$dir" 20)" = 0 ]
    check "/a $printed hands MPR.DLL the handle 0xFFFFFFFF ($(cat "$KIVO_TEST_LOG" 2>/dev/null | tr -d '\r'))" \
      line_in_file 'change SCRSAVE 4294967295' "$KIVO_TEST_LOG"
  done
  rm -f "$KIVO_TEST_LOG"
  dir=$(saver_dir change_noentry changer_without_entry/MPR.DLL)
  start_saver "$dir" /a 4660
  check "/a with an MPR.DLL lacking PwdChangePasswordA exits 0" [ "$(exit_code "$dir" 20)" = 0 ]
  check "and shows nothing" no_window_titled KIVO
  stop_everything
  unset KIVO_TEST_LOG
}

scenario_bad_values() {
  echo "-- stored COUNT of the wrong type, size or range"
  local stored
  for stored in "REG_SZ abc" "REG_BINARY 0102" "REG_QWORD 0x2710" "REG_DWORD 0xffffffff" "REG_DWORD 99999" \
              "REG_BINARY 0000000000000000"; do
    reset_settings
    # shellcheck disable=SC2086
    reg add "$KEY" /v COUNT /t ${stored% *} /d ${stored#* } /f
    local dir; dir=$(saver_dir bad)
    start_full_screen "$dir" 1.5
    local p=$SAVER_PROBE
    check "COUNT $stored: the saver runs" runs_with_window "$p" "$dir"
    xdotool key a
    check "COUNT $stored: and ends with 0" [ "$(exit_code "$dir" 20)" = 0 ]
    stop_everything
  done
}

scenario_bad_hosts() {
  echo "-- preview handles that are no use, a password library without its entry point"
  reset_settings
  local dir; dir=$(saver_dir badhandle)
  start_saver "$dir" /p 12345
  local box; box=$(wait_window_titled "初期化エラー" 20)
  check "/p with a handle that is no window: the message box '初期化エラー' appears" [ -n "$box" ]
  if [ -n "$box" ]; then
    point_at_window "$box"; sleep 0.3; xdotool key Return
  fi
  check "and the program then exits 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything

  dir=$(saver_dir zeropane)
  start_pane 0 0 "$dir" zero
  wait_for_line "$work/zero.log" '^child' 30
  check "a zero-size pane gets a zero-size saver window ($(grep '^child' "$work/zero.log"))" \
    line_in_file 'child KIVO.gwp 100 100 0 0 visible=1' "$work/zero.log"
  check "a zero-size pane: the preview runs without a picture" not_in_file ended "$work/zero.log"
  end_pane zero
  check "and ends with 0 when the pane goes ($(tail -n 1 "$work/zero.log" 2>/dev/null))" \
    grep -q 'saver ended with 0' "$work/zero.log"
  stop_everything

  reg add "$DESKTOP" /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
  dir=$(saver_dir noentry verifier_without_entry/PASSWORD.CPL)
  start_full_screen "$dir"
  xdotool key a
  box=$(wait_window_titled "設定値取得エラー" 20)
  check "a PASSWORD.CPL without VerifyScreenSavePwd: the message box appears" [ -n "$box" ]
  check "and the saver keeps running" [ "$(exit_code "$dir" 1)" = running ]
  stop_everything
  reg delete "$DESKTOP" /v ScreenSaveUsePassword /f
}

# Opens the settings dialog from DIR, surveys its controls into SURVEY and
# closes it with Escape.
survey_dialog() {
  start_saver "$1" /c
  local dialog; dialog=$(wait_window_titled "$CAPTION" 30)
  sleep 1
  SURVEY=$("$WINE" "$testhost" dialog 2>/dev/null | tr -d '\r')
  [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && import -window root "$KIVO_KEEP_SCREENSHOTS/dialog-$2.png"
  [ -n "$dialog" ] && { point_at_window "$dialog"; xdotool key Escape; }
  check "the dialog at $2 closes with Escape and exit code 0" [ "$(exit_code "$1" 20)" = 0 ]
  stop_everything
}
dialog_width() { echo "$1" | sed -n 's/^dialog client \([0-9]*\) .*/\1/p'; }

scenario_high_dpi() {
  echo "-- 150 % (144 dpi): full screen in physical pixels, every dialog control shown"
  reset_settings
  local dir; dir=$(saver_dir dpi)
  survey_dialog "$dir" 96dpi
  local normal=$SURVEY

  reg add "$DESKTOP" /v LogPixels /t REG_DWORD /d 144 /f
  reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d 144 /f
  stop_everything  # the new DPI takes effect with the next session
  # Many flakes and a few seconds, so that near flakes reach the bottom half.
  reg add "$KEY" /v COUNT /t REG_DWORD /d 30000 /f
  start_full_screen "$dir" 5
  check "/s at 144 dpi covers the whole 1024x768 screen ($SAVER_PROBE)" \
    starts_with "$SAVER_PROBE" 'window 0 0 1024 768 topmost=1 popup=1 visible=1 screen=1024x768'
  local quadrant lit
  for quadrant in "0 0" "512 0" "0 384" "512 384"; do
    # shellcheck disable=SC2086
    lit=$(bright_pixels $quadrant 512 384)
    check "/s at 144 dpi: snow in the quadrant at ${quadrant/ /,} ($lit bright pixels)" [ "${lit:-0}" -gt 20 ]
  done
  # 682 x 512 is the screen in logical pixels at 150 %: a frame of that size
  # would leave this corner black.
  lit=$(bright_pixels 700 520 324 248)
  check "/s at 144 dpi: snow beyond 682,512, so the frame is physical ($lit bright pixels)" [ "${lit:-0}" -gt 10 ]
  [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && import -window root "$KIVO_KEEP_SCREENSHOTS/saver-144dpi.png"
  xdotool key a
  check "and a key ends it with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything

  survey_dialog "$dir" 144dpi
  echo "$SURVEY" | sed 's/^/   /'
  check "at 144 dpi all six controls are visible inside the dialog ($(echo "$SURVEY" | tail -n 1))" \
    [ "$(echo "$SURVEY" | tail -n 1)" = "controls 6 shown 6" ]
  local small big
  small=$(dialog_width "$normal") big=$(dialog_width "$SURVEY")
  check "the dialog grows with the DPI ($small px at 96 dpi, $big px at 144 dpi)" \
    [ $((${big:-0} * 10)) -ge $((${small:-1} * 13)) ]
  reg delete "$DESKTOP" /v LogPixels /f
  reg delete 'HKCC\Software\Fonts' /v LogPixels /f
  stop_everything
}

monitor_windows() { "$WINE" "$testhost" monitors 2>/dev/null | tr -d '\r'; }
# Snow on each monitor and a moving picture on both; $1 names the case.
snow_on_both_monitors() {
  local first second
  import -window root "$work/a.png"
  first=$(bright_pixels 0 0 1024 768) second=$(bright_pixels 1024 0 800 600)
  check "$1: snow on the first monitor ($first bright pixels)" [ "${first:-0}" -gt 200 ]
  check "$1: snow on the second monitor ($second bright pixels)" [ "${second:-0}" -gt 200 ]
  sleep 0.5
  import -window root "$work/b.png"
  check "$1: the picture moves on the first monitor" picture_moves "$work/a.png" "$work/b.png" 1024 768 0 0
  check "$1: the picture moves on the second monitor" picture_moves "$work/a.png" "$work/b.png" 800 600 1024 0
}

scenario_monitors() {
  echo "-- two monitors: a window and a scene on each"
  reset_settings
  local dir; dir=$(saver_dir monitors)
  start_full_screen "$dir" 2
  check "the saver window covers the primary monitor as ever ($SAVER_PROBE)" \
    starts_with "$SAVER_PROBE" 'window 0 0 1024 768 topmost=1 popup=1 visible=1'
  check "a top-most window covers the second monitor ($(monitor_windows))" \
    [ "$(monitor_windows)" = "monitor 1024 0 800 600 topmost=1 visible=1" ]
  snow_on_both_monitors "/s"
  [ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && import -window root "$KIVO_KEEP_SCREENSHOTS/two-monitors.png"
  xdotool mousemove 1400 300; sleep 0.3
  xdotool key a
  check "a key with the pointer on the second monitor ends /s with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  check "and closes every window" [ "$(monitor_windows)" = none ]
  stop_everything

  start_full_screen "$dir"
  slide_right 500 400 8 0.5
  check "horizontal moves leave /s running" [ "$(exit_code "$dir" 1)" = running ]
  xdotool mousemove 1400 300
  check "a move onto the second monitor ends /s with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything

  reg add "$DESKTOP" /v ScreenSaveUsePassword /t REG_DWORD /d 1 /f
  export KIVO_TEST_LOG=$work/monitors.log KIVO_TEST_VERIFY=refuse
  dir=$(saver_dir monitors_refuse verifier/PASSWORD.CPL)
  start_full_screen "$dir"
  xdotool mousemove 1400 300; sleep 0.3
  xdotool key a; sleep 2
  check "a key on the second monitor asks PASSWORD.CPL" grep -q '^verify [1-9]' "$KIVO_TEST_LOG"
  check "a refused password keeps the saver running" [ "$(exit_code "$dir" 1)" = running ]
  check "with its window on the second monitor" [ "$(monitor_windows)" = "monitor 1024 0 800 600 topmost=1 visible=1" ]
  snow_on_both_monitors "after a refused password"
  stop_everything
  unset KIVO_TEST_LOG KIVO_TEST_VERIFY
  reg delete "$DESKTOP" /v ScreenSaveUsePassword /f

  # A monitor that goes away and comes back while the saver runs.
  dir=$(saver_dir monitors_change)
  start_full_screen "$dir"
  xrandr --output DUMMY1 --off; sleep 3
  check "a monitor switched off leaves /s running" [ "$(exit_code "$dir" 1)" = running ]
  check "without a window for it ($(monitor_windows))" [ "$(monitor_windows)" = none ]
  xrandr --output DUMMY1 --auto --right-of DUMMY0; sleep 3
  check "when it comes back it gets a window again ($(monitor_windows))" \
    [ "$(monitor_windows)" = "monitor 1024 0 800 600 topmost=1 visible=1" ]
  snow_on_both_monitors "after the monitor came back"
  xdotool key a
  check "and a key still ends /s with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything

  dir=$(saver_dir monitors_preview)
  start_pane 320 240 "$dir" pane
  wait_for_line "$work/pane.log" '^child' 30
  check "/p still fills only its pane ($(grep '^child' "$work/pane.log"))" \
    line_in_file 'child KIVO.gwp 100 100 320 240 visible=1' "$work/pane.log"
  check "and opens no window on the second monitor" [ "$(monitor_windows)" = none ]
  end_pane pane
  stop_everything
}

# X puts the 800x600 monitor at +0+0 and the primary one at +800+0; the
# saver sees them at -800,0 and 0,0.
scenario_monitor_left() {
  echo "-- a second monitor left of the primary one: negative screen coordinates"
  reset_settings
  local dir; dir=$(saver_dir left)
  xdotool mousemove 1300 400
  start_saver "$dir" /s
  SAVER_PROBE=$(wait_saver_window)
  sleep 2
  check "the saver window covers the primary monitor ($SAVER_PROBE)" \
    starts_with "$SAVER_PROBE" 'window 0 0 1024 768 topmost=1 popup=1 visible=1'
  check "a top-most window covers the monitor on the left ($(monitor_windows))" \
    [ "$(monitor_windows)" = "monitor -800 0 800 600 topmost=1 visible=1" ]
  local primary left
  primary=$(bright_pixels 800 0 1024 768) left=$(bright_pixels 0 0 800 600)
  check "snow on the primary monitor ($primary bright pixels)" [ "${primary:-0}" -gt 200 ]
  check "snow on the monitor on the left ($left bright pixels)" [ "${left:-0}" -gt 200 ]
  slide_right 1300 400 8 0.5
  check "horizontal moves leave /s running" [ "$(exit_code "$dir" 1)" = running ]
  xdotool mousemove 300 300
  check "a move onto the monitor on the left ends /s with 0" [ "$(exit_code "$dir" 20)" = 0 ]
  stop_everything
}

scenarios=${*:-run mouse preview configure password change_password bad_values bad_hosts high_dpi}
for s in $scenarios; do "scenario_$s"; done
finish
