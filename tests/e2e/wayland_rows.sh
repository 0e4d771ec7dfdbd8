# Sourced by wayland_test.sh: the rows only Sway can run (outputs that go, come back, sleep and scale, the beat at
# any refresh rate, a virtual pointer, the window resized, kivo -lock over another client's magenta window however
# it is started, failures), in the Sway of the table's row. Their checks fill its outputs, lock and grace cells.
check() { mark "$row" "$@"; }  # DESCRIPTION COMMAND...: a check in this row's cell
kivo_pid() { pgrep -P "$(cat "$work/$1.pid")" -x kivo; }
swaymsg() { swaymsg_out -- "$@" >/dev/null; }
swaymsg_out() { as_user swaymsg -s "$(ls "$runtime"/sway-ipc.*.sock)" "$@"; }
grab() { as_user grim "$@"; }  # [-o OUTPUT] FILE
pointer() { as_user "$client" pointer 1824 768 "$@"; }
ended() { [ -s "$work/$1.exit" ]; }  # NAME
termed() { signal "$1" TERM; ends_with "$1" 0 10; }  # NAME: SIGTERM ends it with 0
colour_pixels() {  # COLOUR X Y W H FILE: pixels of that colour
  convert "$6" -crop "${4}x${5}+${2}+${3}" +repage -fuzz 4% -fill black +opaque "$1" -fill white \
    -opaque "$1" -alpha off -colorspace Gray -format '%[fx:round(mean*w*h)]' info:
}
desktop_pixels() { colour_pixels '#2040c0' "$@"; }  # X Y W H FILE
no_desktop() { [ "$(desktop_pixels 0 0 1824 768 "$1")" = 0 ]; }  # FILE
snow_on() {  # WHAT: within 10 s snow on both outputs, moving, and nothing of the desktop
  READY=no_desktop SHOOT=grim_shot snowing_within 10 "$1" 200 "0 0 1024 768 HEADLESS-1" "1024 0 800 600 HEADLESS-2"
  check "$1: nothing but snow" no_desktop "$work/a.png"
}
# Snow on both outputs: what was started has its surfaces up; up starts kivo quietly and waits for that.
surfaces_up() { SHOOT=grim_shot snow_in_shot "$work/up.png" 200 "0 0 1024 768 HEADLESS-1" "1024 0 800 600 HEADLESS-2"; }
up() { start_quiet "$@"; wait_until 10 surfaces_up; }  # NAME ARG...
# The kivo started as NAME sleeps until an event, with no timeout: a ppoll whose timeout is NULL (or a poll of -1).
sleeps_until_event() {  # NAME
  local pid call
  pid=$(kivo_pid "$1") || return 1
  read -r -a call <"/proc/$pid/syscall" || return 1
  [ "${call[0]}" = 271 -a "${call[3]:-}" = 0x0 ] || [ "${call[0]}" = 7 -a "$((${call[3]:-0}))" = -1 ] ||
    [ "${call[0]}" = 7 -a "${call[3]:-}" = 0xffffffff ]
}
refresh_is() {  # RATE (e.g. "144 Hz"): HEADLESS-1's refresh rate, in mHz in Sway's answer
  swaymsg_out -r -t get_outputs | tr -d ' \n' | grep -o '"name":"HEADLESS-1".*' |
    grep -o -m 1 '"current_mode":{[^}]*}' | grep -q "\"refresh\":${1%% *}[0-9][0-9][0-9]\b"
}

