#!/usr/bin/env bash
# kivo on Wayland, end to end, inside the Debian 13 root (a current Sway,
# which stops asking for frames while an output is off), as an ordinary user
# (compositors refuse to run as root):
#   wayland_test.sh KIVO TEST_CLIENT PAM_FILE sway    headless Sway, two outputs side by side
#   wayland_test.sh KIVO TEST_CLIENT PAM_FILE lock    the same Sway, locked by kivo -lock
#   wayland_test.sh KIVO TEST_CLIENT PAM_FILE weston  headless Weston: no layer shell
set -u
kivo=$1 client=$2 pam=$3 group=$4
. "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] || { echo "FAIL: the Wayland test makes a test user: it needs root"; exit 1; }
user=kivo-test
id "$user" >/dev/null 2>&1 || useradd -m "$user"
chmod 755 "$work"
runtime=$work/runtime
shots=$work/shots
mkdir -p -m 700 "$runtime" && mkdir -p "$shots" && chown "$user" "$runtime" "$shots"
as_user() { setpriv --reuid "$user" --regid "$user" --init-groups env HOME="$(getent passwd "$user" | cut -d: -f6)" \
  XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="${WAYLAND_DISPLAY_FOR_KIVO:-$socket}" "$@"; }
start_kivo() { local name=$1; shift; start "$name" as_user "$kivo" "$@"; }
kivo_pid() { pgrep -P "$(cat "$work/$1.pid")" -x kivo; }
# A virtual keyboard made for the keys loses the first ones unless it exists
# for a while first (-s 300): nothing tells when kivo has seen it.
key() { as_user wtype -s 300 "$@"; }
# The kivo that -daemonize left running, not its password checker (kivo-pam)
# (a zombie counts as ended: its parent is gone, and who reaps it then is no
# business of kivo's). Other groups may run kivo as the same user meanwhile,
# never with -daemonize.
daemonized_kivo() { ps -u "$user" -o pid=,stat=,comm=,args= | awk '$2 !~ /^Z/ && $3 == "kivo" && /kivo -lock -daemonize/ {print $1}'; }
daemonized_kivo_ended() {
  wait_until 10 none_left daemonized_kivo && return 0
  ps -u "$user" -o pid,stat,etime,args
  return 1
}
ended() { [ -s "$work/$1.exit" ]; }  # NAME: the program started as NAME has ended
none_left() { [ -z "$("$@")" ]; }  # COMMAND...: it prints nothing
lines_at_least() { [ "$(grep -c -e "$2" "$3")" -ge "$1" ]; }  # COUNT TEXT FILE
# Whether the kivo started as NAME sleeps until an event, with no timeout: in
# a ppoll whose timeout is NULL (or a poll of -1), as when nothing can be seen.
sleeps_until_event() {  # NAME
  local pid call
  pid=$(kivo_pid "$1") || return 1
  read -r -a call <"/proc/$pid/syscall" || return 1
  [ "${call[0]}" = 271 -a "${call[3]:-}" = 0x0 ] || [ "${call[0]}" = 7 -a "$((${call[3]:-0}))" = -1 ] ||
    [ "${call[0]}" = 7 -a "${call[3]:-}" = 0xffffffff ]
}
socket_in_runtime() {  # PATTERN: sets socket to the compositor's socket in the runtime folder
  local found
  found=$(cd "$runtime" && ls $1 2>/dev/null | grep -v lock | head -n 1)
  [ -n "$found" ] && [ -S "$runtime/$found" ] && socket=$found
}
wait_socket() { wait_until 10 socket_in_runtime "$1"; }  # PATTERN
socket=none

