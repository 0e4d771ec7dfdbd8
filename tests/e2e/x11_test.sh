#!/usr/bin/env bash
# kivo, the X11 host, end to end:
#   x11_test.sh KIVO TEST_WINDOW KIVO_RENDER          on Xvfb (24-bit)
#   x11_test.sh KIVO TEST_WINDOW KIVO_RENDER monitors on two monitors side by side
set -u
kivo=$1 test_window=$2 render=$3
. "$(dirname "$0")/lib.sh"

open_test_window() {  # W H: sets WINDOW_ID (the window is at 100,100)
  start window "$test_window" "$1" "$2"
  wait_for_line "$work/window.out" '^[0-9]' 10
  WINDOW_ID=$(head -n 1 "$work/window.out")
}
close_test_window() { signal window TERM; }
start_kivo() { start "$1" "$kivo" "${@:2}"; }
# kivo's own window (or windows) is on the screen: it takes input from then on.
kivo_shown() { [ -n "$(xdotool search --onlyvisible --name '^KIVO$' 2>/dev/null)" ]; }
start_kivo_shown() { start_kivo "$@"; wait_until 10 kivo_shown; }
not_running() { ! running "$1"; }
same_pixels() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }  # XWD BMP
lit_within() {  # SECONDS WHAT MIN X Y W H: more than MIN bright pixels there within SECONDS
  wait_until "$1" lit_over "${@:3}"
  check "$2: $LIT bright pixels" [ "${LIT:-0}" -gt "$3" ]
}

one_monitor() {
  start_xvfb || exit 1
  echo "-- its own window"
  xdotool mousemove 400 300
  start_kivo own --seed 3 -geometry 640x480
  snowing_within 10 "its own window" 300 "0 0 640 480 the window"
  lit_over 0 0 0 640 480
  check "on a black background ($LIT bright pixels)" [ "${LIT:-0}" -lt 100000 ]
  slide_right 400 300 10 0.5
  check "100 px purely horizontal movement does not end it" running own
  xdotool mousemove 404 304
  check "then 4 px right and 4 px down ends it with 0" ends_with own 0 10
  local row
  for row in "key space:0" "click 1:0" "click 3:0" "click 2:running"; do
    expect_after "${row%:*}" input kivo_shown "xdotool ${row%:*}" "${row#*:}" "$kivo" --seed 3
  done
  signal input TERM
  check "SIGTERM ends it with 0" ends_with input 0 10

  echo "-- no work while it cannot be seen"
  start_kivo_shown hidden --seed 3 -geometry 320x240
  local window; window=$(xdotool search --name '^KIVO$' | head -n 1)
  xdotool windowunmap --sync "$window"
  check "unmapped: no measurable CPU over 5 s" quiet_for_5s hidden
  xdotool windowmap --sync "$window"
  snowing_within 5 "mapped again" 50 "0 0 320 240 the window"
  open_test_window 400 300
  xdotool windowmove --sync "$WINDOW_ID" 0 0
  check "covered whole by another window: no measurable CPU over 5 s" quiet_for_5s hidden
  close_test_window
  snowing_within 5 "uncovered" 50 "0 0 320 240 the window"
  signal hidden TERM
  check "and SIGTERM still ends it with 0" ends_with hidden 0 10

  echo "-- a window it is given"
  open_test_window 320 240
  start_kivo given -window-id "$WINDOW_ID" --seed 5 --count 8000
  snowing_within 10 "the given window" 100 "100 100 320 240 the window"
  dark "and nowhere else" 500 400 400 300
  xdotool mousemove 200 200 key space click 1
  slide_right 200 200 10 0.3
  xdotool mousemove 300 300
  check "keys, clicks and movement do not end it" running given
  xdotool windowsize "$WINDOW_ID" 600 400
  lit_within 5 "it follows the window to 600x400 (in the new part)" 50 420 100 280 400
  close_test_window
  check "it ends with 0 when the window goes away" ends_with given 0 10

  open_test_window 320 240
  XSCREENSAVER_WINDOW=$WINDOW_ID start_kivo env -window --seed 5
  lit_within 10 "XSCREENSAVER_WINDOW wins over -window (in the host window)" 100 100 100 320 240
  signal env INT
  check "SIGINT ends it with 0" ends_with env 0 10
  close_test_window

  echo "-- the same picture as kivo-render"
  local c seed count frames w h hidden
  for c in "7 5000 50 320 240" "11 30000 120 333 201 , hidden a while"; do
    read -r seed count frames w h hidden <<<"$c"
    open_test_window "$w" "$h"
    start_kivo same -window-id "$WINDOW_ID" --seed "$seed" --count "$count" --frames "$frames"
    # Hidden between its first frames and its last, for more than a few beats: the same frames, later.
    [ -z "$hidden" ] || { sleep 1; xdotool windowunmap --sync "$WINDOW_ID"; sleep 1.5; xdotool windowmap --sync "$WINDOW_ID"; }
    wait_for_line "$work/same.out" "stopped after $frames frames" 30
    xwd -silent -id "$WINDOW_ID" -out "$work/shown.xwd"
    "$render" --seed "$seed" --count "$count" --frames "$frames" --width "$w" --height "$h" --out "$work/rendered.bmp"
    check "after $frames ticks the window shows exactly kivo-render's frame (seed $seed, ${w}x$h$hidden)" \
      same_pixels "$work/shown.xwd" "$work/rendered.bmp"
    signal same TERM
    check "and it then exits 0 when told" ends_with same 0 10
    close_test_window
  done

  echo "-- bad input"
  expect_refusal "no display" env -u DISPLAY "$kivo"
  expect_refusal "a display that is not there" env DISPLAY=:987 "$kivo"
  expect_refusal "a window that does not exist" "$kivo" -window-id 0x7ffffe
  expect_refusal "a bad XSCREENSAVER_WINDOW" env XSCREENSAVER_WINDOW=nope "$kivo"
  check "a count outside 2000..30000 is clamped with a warning" \
    grep -q "clamped to 30000" <<<"$("$kivo" --count 99999 --frames 1 -window-id 0x7ffffe 2>&1)"
  local usage rc
  usage=$("$kivo" --help); rc=$?
  check "--help exits 0 with the usage" [ "$rc" = 0 -a "${usage#usage: kivo }" != "$usage" ]
}