# -fps of -fullscreen with HEADLESS-1 at MODE: after the first second, one tick every 30 ms (33.3 a second, +- 1)
# whatever the refresh rate, while HEADLESS-2 runs at 60 Hz. A loaded machine may drop a tick (kivo keeps the
# period rather than catching up), never add one: no line above 34.3.
fps_case() {  # WHAT MODE
  local lines
  swaymsg output HEADLESS-1 mode --custom "$2"
  check "-fps at $1: HEADLESS-1 runs at $1" wait_until 5 refresh_is "$1"
  start_quiet fps -fullscreen -fps --count 5000
  wait_until 20 eval '[ "$(grep -c " fps, " "$work/fps.out")" -ge 5 ]'
  lines=$(grep ' fps, ' "$work/fps.out" | sed -n 2,5p)
  check "-fps at $1: 4 lines after the first second, none above 34.3, 33.3 +- 1 on average ($(awk '{printf "%s ", $2}' <<<"$lines"))" \
    awk 'NF { n++; sum += $2; if ($2 > 34.3) bad = 1 } END { exit bad || n != 4 || sum / n < 32.3 || sum / n > 34.3 }' <<<"$lines"
  # Frames are drawn straight into a free buffer: handing it over is always timed.
  check "-fps at $1: the time handing buffers over is measured ($(sed -n 's/.*copy \([0-9.]*\) ms.*/\1/p' <<<"$lines" | tr '\n' ' ')ms)" \
    awk -F'copy ' 'NF > 1 { n++; if ($2 + 0 <= 0) bad = 1 } END { exit bad || n != 4 }' <<<"$lines"
  check "-fps at $1: SIGTERM ends it with 0" termed fps
}
# SIGTERM while every output is powered off, once kivo sleeps until an event: it ends with 0 within a second.
powered_off_case() {  # MODE
  local t0
  up off "$1" --count 5000
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
# Pointer steps from 500,400 that leave -fullscreen running (looked at after a pause: nothing shows that kivo has
# taken them), then steps that end it with 0.
pointer_case() {  # WHAT STEPS WHAT STEPS
  expect_after "-fullscreen: $1" input surfaces_up "pointer move 500 400 wait 100 $2 wait 300" running \
    as_user "$kivo" -fullscreen
  pointer $4 wait 300
  check "-fullscreen: $3 ends it with 0" ends_with input 0 10
}
scaled_crisp() {  # HEADLESS-1 at scale 2 in physical pixels, crisp (not 2x2 blocks) and snowing
  grab -o HEADLESS-1 "$shots/scaled.png" || return 1
  convert "$shots/scaled.png" -sample 50% -sample 200% "$shots/blocky.png"
  [ "$(compare -metric AE "$shots/scaled.png" "$shots/blocky.png" null: 2>&1 | cut -d' ' -f1)" -gt 200 ] &&
    [ "$(bright_pixels 0 0 1024 768 "$shots/scaled.png")" -gt 100 ]
}
layout_width() { grim_shot "$work/up.png" && [ "$(identify -format %w "$work/up.png")" = "$1" ]; }  # WIDTH
window_resized() {  # the KIVO window at 100,100 500x400 with snow in it and the desktop all around
  grab "$shots/window.png" && [ "$(desktop_pixels 100 100 500 400 "$shots/window.png")" = 0 ] &&
    [ "$(desktop_pixels 0 0 1024 768 "$shots/window.png")" = $((1024 * 768 - 500 * 400)) ] &&
    [ "$(bright_pixels 100 100 500 400 "$shots/window.png")" -gt 50 ]
}
window_drawn() { grab "$shots/window.png" && [ "$(bright_pixels 0 0 1024 768 "$shots/window.png")" -gt 50 ]; }

sway_output_rows() {
  row=outputs
  local six="move 510 400 wait 100 move 520 400 wait 100 move 530 400 wait 100 move 540 400 wait 100 \
    move 550 400 wait 100 move 560 400 wait 100"
  pointer_case "the middle button" "press middle" "the left button" "press left"
  pointer_case "the middle button" "press middle" "the right button" "press right"
  pointer_case "six moves" "$six" "then 4 px right and 4 px down" "move 504 404"
  pointer_case "horizontal and small moves" "$six move 620 400 wait 100 move 620 402 wait 100 move 500 402" \
    "a move across onto the other output" "move 1400 300"
  fps_case "60 Hz" 1024x768@60Hz
  fps_case "144 Hz" 1024x768@144Hz
  swaymsg output HEADLESS-1 mode --custom 1024x768@60Hz

  up outputs -fullscreen --count 20000
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
  check "a 2x output: physical pixels, crisp, not 2x2 blocks, snowing" wait_until 10 scaled_crisp
  swaymsg output HEADLESS-1 scale 1
  keys "type a"
  check "and a key still ends it with 0" ends_with outputs 0 10
  powered_off_case -fullscreen
  powered_off_case -background

  up background -background
  pointer move 100 100 press left move 900 700 wait 300
  check "-background: buttons and moves do not end it" running background
  termed background
  start_quiet window -window --count 5000
  # Sway matches the window only once it is mapped: asked until it does.
  wait_until 10 window_drawn
  wait_until 10 swaymsg '[app_id=kivo]' floating enable, resize set width 500 px height 400 px, move absolute position 100 100
  check "-window: a window titled KIVO" eval 'swaymsg_out -t get_tree | grep -q "\"name\": \"KIVO\""'
  check "-window: resized to 500x400, it covers that and no more, with snow" wait_until 10 window_resized
  swaymsg '[app_id=kivo]' kill
  check "-window: closing it ends it with 0" ends_with window 0 10

  WAYLAND_DISPLAY_FOR_KIVO=wayland-9 expect_refusal "no compositor" as_user "$kivo"
  perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => $ARGV[0], Listen => 1)' "$runtime/refusing"
  chown "$user" "$runtime/refusing"
  WAYLAND_DISPLAY_FOR_KIVO=refusing expect_refusal "a socket that refuses" as_user "$kivo"
}
compositor_dies() {  # the last row: Sway killed under a running kivo
  row=outputs
  up dies -fullscreen
  signal sway KILL
  check "a compositor that dies ends it with 1" ends_with dies 1 10
  check "saying so in one line ($(head -n 1 "$work/dies.out"))" [ "$(wc -l <"$work/dies.out")" = 1 ]
}