# A headless Sway: 1024x768 at 0,0 and 800x600 at 1024,0, and a blue desktop:
# whatever of it shows was not covered.
start_sway() {
  printf '%s\n' 'output HEADLESS-1 mode --custom 1024x768 position 0 0' \
    'output HEADLESS-2 mode --custom 800x600 position 1024 0' 'output * bg #2040c0 solid_color' \
    'xwayland disable' 'default_border none' >"$work/sway.cfg"
  chmod 644 "$work/sway.cfg"
  start sway as_user env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=2 \
    sway -c "$work/sway.cfg"
  wait_socket 'wayland-*' && wait_until 10 desktop_everywhere ||
    { echo "FAIL: sway did not start"; cat "$work/sway.out"; exit 1; }
}
swaymsg() { swaymsg_out -- "$@" >/dev/null; }
swaymsg_out() { as_user swaymsg -s "$(ls "$runtime"/sway-ipc.*.sock)" "$@"; }
grab() { as_user grim "$@"; }  # [-o OUTPUT] FILE
grab_copy() { grab "$shots/grab.png" && cp "$shots/grab.png" "$1"; }  # FILE: a screenshot where only root may write
pointer() { as_user "$client" pointer 1824 768 "$@"; }
colour_pixels() {  # COLOUR X Y W H FILE: pixels of that colour
  convert "$6" -crop "${4}x${5}+${2}+${3}" +repage -fuzz 4% -fill black +opaque "$1" -fill white \
    -opaque "$1" -alpha off -colorspace Gray -format '%[fx:round(mean*w*h)]' info:
}
desktop_pixels() { colour_pixels '#2040c0' "$@"; }  # X Y W H FILE
# Sway's blue desktop on both outputs (1024x768 + 800x600 pixels): it is up.
desktop_everywhere() {
  grab_copy "$work/up.png" && [ "$(desktop_pixels 0 0 1024 768 "$work/up.png")" = 786432 ] &&
    [ "$(desktop_pixels 1024 0 800 600 "$work/up.png")" = 480000 ]
}
no_desktop() { [ "$(desktop_pixels 0 0 1824 768 "$1")" = 0 ]; }  # FILE
# Snow on both outputs, moving, and nothing of the desktop (within SECONDS,
# 10 by default).
snow_on() {  # WHAT [SECONDS]
  READY=no_desktop SHOOT=grab_copy snowing_within "${2:-10}" "$1" 200 "0 0 1024 768 HEADLESS-1" "1024 0 800 600 HEADLESS-2"
  check "$1: nothing but snow" no_desktop "$work/a.png"
}
# Snow on both outputs: what start_kivo started has its surfaces up.
snow_shown() { SHOOT=grab_copy snow_in_shot "$work/up.png" 200 "0 0 1024 768 HEADLESS-1" "1024 0 800 600 HEADLESS-2"; }

# -fps of -fullscreen with HEADLESS-1 at MODE: after the first second, one
# tick every 30 ms (33.3 a second, plus or minus 1) whatever the refresh
# rate; HEADLESS-2's frames arrive meanwhile at its own 60 Hz.
fps_case() {  # WHAT MODE
  local lines
  swaymsg output HEADLESS-1 mode --custom "$2"
  check "-fps at $1: HEADLESS-1 runs at $1" wait_until 5 refresh_is "$1"
  start_kivo fps -fullscreen -fps --count 5000
  wait_until 10 lines_at_least 5 ' fps, ' "$work/fps.out"
  lines=$(grep ' fps, ' "$work/fps.out" | sed -n 2,5p)
  # A loaded machine may drop a tick now and then (kivo keeps the period
  # rather than catching up), never add one: no line above 34.3, and 33.3
  # plus or minus 1 on average.
  check "-fps at $1: 4 lines after the first second, none above 34.3, 33.3 +- 1 on average ($(awk '{printf "%s ", $2}' <<<"$lines"))" \
    awk 'NF { n++; sum += $2; if ($2 > 34.3) bad = 1 } END { exit bad || n != 4 || sum / n < 32.3 || sum / n > 34.3 }' <<<"$lines"
  # Frames are drawn straight into a free buffer, so there is mostly
  # nothing to convert; handing the buffer over is always timed.
  check "-fps at $1: the time handing buffers over is measured ($(sed -n 's/.*copy \([0-9.]*\) ms.*/\1/p' <<<"$lines" | tr '\n' ' ')ms)" \
    awk -F'copy ' 'NF > 1 { n++; if ($2 + 0 <= 0) bad = 1 } END { exit bad || n != 4 }' <<<"$lines"
  signal fps TERM
  check "-fps at $1: SIGTERM ends it with 0" ends_with fps 0 10
}