# Xorg's dummy driver: 1024x768 at +0+0 (primary) and 800x600 at +1024+0.
two_monitors() {
  start_two_monitors || exit 1
  local both=("0 0 1024 768 the first monitor" "1024 0 800 600 the second monitor") mode
  for mode in fullscreen root; do
    echo "-- -$mode covers both monitors"
    xdotool mousemove 500 400
    start_kivo "$mode" "-$mode" --count 20000
    snowing_within 10 "-$mode" 300 "${both[@]}"
    dark "-$mode: nothing drawn where no monitor is" 1024 600 800 168
    [ $mode = root ] && break
    xdotool mousemove --sync 1400 300
    xdotool key a
    check "-fullscreen: a key with the pointer on the second monitor ends it with 0" ends_with fullscreen 0 10
  done
  xrandr --output DUMMY1 --off
  check "-root: a monitor switched off leaves it running" not wait_until 1 not_running root
  xrandr --output DUMMY1 --auto --right-of DUMMY0
  snowing_within 10 "-root after the second monitor came back" 300 "${both[@]}"
  signal root TERM
  check "-root: SIGTERM ends it with 0" ends_with root 0 10

  xdotool mousemove 500 400
  expect_after "-fullscreen: horizontal moves" move kivo_shown "slide_right 500 400 8 0.5" running "$kivo" -fullscreen
  xdotool mousemove 1400 300
  check "-fullscreen: a move onto the second monitor ends it with 0" ends_with move 0 10
}

if [ "${4:-}" = monitors ]; then two_monitors; else one_monitor; fi
finish