# The other client's window seen (over 10000 of its pixels) or hidden (none) within SECONDS (5 by default; 0: now).
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
red_marks() { grab "$shots/refused.png" && colour_pixels '#ff4646' 0 0 1824 768 "$shots/refused.png"; }
refused_shown() { [ "$(red_marks)" -gt 100 ]; }  # the marks turned red: the check was refused
refused_gone() { [ "$(red_marks)" = 0 ]; }
lock_shown() { surfaces_up && window_shows hidden; }
daemonized_kivo() { ps -u "$user" -o pid=,stat=,comm=,args= | awk '$2 !~ /^Z/ && $3 == "kivo" && /kivo -lock -daemonize/ {print $1}'; }
none_left() { [ -z "$("$@")" ]; }  # COMMAND...: it prints nothing
# kivo -lock through LAUNCHER... hides the other window, refuses a wrong password (WRONG: yes), unlocks on TYPED.
lock_case() {  # WHAT WRONG TYPED LAUNCHER...
  local what=$1 wrong=$2 typed=$3; shift 3
  launched lock as_user "$@" "$kivo" -lock --count 5000
  check "$what: locked, its snow and nothing of the other window" wait_until 10 lock_shown
  if [ "$wrong" = yes ]; then
    keys "type wrong" "key Return"
    check "$what: a wrong password is refused: red marks" wait_until 10 refused_shown
    check "$what: and it stays locked" window_is hidden 0
    check "$what: and kivo running" running lock
    # The prompt is painted over frames drawn in the buffers themselves: the red marks must leave no trace.
    check "$what: the refused look goes again without a trace" wait_until 10 refused_gone
  fi
  keys "$(tr ' +' '\n ' <<<"$typed")"
  check "$what: the right password unlocks: kivo ends with 0" ends_with lock 0 15
  check "$what: the other window is seen again" window_is seen
  gone lock
}