# SIGTERM while every output is powered off, once kivo sleeps until an event:
# it ends with 0 within a second.
powered_off_case() {  # MODE
  local t0
  start_kivo off "$1" --count 5000
  wait_until 10 snow_shown
  swaymsg output '*' power off
  check "$1, every output powered off: kivo sleeps until an event" wait_until 5 sleeps_until_event off
  t0=$(now_us)
  signal off TERM
  wait_until 1 ended off
  check "$1, every output powered off: SIGTERM ends it with 0 within a second ($((($(now_us) - t0) / 1000)) ms)" \
    [ "$(cat "$work/off.exit" 2>/dev/null)" = 0 ]
  swaymsg output '*' power on
  ends_with off 0 10 >/dev/null  # in any case gone before the next case
}

sway_group() {
  start_sway
  echo "-- -fullscreen: every output, input ends it"
  start_kivo full -fullscreen --count 20000
  snow_on -fullscreen
  check "-fullscreen: still running" running full
  key a
  check "-fullscreen: a key ends it with 0" ends_with full 0 10
  # Pointer steps from 500,400 that must leave -fullscreen running, then
  # steps that must end it with 0. Nothing shows that kivo has taken the
  # first steps, so "still running" is looked at for up to a second.
  pointer_case() {  # WHAT STEPS WHAT STEPS
    start_kivo input -fullscreen
    wait_until 10 snow_shown
    pointer move 500 400 wait 100 $2 wait 300
    check "-fullscreen: still running after $1" running input
    pointer $4 wait 300
    check "-fullscreen: $3 ends it with 0" ends_with input 0 10
  }
  local six="move 510 400 wait 100 move 520 400 wait 100 move 530 400 wait 100 move 540 400 wait 100 \
    move 550 400 wait 100 move 560 400 wait 100"
  pointer_case "the middle button" "press middle" "the left button" "press left"
  pointer_case "the middle button" "press middle" "the right button" "press right"
  pointer_case "six moves" "$six" "then 4 px right and 4 px down" "move 504 404"
  pointer_case "horizontal and small moves" "$six move 620 400 wait 100 move 620 402 wait 100 move 500 402" \
    "a move across onto the other output" "move 1400 300"

  echo "-- the beat: 30 ms whatever the refresh rate"
  fps_case "60 Hz" 1024x768@60Hz
  fps_case "144 Hz" 1024x768@144Hz
  swaymsg output HEADLESS-1 mode --custom 1024x768@60Hz

  echo "-- outputs that go, come back, sleep and scale"
  start_kivo outputs -fullscreen --count 20000
  wait_until 10 snow_shown
  swaymsg output HEADLESS-2 disable
  wait_until 5 layout_width 1024
  check "an output disabled leaves it running" running outputs
  swaymsg output HEADLESS-2 enable
  snow_on "after the output came back"
  swaymsg output '*' power off
  wait_until 5 sleeps_until_event outputs
  check "outputs powered off: no measurable CPU over 5 s" quiet_for_5s outputs
  swaymsg output '*' power on
  snow_on "powered on again"
  swaymsg output HEADLESS-1 scale 2
  wait_until 10 scaled_crisp
  check "a 2x output: $(identify -format %wx%h "$shots/scaled.png") physical pixels, crisp, not 2x2 blocks" \
    [ "$(compare -metric AE "$shots/scaled.png" "$shots/blocky.png" null: 2>&1 | cut -d' ' -f1)" -gt 200 ]
  check "and still snowing on it" [ "$(bright_pixels 0 0 1024 768 "$shots/scaled.png")" -gt 100 ]
  swaymsg output HEADLESS-1 scale 1
  key a
  check "and a key still ends it with 0" ends_with outputs 0 10

  echo "-- SIGTERM with every output powered off"
  powered_off_case -fullscreen
  powered_off_case -background

  echo "-- -background and -window"
  start_kivo background -background
  snow_on -background
  key a
  pointer move 100 100 press left move 900 700 wait 300
  check "-background: keys and buttons do not end it" running background
  signal background TERM
  check "-background: SIGTERM ends it with 0" ends_with background 0 10
  start_kivo window -window --count 5000
  # Sway matches the window only once it is mapped: asked until it does.
  wait_until 10 window_drawn
  wait_until 10 swaymsg '[app_id=kivo]' floating enable, resize set width 500 px height 400 px, move absolute position 100 100
  wait_until 10 window_resized
  check "-window: a window titled KIVO" kivo_window
  check "-window: snow in it ($(bright_pixels 100 100 500 400 "$shots/window.png") bright pixels)" \
    [ "$(bright_pixels 100 100 500 400 "$shots/window.png")" -gt 50 ]
  check "-window: resized to 500x400, it covers that and no more" window_resized_in "$shots/window.png"
  swaymsg '[app_id=kivo]' kill
  check "-window: closing it ends it with 0" ends_with window 0 10

  echo "-- failures"
  WAYLAND_DISPLAY_FOR_KIVO=wayland-9 expect_refusal "no compositor" as_user "$kivo"
  perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => $ARGV[0], Listen => 1)' "$runtime/refusing"
  chown "$user" "$runtime/refusing"
  WAYLAND_DISPLAY_FOR_KIVO=refusing expect_refusal "a socket that refuses" as_user "$kivo"
  start_kivo dies -fullscreen
  wait_until 10 snow_shown
  signal sway KILL
  check "a compositor that dies ends it with 1" ends_with dies 1 10
  check "saying so in one line ($(head -n 1 "$work/dies.out"))" [ "$(wc -l <"$work/dies.out")" = 1 ]
}
refresh_is() {  # RATE (e.g. "144 Hz"): HEADLESS-1's refresh rate, in mHz in Sway's answer
  swaymsg_out -r -t get_outputs | tr -d ' \n' | grep -o '"name":"HEADLESS-1".*' |
    grep -o -m 1 '"current_mode":{[^}]*}' | grep -q "\"refresh\":${1%% *}[0-9][0-9][0-9]\b"
}
# Snow in the window's first place: it is mapped and drawn. (Resized at
# once instead, it kept its first size in one run of four.)
window_drawn() { grab "$shots/window.png" && [ "$(bright_pixels 0 0 1024 768 "$shots/window.png")" -gt 50 ]; }
kivo_window() { swaymsg_out -t get_tree | grep -q '"name": "KIVO"'; }  # a window titled KIVO
layout_width() { grab_copy "$work/up.png" && [ "$(identify -format %w "$work/up.png")" = "$1" ]; }  # WIDTH
# HEADLESS-1 at scale 2 in physical pixels, crisp (not 2x2 blocks) and snowing.
scaled_crisp() {
  grab -o HEADLESS-1 "$shots/scaled.png" || return 1
  convert "$shots/scaled.png" -sample 50% -sample 200% "$shots/blocky.png"
  [ "$(compare -metric AE "$shots/scaled.png" "$shots/blocky.png" null: 2>&1 | cut -d' ' -f1)" -gt 200 ] &&
    [ "$(bright_pixels 0 0 1024 768 "$shots/scaled.png")" -gt 100 ]
}
# The KIVO window at 100,100 500x400 with snow in it and the desktop all around.
window_resized() {
  grab "$shots/window.png" && window_resized_in "$shots/window.png" &&
    [ "$(bright_pixels 100 100 500 400 "$shots/window.png")" -gt 50 ]
}
window_resized_in() {  # FILE
  [ "$(desktop_pixels 100 100 500 400 "$1")" = 0 -a "$(desktop_pixels 0 0 1024 768 "$1")" = $((1024 * 768 - 500 * 400)) ]
}

