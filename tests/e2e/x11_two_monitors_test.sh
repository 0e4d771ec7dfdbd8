#!/usr/bin/env bash
# kivo on two monitors side by side (Xorg's dummy driver: 1024x768 at +0+0,
# the primary one, and 800x600 at +1024+0): -fullscreen and -root give each
# monitor its own snow, input on the second monitor ends the saver, and the
# scenes follow a monitor that goes away and comes back.
#   x11_two_monitors_test.sh KIVO
set -u
kivo=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/x_display.sh"
. "$here/test_lib.sh"
. "$here/kivo_run.sh"
start_two_monitors || exit 1
# Snow on each monitor on its own, the space beside the smaller one black,
# and the picture moving on both. $1 names the mode.
check_both_monitors() {
  local first second gap
  import -window root "$work/a.png"
  first=$(bright_pixels 0 0 1024 768) second=$(bright_pixels 1024 0 800 600) gap=$(bright_pixels 1024 600 800 168)
  check "$1: snow on the first monitor ($first bright pixels)" [ "${first:-0}" -gt 300 ]
  check "$1: snow on the second monitor ($second bright pixels)" [ "${second:-0}" -gt 300 ]
  check "$1: nothing drawn where no monitor is ($gap bright pixels)" [ "${gap:-1}" = 0 ]
  sleep 0.5
  import -window root "$work/b.png"
  check "$1: the picture moves on the first monitor" picture_moves "$work/a.png" "$work/b.png" 1024 768 0 0
  check "$1: the picture moves on the second monitor" picture_moves "$work/a.png" "$work/b.png" 800 600 1024 0
}

echo "-- -fullscreen covers both monitors"
xdotool mousemove 500 400
start_kivo full -fullscreen --count 20000
sleep 2
check_both_monitors -fullscreen
xdotool mousemove 1400 300; sleep 0.3
xdotool key a
check "-fullscreen: a key with the pointer on the second monitor ends it with 0" [ "$(exit_code full 10)" = 0 ]

xdotool mousemove 500 400
start_kivo move -fullscreen
sleep 1.5
for i in $(seq 1 8); do xdotool mousemove $((500 + 10 * i)) 400; sleep 0.05; done
sleep 0.5
check "-fullscreen: horizontal moves do not end it" [ "$(exit_code move 1)" = running ]
xdotool mousemove 1400 300
check "-fullscreen: a move onto the second monitor ends it with 0" [ "$(exit_code move 10)" = 0 ]

echo "-- -root: one scene per monitor rectangle"
start_kivo root -root --count 20000
sleep 2
check_both_monitors -root
xrandr --output DUMMY1 --off; sleep 1
check "-root: a monitor switched off leaves it running" [ "$(exit_code root 1)" = running ]
xrandr --output DUMMY1 --auto --right-of DUMMY0; sleep 2
check_both_monitors "-root after the second monitor came back"
kill -TERM "$(kivo_pid)"
check "-root: SIGTERM ends it with 0" [ "$(exit_code root 10)" = 0 ]
finish
