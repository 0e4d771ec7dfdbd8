#!/usr/bin/env bash
# kivo, the X11 host, end to end on a private Xvfb display (24-bit):
#   x11_test.sh KIVO TEST_WINDOW KIVO_RENDER
set -u
kivo=$1
test_window=$2
render=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/x_display.sh"
. "$here/test_lib.sh"
. "$here/kivo_run.sh"
start_xvfb || exit 1

open_test_window() {  # W H: sets WINDOW_ID and WINDOW_PID
  rm -f "$work/window.id"
  "$test_window" "$1" "$2" >"$work/window.id" &
  WINDOW_PID=$!
  local end=$((SECONDS + 10))
  while [ $SECONDS -lt "$end" ] && [ ! -s "$work/window.id" ]; do sleep 0.05; done
  WINDOW_ID=$(cat "$work/window.id")
}
identical_pixels() {  # XWD BMP: differing pixel count is 0
  local diff
  diff=$(compare -metric AE "$1" "$2" null: 2>&1)
  [ "$diff" = 0 ]
}

echo "-- its own window"
xdotool mousemove 400 300
start_kivo own --seed 3 -geometry 640x480
sleep 2
lit=$(bright_pixels 0 0 640 480)
check "the window shows snow ($lit bright pixels)" [ "${lit:-0}" -gt 300 ]
check "on a black background ($lit bright pixels)" [ "${lit:-0}" -lt 100000 ]
for i in $(seq 1 10); do xdotool mousemove $((400 + 10 * i)) 300; sleep 0.05; done
sleep 0.5
check "100 px purely horizontal movement does not end it" [ "$(exit_code own 1)" = running ]
xdotool mousemove 404 304
check "then 4 px right and 4 px down ends it with 0" [ "$(exit_code own 10)" = 0 ]

xdotool mousemove 300 300
start_kivo key --seed 3
sleep 1.5
xdotool key space
check "a key press ends it with 0" [ "$(exit_code key 10)" = 0 ]

start_kivo term --seed 3
sleep 1.5
kill -TERM "$(kivo_pid)"
check "SIGTERM ends it with 0" [ "$(exit_code term 10)" = 0 ]

echo "-- a window it is given"
open_test_window 320 240
id=$WINDOW_ID
check "the test window exists ($id)" [ -n "$id" ]
start_kivo given -window-id "$id" --seed 5 --count 8000
sleep 2
lit=$(bright_pixels 100 100 320 240)
check "snow appears inside the given window ($lit bright pixels)" [ "${lit:-0}" -gt 100 ]
outside=$(bright_pixels 500 400 400 300)
check "and nowhere else ($outside bright pixels)" [ "${outside:-1}" = 0 ]
xdotool mousemove 200 200
xdotool key space; xdotool click 1
for i in $(seq 1 10); do xdotool mousemove $((200 + 7 * i)) $((200 + 5 * i)); sleep 0.05; done
check "keys, clicks and movement do not end it" [ "$(exit_code given 1)" = running ]
xdotool windowsize "$id" 600 400
sleep 1.5
lit=$(bright_pixels 420 100 280 400)
check "it follows the window to 600x400 ($lit bright pixels in the new part)" [ "${lit:-0}" -gt 50 ]
kill -TERM "$WINDOW_PID"
check "it ends with 0 when the window goes away" [ "$(exit_code given 10)" = 0 ]

open_test_window 320 240
id=$WINDOW_ID
XSCREENSAVER_WINDOW=$id start_kivo env -window --seed 5
sleep 1.5
lit=$(bright_pixels 100 100 320 240)
check "XSCREENSAVER_WINDOW wins over -window ($lit bright pixels in the host window)" [ "${lit:-0}" -gt 100 ]
kill -INT "$(kivo_pid)"
check "SIGINT ends it with 0" [ "$(exit_code env 10)" = 0 ]
kill -TERM "$WINDOW_PID"

echo "-- the same picture as kivo-render"
for c in "7 5000 50 320 240" "11 30000 120 333 201"; do
  read -r seed count frames w h <<<"$c"
  open_test_window "$w" "$h"
  id=$WINDOW_ID
  start_kivo same -window-id "$id" --seed "$seed" --count "$count" --frames "$frames"
  if wait_for_line "$work/same.out" "stopped after $frames frames" 30; then
    xwd -silent -id "$id" -out "$work/shown.xwd"
    "$render" --seed "$seed" --count "$count" --frames "$frames" --width "$w" --height "$h" --out "$work/rendered.bmp"
    check "after $frames ticks the window shows exactly kivo-render's frame (seed $seed, ${w}x$h)" \
      identical_pixels "$work/shown.xwd" "$work/rendered.bmp"
  else
    check "kivo stops after --frames $frames" false
  fi
  kill -TERM "$(kivo_pid)"
  check "and then exits 0 when told" [ "$(exit_code same 10)" = 0 ]
  kill -TERM "$WINDOW_PID"
done

echo "-- bad input"
refused() { [ "$1" = 2 ] && [ -n "$2" ]; }
expect_refusal() {
  local what=$1; shift
  local out rc
  out=$("$@" 2>&1 >/dev/null); rc=$?
  check "$what: exit 2 with a message ($(head -n 1 <<<"$out"))" refused "$rc" "$out"
}
expect_refusal "no display" env -u DISPLAY "$kivo"
expect_refusal "a display that is not there" env DISPLAY=:987 "$kivo"
expect_refusal "an unknown option" "$kivo" -bogus
expect_refusal "a window id that is not a number" "$kivo" -window-id xyz
expect_refusal "a window that does not exist" "$kivo" -window-id 0x7ffffe
expect_refusal "a bad XSCREENSAVER_WINDOW" env XSCREENSAVER_WINDOW=nope "$kivo"
expect_refusal "a bad geometry" "$kivo" -geometry 0x10
out=$("$kivo" --count 99999 --frames 1 -window-id 0x7ffffe 2>&1)
check "a count outside 2000..30000 is clamped with a warning" grep -q "clamped to 30000" <<<"$out"

finish