sway_lock_rows() {
  row=lock
  launched desktop as_user "$client" window
  wait_for_line "$work/desktop.out" shown 10
  check "before the lock the other window is seen" window_is seen
  # What each row types: + stands for a space within one command. Escape forgets what was typed; a launcher that
  # ignores SIGCHLD (the disposition outlives exec) and an X11 screen saver's variable change nothing; held,
  # Backspace repeats at Sway's rate (after 600 ms, 25 a second): three junk characters go before the password.
  local right="type+${password// /+} key+Return" pid option
  lock_case "kivo -lock" yes "type+abc key+Escape $right" env
  lock_case "under a launcher that ignores SIGCHLD" yes "$right" perl -e '$SIG{CHLD} = "IGNORE"; exec @ARGV'
  lock_case "with XSCREENSAVER_WINDOW=0x1234" no "$right" env XSCREENSAVER_WINDOW=0x1234
  lock_case "Backspace held" no "type+xyz press+BackSpace wait+2000 release+BackSpace $right" env
  check "kivo never wrote the password out" not grep -q -a -e "$password" -e wrong "$work/lock.out"
  for option in -root -x11; do
    expect_refusal "kivo -lock $option names $option" as_user "$kivo" -lock "$option"
    check "kivo -lock $option: the line names $option" grep -q -e " $option\b" "$work/refusal"
  done

  up killed -lock
  check "a second kivo -lock while locked ends with 2" [ "$(as_user "$kivo" -lock >/dev/null 2>&1; echo $?)" = 2 ]
  pid=$(kivo_pid killed)
  check "the password is in neither its command line nor its environment" \
    not grep -q -a -e "$password" -e wrong "/proc/$pid/cmdline" "/proc/$pid/environ"
  signal killed KILL
  wait_until 5 ended killed
  # Nothing shows when Sway has taken in the locker's end: look for a second.
  check "kivo killed while locked: the session stays locked" not wait_until 1 not window_shows hidden
  check "and nothing of the desktop" no_desktop "$shots/lock.png"
  up again -lock
  check "another kivo -lock takes the abandoned lock" running again
  # SIGTERM stops it as it does the saver, but the session is not its to give back.
  signal again TERM
  check "kivo -lock ended by SIGTERM: exit 1, the session still locked" \
    eval 'ends_with again 1 10 && not wait_until 1 not window_shows hidden'
  up again -lock
  keys "type $password" "key Return"
  check "and its right password unlocks it" ends_with again 0 15
  check "the window is seen again" window_is seen
  gone again

  # -daemonize, as an idle daemon starts it before the machine sleeps.
  check "kivo -lock -daemonize returns 0 once the session is locked" \
    [ "$(as_user timeout 20 "$kivo" -lock -daemonize >/dev/null 2>&1; echo $?)" = 0 ]
  check "the session is locked then" window_is hidden 0
  pid=$(daemonized_kivo)
  check "the kivo that keeps the lock has the password's memory locked ($(awk '/^VmLck/ {print $2, $3}' "/proc/$pid/status" 2>/dev/null))" \
    [ "$(awk '/^VmLck/ {print $2}' "/proc/$pid/status" 2>/dev/null)" -gt 0 ]
  keys "type $password" "key Return"
  check "the kivo left behind unlocks it and ends" wait_until 10 none_left daemonized_kivo
  check "the window is seen at last" window_is seen
}

