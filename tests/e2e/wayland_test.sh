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
key() { as_user wtype -s 300 "$@"; }
# The kivo that -daemonize left running has ended (a zombie counts as ended:
# its parent is gone, and who reaps it then is no business of kivo's). Other
# groups may run kivo as the same user meanwhile, never with -daemonize.
daemonized_kivo_ended() {
  local _
  for _ in $(seq 50); do
    [ -z "$(ps -u "$user" -o stat=,args= | awk '$1 !~ /^Z/ && /kivo -lock -daemonize/')" ] && return 0
    sleep 0.2
  done
  ps -u "$user" -o pid,stat,etime,args
  return 1
}
wait_socket() {  # PATTERN: sets socket to the compositor's socket in the runtime folder
  local _ found
  for _ in $(seq 100); do
    found=$(cd "$runtime" && ls $1 2>/dev/null | grep -v lock | head -n 1)
    [ -n "$found" ] && [ -S "$runtime/$found" ] && { socket=$found; return 0; }
    sleep 0.1
  done
  return 1
}
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
  wait_socket 'wayland-*' || { echo "FAIL: sway did not start"; cat "$work/sway.out"; exit 1; }
  sleep 1
}
swaymsg() { as_user swaymsg -s "$(ls "$runtime"/sway-ipc.*.sock)" "$@" >/dev/null; }
grab() { as_user grim "$@"; }  # [-o OUTPUT] FILE
grab_copy() { grab "$shots/grab.png" && cp "$shots/grab.png" "$1"; }  # FILE: a screenshot where only root may write
pointer() { as_user "$client" pointer 1824 768 "$@"; }
colour_pixels() {  # COLOUR X Y W H FILE: pixels of that colour
  convert "$6" -crop "${4}x${5}+${2}+${3}" +repage -fuzz 4% -fill black +opaque "$1" -fill white \
    -opaque "$1" -alpha off -colorspace Gray -format '%[fx:round(mean*w*h)]' info:
}
desktop_pixels() { colour_pixels '#2040c0' "$@"; }  # X Y W H FILE
snow_on() {  # WHAT: snow on both outputs, moving, and nothing of the desktop
  SHOOT=grab_copy snowing "$1" 200 "0 0 1024 768 HEADLESS-1" "1024 0 800 600 HEADLESS-2"
  check "$1: nothing but snow" [ "$(desktop_pixels 0 0 1824 768 "$work/a.png")" = 0 ]
}

sway_group() {
  start_sway
  echo "-- -fullscreen: every output, input ends it"
  start_kivo full -fullscreen --count 20000
  sleep 2.5
  snow_on -fullscreen
  check "-fullscreen: still running" running full
  key a
  check "-fullscreen: a key ends it with 0" ends_with full 0 10
  # Pointer steps from 500,400 that must leave -fullscreen running, then
  # steps that must end it with 0.
  pointer_case() {  # WHAT STEPS WHAT STEPS
    start_kivo input -fullscreen
    sleep 1.5
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

  echo "-- outputs that go, come back, sleep and scale"
  start_kivo outputs -fullscreen --count 20000
  sleep 1.5
  swaymsg output HEADLESS-2 disable; sleep 1
  check "an output disabled leaves it running" running outputs
  swaymsg output HEADLESS-2 enable; sleep 2
  snow_on "after the output came back"
  swaymsg output '*' power off; sleep 1
  check "outputs powered off: no measurable CPU over 5 s" quiet_for_5s outputs
  swaymsg output '*' power on; sleep 2
  snow_on "powered on again"
  swaymsg output HEADLESS-1 scale 2; sleep 2
  grab -o HEADLESS-1 "$shots/scaled.png"
  convert "$shots/scaled.png" -sample 50% -sample 200% "$shots/blocky.png"
  check "a 2x output: $(identify -format %wx%h "$shots/scaled.png") physical pixels, crisp, not 2x2 blocks" \
    [ "$(compare -metric AE "$shots/scaled.png" "$shots/blocky.png" null: 2>&1 | cut -d' ' -f1)" -gt 200 ]
  check "and still snowing on it" [ "$(bright_pixels 0 0 1024 768 "$shots/scaled.png")" -gt 100 ]
  swaymsg output HEADLESS-1 scale 1
  key a
  check "and a key still ends it with 0" ends_with outputs 0 10

  echo "-- -background and -window"
  start_kivo background -background
  sleep 2
  snow_on -background
  key a
  pointer move 100 100 press left move 900 700 wait 300
  check "-background: keys and buttons do not end it" running background
  signal background TERM
  check "-background: SIGTERM ends it with 0" ends_with background 0 10
  start_kivo window -window --count 5000
  sleep 2
  swaymsg '[app_id=kivo]' floating enable, resize set width 500 px height 400 px, move absolute position 100 100
  sleep 1.5
  grab "$shots/window.png"
  check "-window: a window titled KIVO" grep -q '"name": "KIVO"' <(as_user swaymsg -s "$(ls "$runtime"/sway-ipc.*.sock)" -t get_tree)
  check "-window: snow in it ($(bright_pixels 100 100 500 400 "$shots/window.png") bright pixels)" \
    [ "$(bright_pixels 100 100 500 400 "$shots/window.png")" -gt 50 ]
  check "-window: resized to 500x400, it covers that and no more" \
    [ "$(desktop_pixels 100 100 500 400 "$shots/window.png")" = 0 -a \
      "$(desktop_pixels 0 0 1024 768 "$shots/window.png")" = $((1024 * 768 - 500 * 400)) ]
  swaymsg '[app_id=kivo]' kill
  check "-window: closing it ends it with 0" ends_with window 0 10

  echo "-- failures"
  WAYLAND_DISPLAY_FOR_KIVO=wayland-9 expect_refusal "no compositor" as_user "$kivo"
  perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => $ARGV[0], Listen => 1)' "$runtime/refusing"
  chown "$user" "$runtime/refusing"
  WAYLAND_DISPLAY_FOR_KIVO=refusing expect_refusal "a socket that refuses" as_user "$kivo"
  start_kivo dies -fullscreen
  sleep 1.5
  signal sway KILL
  check "a compositor that dies ends it with 1" ends_with dies 1 10
  check "saying so in one line ($(head -n 1 "$work/dies.out"))" [ "$(wc -l <"$work/dies.out")" = 1 ]
}