# kivo -lock over a window of another client (magenta), with the test user's
# password checked by PAM through the root's common-auth.
lock_group() {
  local password='Snow-fall 42'
  echo "$user:$password" | chpasswd
  cp "$pam" /etc/pam.d/kivo
  start_sway
  start desktop as_user "$client" window
  wait_for_line "$work/desktop.out" shown 10
  check "before the lock the other window is seen" window_is seen

  echo "-- locked"
  start_kivo lock -lock --count 20000
  check "locked: nothing of the other window" window_is hidden
  snow_on "locked"
  key wrong -k Return
  check "a wrong password is refused: red marks" wait_until 10 refused_shown
  check "a wrong password keeps it locked" window_is hidden 0
  check "and kivo running" running lock
  check "a second kivo -lock while locked ends with 2" [ "$(as_user "$kivo" -lock >/dev/null 2>&1; echo $?)" = 2 ]
  local pid; pid=$(kivo_pid lock)
  check "the password is in neither its command line nor its environment" \
    not grep -q -a -e "$password" -e wrong "/proc/$pid/cmdline" "/proc/$pid/environ"
  key abc -k Escape "$password" -k Return
  check "Escape, then the right password, unlocks: kivo ends with 0" ends_with lock 0 15
  check "and the other window is seen again" window_is seen
  check "kivo never wrote the password out" not grep -q -a -e "$password" -e wrong "$work/lock.out"

  echo "-- however it is started"
  # A launcher that ignores SIGCHLD (the disposition outlives exec), and an
  # X11 screen saver's variable: -lock locks all the same.
  lock_case "under a launcher that ignores SIGCHLD" refused_first typed perl -e '$SIG{CHLD} = "IGNORE"; exec @ARGV'
  lock_case "with XSCREENSAVER_WINDOW=0x1234" - typed env XSCREENSAVER_WINDOW=0x1234
  # Held, Backspace repeats at the compositor's rate (Sway: after 600 ms, 25
  # a second): three junk characters go, then the password unlocks.
  lock_case "Backspace held" - typed_after_junk env
  local option out rc
  for option in -root -x11; do
    out=$(timeout 10 setpriv --reuid "$user" --regid "$user" --init-groups env XDG_RUNTIME_DIR="$runtime" \
      WAYLAND_DISPLAY="$socket" "$kivo" -lock "$option" 2>&1 >/dev/null); rc=$?
    check "kivo -lock $option: exit 2 with one line that names $option ($(head -n 1 <<<"$out"))" \
      [ "$rc" = 2 -a "$(wc -l <<<"$out")" = 1 -a -n "$(grep -e " $option\b" <<<"$out")" ]
  done

  echo "-- failing closed"
  start_kivo killed -lock
  wait_until 10 snow_shown
  signal killed KILL
  wait_until 5 ended killed
  # Nothing shows when Sway has taken in the locker's end: look for a second.
  check "kivo killed while locked: the session stays locked" not wait_until 1 not window_shows hidden
  check "and nothing of the desktop" no_desktop "$shots/lock.png"
  start_kivo again -lock
  wait_until 10 snow_shown
  check "another kivo -lock takes the abandoned lock" running again
  key "$password" -k Return
  check "and its right password unlocks it" ends_with again 0 15
  check "the window is seen again" window_is seen

  echo "-- -daemonize, as an idle daemon starts it before the machine sleeps"
  check "kivo -lock -daemonize returns 0 once the session is locked" \
    [ "$(timeout 20 setpriv --reuid "$user" --regid "$user" --init-groups env XDG_RUNTIME_DIR="$runtime" \
      WAYLAND_DISPLAY="$socket" "$kivo" -lock -daemonize >/dev/null 2>&1; echo $?)" = 0 ]
  check "the session is locked then" window_is hidden 0
  pid=$(daemonized_kivo)
  check "the kivo that keeps the lock has the password's memory locked ($(awk '/^VmLck/ {print $2, $3}' "/proc/$pid/status" 2>/dev/null))" \
    [ "$(awk '/^VmLck/ {print $2}' "/proc/$pid/status" 2>/dev/null)" -gt 0 ]
  key "$password" -k Return
  check "the kivo left behind unlocks it and ends" daemonized_kivo_ended
  check "the window is seen at last" window_is seen
}
# The other client's window seen (more than 10000 of its pixels) or hidden
# (none), within SECONDS (5 by default; 0: in a screenshot taken now).
window_is() {  # seen|hidden [SECONDS]
  wait_until "${2:-5}" window_shows "$1"
  local answer=$?
  echo "   $window_pixels pixels of the other window"
  return $answer
}
window_shows() {  # seen|hidden
  grab "$shots/lock.png" || return 1
  window_pixels=$(colour_pixels '#ff00ff' 0 0 1824 768 "$shots/lock.png")
  if [ "$1" = seen ]; then [ "${window_pixels:-0}" -gt 10000 ]; else [ "${window_pixels:-1}" = 0 ]; fi
}
window_pixels=
# The marks turned red: the check was refused.
refused_shown() { grab "$shots/refused.png" && [ "$(colour_pixels '#ff4646' 0 0 1824 768 "$shots/refused.png")" -gt 100 ]; }
refused_gone() { grab "$shots/refused.png" && [ "$(colour_pixels '#ff4646' 0 0 1824 768 "$shots/refused.png")" = 0 ]; }
# What the unlocking rows type: the password, or junk that a held Backspace
# takes back first.
typed() { key "$password" -k Return; }
typed_after_junk() { key xyz -P BackSpace -s 2000 -p BackSpace "$password" -k Return; }
# kivo -lock started through LAUNCHER...: it hides the other window,
# refuses a wrong password first (with refused_first), and unlocks when
# TYPE types.
lock_case() {  # WHAT refused_first|- TYPE LAUNCHER...
  local what=$1 wrong=$2 type=$3; shift 3
  start lock as_user "$@" "$kivo" -lock --count 5000
  check "$what: locked, its snow and nothing of the other window" wait_until 10 lock_shown
  if [ "$wrong" = refused_first ]; then
    key wrong -k Return
    check "$what: a wrong password is refused first" wait_until 10 refused_shown
    check "$what: and it stays locked" window_is hidden 0
    # The prompt is painted over frames drawn in the buffers themselves:
    # the red marks of the refusal must leave nothing behind in any of them.
    check "$what: the refused look goes again without a trace" wait_until 10 refused_gone
  fi
  "$type"
  check "$what: the right password unlocks: kivo ends with 0" ends_with lock 0 15
  check "$what: the other window is seen again" window_is seen
  ended lock || { signal lock KILL; ends_with lock 137 5 >/dev/null; }  # the next row's own kivo takes the lock
}
lock_shown() { snow_shown && window_shows hidden; }