# The saver that becomes the lock. The snow goes on through it: frame 100 on HEADLESS-1 is, above the prompt,
# kivo-render's frame at tick 100 from its screen's seed (the seed given, or the next screen's, as the outputs'
# surfaces were laid out first). logind is a stand-in on a private bus (kivo-test-login1: no test may put the
# machine to sleep): sleep coming or a lock asked ends the grace, sleep waits until the compositor has said locked,
# the session's hint follows the lock; with no bus the grace still works and one line says sleep is not guarded.
# The keyboard's focus went last to one of kivo's lock surfaces.
focus_locked() {  # LOG
  awk '/-> .*get_lock_surface\(/ { if (match($0, /wl_surface#[0-9]+/)) lock[substr($0, RSTART, RLENGTH)] = 1 }
    !/->/ && /wl_keyboard#[0-9]+\.enter\(/ { match($0, /wl_surface#[0-9]+/); last = substr($0, RSTART, RLENGTH) }
    END { exit !(last in lock) }' "$1"
}
stamp() { grep -m 1 -e "$2" "$1" | sed 's/^\[ *\([0-9.]*\)\].*/\1/'; }  # FILE TEXT: its WAYLAND_DEBUG-style stamp
after() { [ -n "$1" ] && [ -n "$2" ] && awk -v a="$1" -v b="$2" 'BEGIN { d = (b - a + 4294967.296) % 4294967.296; exit !(d < 10000) }'; }  # A B
sway_grace_rows() {
  row=grace
  local bus=unix:path=$runtime/system_bus event tailing sent locked released seed differences=
  start_quiet same -fullscreen --lock-after 1 --seed 7 --count 5000 --frames 100
  check "--lock-after 1: locked, then stopped after 100 frames" wait_until 15 grep -q 'stopped after 100 frames' "$work/same.out"
  sleep 0.5
  grab -o HEADLESS-1 "$shots/same.png"
  convert "$shots/same.png" -crop 1024x400+0+0 +repage "$shots/same-top.png"
  for seed in 7 $(((7 + 0x9E3779B9) & 0xFFFFFFFF)); do
    as_user "$(dirname "$kivo")/kivo-render" --width 1024 --height 768 --count 5000 --seed "$seed" --frames 100 \
      --out "$shots/same.bmp" 2>/dev/null
    convert "$shots/same.bmp" -crop 1024x400+0+0 +repage "$shots/render-top.png"
    differences+="$(compare -metric AE "$shots/same-top.png" "$shots/render-top.png" null: 2>&1) "
  done
  check "the snow did not restart at the lock: frame 100 above the prompt is kivo-render's (pixels apart: $differences)" \
    grep -q -w 0 <<<"$differences"
  keys "type $password" "key Return"
  check "and its right password unlocks it" ends_with same 0 15
  gone same

  launched system-bus as_user dbus-daemon --session --nofork --address="$bus"
  wait_until 5 test -S "$runtime/system_bus" && sleep 0.5
  fed login1 as_user env DBUS_SYSTEM_BUS_ADDRESS="$bus" "$(dirname "$client")/kivo-test-login1"
  wait_for_line "$work/login1.out" ready 10 || cat "$work/system-bus.out" "$work/login1.out"
  for event in sleep lock; do
    tail -n +$(($(wc -l <"$work/login1.out") + 1)) -f "$work/login1.out" >"$work/heard" 2>/dev/null &
    tailing=$!
    launched guarded as_user env WAYLAND_DEBUG=client DBUS_SYSTEM_BUS_ADDRESS="$bus" "$kivo" -fullscreen \
      --lock-after 60 --count 5000
    check "--lock-after 60 with logind: sleep waits while the grace lasts" wait_until 10 grep -q inhibited "$work/heard"
    wait_until 10 surfaces_up
    echo "$event" >&"${to[login1]}"
    check "logind's $event: locked at once" wait_until 5 grep -q '_lock_v1#[0-9]*\.locked()' "$work/guarded.out"
    check "logind's $event: the hint says locked, and sleep waits no more" \
      eval 'wait_until 5 grep -q released "$work/heard" && grep -q "hint 1" "$work/heard"'
    sent=$(stamp "$work/heard" "sent $event") locked=$(stamp "$work/guarded.out" '_lock_v1#[0-9]*\.locked()')
    released=$(stamp "$work/heard" released)
    check "logind's $event: sleep waited until the compositor said locked ($sent, locked $locked, released $released)" \
      eval 'after "$sent" "$locked" && after "$locked" "$released"'
    check "logind's $event: the keyboard's focus on a lock surface" wait_until 10 focus_locked "$work/guarded.out"
    keys "type $password" "key Return"
    check "logind's $event: the right password unlocks" ends_with guarded 0 15
    check "logind's $event: and the hint follows" wait_until 5 grep -q "hint 0" "$work/heard"
    gone guarded
    kill "$tailing"
  done
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$runtime/none up guarded -fullscreen --lock-after 60 --count 5000
  keys "type a"
  check "no system bus: the grace goes on, a key ends it with 0" ends_with guarded 0 10
  check "and one line says sleep is not guarded ($(head -n 1 "$work/guarded.out"))" \
    eval '[ "$(wc -l <"$work/guarded.out")" = 1 ] && grep -q "sleep is not guarded" "$work/guarded.out"'
}