# kivo -lock over a window of another client (magenta), with the test user's
# password checked by PAM through the root's common-auth.
lock_group() {
  local password='Snow-fall 42' window_pixels
  echo "$user:$password" | chpasswd
  cp "$pam" /etc/pam.d/kivo
  start_sway
  start desktop as_user "$client" window
  wait_for_line "$work/desktop.out" shown 10
  sleep 0.5
  desktop_shows() {  # WHAT: the other client's window is seen, or not
    grab "$shots/lock.png"
    window_pixels=$(colour_pixels '#ff00ff' 0 0 1824 768 "$shots/lock.png")
    echo "   $window_pixels pixels of the other window"
    if [ "$1" = seen ]; then [ "${window_pixels:-0}" -gt 10000 ]; else [ "${window_pixels:-1}" = 0 ]; fi
  }
  check "before the lock the other window is seen" desktop_shows seen

  echo "-- locked"
  start_kivo lock -lock --count 20000
  sleep 2.5
  check "locked: nothing of the other window" desktop_shows hidden
  snow_on "locked"
  key wrong -k Return
  sleep 4
  check "a wrong password keeps it locked" desktop_shows hidden
  check "and kivo running" running lock
  check "a second kivo -lock while locked ends with 2" [ "$(as_user "$kivo" -lock >/dev/null 2>&1; echo $?)" = 2 ]
  local pid; pid=$(kivo_pid lock)
  check "the password is in neither its command line nor its environment" \
    not grep -q -a -e "$password" -e wrong "/proc/$pid/cmdline" "/proc/$pid/environ"
  key abc -k Escape "$password" -k Return
  check "Escape, then the right password, unlocks: kivo ends with 0" ends_with lock 0 15
  sleep 0.5
  check "and the other window is seen again" desktop_shows seen
  check "kivo never wrote the password out" not grep -q -a -e "$password" -e wrong "$work/lock.out"

  echo "-- failing closed"
  start_kivo killed -lock
  sleep 2
  signal killed KILL
  sleep 1
  check "kivo killed while locked: the session stays locked" desktop_shows hidden
  check "and nothing of the desktop" [ "$(desktop_pixels 0 0 1024 768 "$shots/lock.png")" = 0 ]
  start_kivo again -lock
  sleep 2
  check "another kivo -lock takes the abandoned lock" running again
  key "$password" -k Return
  check "and its right password unlocks it" ends_with again 0 15
  sleep 0.5
  check "the window is seen again" desktop_shows seen

  echo "-- -daemonize, as an idle daemon starts it before the machine sleeps"
  check "kivo -lock -daemonize returns 0 once the session is locked" \
    [ "$(timeout 20 setpriv --reuid "$user" --regid "$user" --init-groups env XDG_RUNTIME_DIR="$runtime" \
      WAYLAND_DISPLAY="$socket" "$kivo" -lock -daemonize >/dev/null 2>&1; echo $?)" = 0 ]
  check "the session is locked then" desktop_shows hidden
  key "$password" -k Return
  sleep 2
  check "the kivo left behind unlocks it and ends" daemonized_kivo_ended
  check "the window is seen at last" desktop_shows seen
}

weston_group() {
  start weston as_user weston --backend=headless-backend.so --use-pixman --width=1024 --height=768 --socket=kivo-weston \
    --idle-time=0 --debug
  wait_socket kivo-weston || { echo "FAIL: weston did not start"; cat "$work/weston.out"; exit 1; }
  sleep 1
  start_kivo fallback -fullscreen
  sleep 2.5
  check "-fullscreen without layer shell says so once" \
    [ "$(grep -c 'no wlr layer shell' "$work/fallback.out")" = 1 ]
  (cd "$shots" && as_user weston-screenshooter >/dev/null 2>&1)
  lit=$(bright_pixels 0 0 1024 768 "$(ls "$shots"/wayland-screenshot*.png 2>/dev/null | head -n 1)")
  check "-fullscreen without layer shell: a full-screen window with snow ($lit bright pixels)" [ "${lit:-0}" -gt 200 ]
  check "and it runs on" running fallback
  signal fallback TERM
  check "SIGTERM ends it with 0" ends_with fallback 0 10
  expect_refusal "-background without layer shell" as_user "$kivo" -background
}

"${group}_group"
[ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && cp "$shots"/*.png "$KIVO_KEEP_SCREENSHOTS/"
finish