weston_group() {
  start weston as_user weston --backend=headless-backend.so --use-pixman --width=1024 --height=768 --socket=kivo-weston \
    --idle-time=0 --debug
  wait_socket kivo-weston || { echo "FAIL: weston did not start"; cat "$work/weston.out"; exit 1; }
  start_kivo fallback -fullscreen
  wait_until 10 weston_snow
  check "-fullscreen without layer shell says so once" \
    [ "$(grep -c 'no wlr layer shell' "$work/fallback.out")" = 1 ]
  check "-fullscreen without layer shell: a full-screen window with snow ($lit bright pixels)" [ "${lit:-0}" -gt 200 ]
  check "and it runs on" running fallback
  signal fallback TERM
  check "SIGTERM ends it with 0" ends_with fallback 0 10
  expect_refusal "-background without layer shell" as_user "$kivo" -background
}

# Weston's screenshot (the newest) with snow over the whole output.
weston_snow() {
  rm -f "$shots"/wayland-screenshot*.png
  (cd "$shots" && as_user weston-screenshooter >/dev/null 2>&1)
  lit=$(bright_pixels 0 0 1024 768 "$(ls "$shots"/wayland-screenshot*.png 2>/dev/null | head -n 1)")
  [ "${lit:-0}" -gt 200 ]
}
lit=

"${group}_group"
[ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && cp "$shots"/*.png "$KIVO_KEEP_SCREENSHOTS/"
finish
