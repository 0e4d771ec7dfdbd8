#!/usr/bin/env bash
# kivo on every Wayland desktop the README names, in the Debian 13 root, as an ordinary user, one table of
# compositors and modes:   wayland_test.sh KIVO TEST_CLIENT PAM_FILE COMPOSITOR[:ROWS]...
# COMPOSITOR: sway labwc kwin mutter cage weston; ROWS, a comma list of table (the default), outputs and lock: the
# rows only Sway can run (wayland_rows.sh). What a compositor offers must be what its version is known to, and
# decides whether kivo must run there or refuse. kivo's Wayland log (WAYLAND_DEBUG) shows its surfaces committing.
set -u
# In a PID namespace of its own, every process this starts ends with it.
if [ "${KIVO_DESKTOPS_NS:-}" != 1 ]; then
  KIVO_DESKTOPS_NS=1 exec unshare --pid --fork --propagation unchanged --mount-proc "$0" "$@"
fi
kivo=$1 client=$2 pam=$3; shift 3
runs=("$@")
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/wayland_rows.sh"
[ "$(id -u)" = 0 ] || { echo "FAIL: the Wayland test makes a test user: it needs root"; exit 1; }

# What each compositor's Debian 13 version offers of layer shell, session lock, fractional scale, idle notification.
declare -A known=([sway]="layer lock frac idle" [labwc]="layer lock frac idle" [kwin]="layer - frac idle"
  [mutter]="- - frac -" [cage]="- - - idle" [weston]="- - - -")
checks=(offers fullscreen snow key background window idle lock grace outputs)

user=kivo-test
id "$user" >/dev/null 2>&1 || useradd -m "$user"
password='Snow-fall 42'
echo "$user:$password" | chpasswd
cp "$pam" /etc/pam.d/kivo
chmod 755 "$work"

declare -A cell version to  # to: the FIFO each program started with fed reads, by name
set_cell() { cell[$name,$1]=$2; }  # CHECK TEXT
mark() {  # CHECK DESCRIPTION COMMAND...: a check that counts and fills the table's cell
  local column=$1 what=$2 verdict=FAIL; shift 2
  "$@" && verdict=ok
  [ "$verdict" = ok ] && passes=$((passes + 1)) || failures=$((failures + 1))
  echo "$verdict: $name: $what"
  [ "$verdict" = ok ] && [ -n "${cell[$name,$column]:-}" ] || set_cell "$column" "$verdict"
}
refused() {  # CHECK DESCRIPTION ARG...
  local column=$1 what=$2; shift 2
  mark "$column" "$what" refuses as_user timeout 20 "$kivo" "$@"  # a kivo that runs instead fails it, in time
  [ "${cell[$name,$column]}" = ok ] && set_cell "$column" refused
}

as_user() {
  setpriv --reuid "$user" --regid "$user" --init-groups env HOME="$(getent passwd "$user" | cut -d: -f6)" \
    XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="${WAYLAND_DISPLAY_FOR_KIVO:-$socket}" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" ${DISPLAY:+DISPLAY=$DISPLAY} "$@"
}
# kivo as NAME, logging its Wayland requests and events to $work/NAME.out (start_quiet: only what kivo says).
start_kivo() { local n=$1; shift; started+=("$n"); start "$n" as_user env WAYLAND_DEBUG=client "$kivo" "$@"; }
start_quiet() { local n=$1; shift; started+=("$n"); start "$n" as_user "$kivo" "$@"; }
launched() { started+=("$1"); start "$@"; }
wait_socket() { wait_until 15 test -S "$runtime/$1" && socket=$1; }  # NAME: sets socket once it is there
# NAME reads what is written to fd ${to[NAME]}, a FIFO held open here (a job started with & reads /dev/null).
fed() {  # NAME COMMAND...
  local n=$1 fd; shift
  rm -f "$work/$n.in"; mkfifo "$work/$n.in"; exec {fd}<>"$work/$n.in"
  to[$n]=$fd started+=("$n")
  ( "$@" <"$work/$n.in" >"$work/$n.out" 2>&1; echo $? >"$work/$n.exit" ) &
  echo $! >"$work/$n.pid"
}
gone() { ended "$1" || { signal "$1" KILL; ends_with "$1" 137 5 >/dev/null; }; }  # NAME: gone before the next lock

# --- what kivo's log shows --------------------------------------------------
# The wl_output objects whose surfaces in the client's LOG committed at least 5 times after line FROM (a layer or lock
# surface or fullscreen toplevel made for it, or a subsurface put on it); with ANY, surfaces of any kind that did.
committing() {  # LOG FROM [ANY]
  awk -v from="$2" -v any="${3:-}" '
    function id(kind) { return match($0, kind "#[0-9]+") ? substr($0, RSTART, RLENGTH) : "" }
    /-> .*get_layer_surface\(|-> .*get_lock_surface\(/ {
      s = id("wl_surface"); o = id("wl_output"); if (s != "" && o != "") out[s] = o }
    /-> .*get_xdg_surface\(/ { surf_of[id("xdg_surface")] = id("wl_surface") }
    /-> xdg_surface#[0-9]+\.get_toplevel\(/ { top[id("xdg_toplevel")] = surf_of[id("xdg_surface")] }
    /-> xdg_toplevel#[0-9]+\.set_fullscreen\(wl_output#/ { out[top[id("xdg_toplevel")]] = id("wl_output") }
    /-> wl_subcompositor#[0-9]+\.get_subsurface\(/ { subs[id("wl_surface")] = 1 }
    !/->/ && /wl_surface#[0-9]+\.enter\(wl_output#/ { s = id("wl_surface"); if (s in subs) out[s] = id("wl_output") }
    NR > from && /-> wl_surface#[0-9]+\.commit\(\)/ { n[id("wl_surface")]++ }
    END { for (s in n) if (n[s] >= 5 && (any || s in out)) print (any ? s : out[s]) }' "$1" | sort -u | wc -l
}
# Every output (or with "a", one surface) has a surface of kivo's that committed 5 times after this was called.
keeps_committing() {  # NAME [a]
  local log=$work/$1.out from least=$outputs any=${2:-}
  [ -z "$any" ] || least=1
  wait_until 10 test -e "$log"
  from=$(wc -l <"$log")
  wait_until 10 eval '[ "$(committing "$log" "$from" "$any")" -ge "$least" ]'
}

# cage lays every toplevel over the whole layout: there kivo keeps one window with a subsurface per output.
covered() { echo "a $([ "$name" = cage ] && echo sub)surface on each of the $outputs outputs"; }

# --- screenshots and keys ------------------------------------------------------
grim_shot() { as_user grim "$shots/grab.png" && cp "$shots/grab.png" "$1"; }
# Pixels brighter than 25 % grey in the rectangle X Y W H of FILE that are not so on the bare desktop.
new_bright() {  # X Y W H FILE
  convert "$5" "$desktop" -compose ChangeMask -composite -background black -alpha remove \
    -crop "${3}x${4}+${1}+${2}" +repage -alpha off -colorspace Gray -threshold 25% \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
lit_per_output() {  # FILE: new bright pixels on each output
  local r x y w h
  for r in "${rects[@]}"; do read -r x y w h <<<"$r"; printf '%s ' "$(new_bright "$x" "$y" "$w" "$h" "$1")"; done
}
snow_everywhere() {  # FILE: a new screenshot with snow (over 100 new bright pixels) on every output
  "$shoot" "$1" &&
    lit_per_output "$1" | awk -v n="${#rects[@]}" '{ for (i = 1; i <= NF; i++) k += ($i > 100) } END { exit k != n }'
}
snow_somewhere() { "$shoot" "$1" && [ "$(new_bright 0 0 2560 768 "$1")" -gt 100 ]; }  # FILE: a new screenshot with snow
snow_shown() {  # CHECK WHAT
  local shot=$shots/$name-$1.png
  wait_until 10 snow_everywhere "$shot"
  mark "$1" "$2: snow in a screenshot of every output (bright pixels: $(lit_per_output "$shot"))" snow_everywhere "$shot"
}
type_text() {  # TEXT [RETURN]
  case $input in
    keyboard) keys "type $1" ${2:+"key Return"} ;;
    xdotool) xdotool type --delay 40 "$1"; [ -z "${2:-}" ] || xdotool key Return ;;
  esac
}
# The one virtual keyboard, there from the compositor's start to its end, as a real one is: it types what keys writes.
start_keyboard() {
  fed keyboard as_user "$client" keyboard
  wait_until 10 grep -q ready "$work/keyboard.out" || { echo "FAIL: no virtual keyboard"; cat "$work/keyboard.out"; }
}
keys() { printf '%s\n' "$@" >&"${to[keyboard]}"; }  # COMMAND...

# --- the compositors -------------------------------------------------------------
# Sway, labwc and cage: headless, two outputs (1280x720 unless told), grim screenshots, the one virtual keyboard.
headless() {  # SOCKET COMMAND...
  launched "$name" as_user env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_HEADLESS_OUTPUTS=2 "${@:2}"
  wait_socket "$1"
  rects=("0 0 1280 720" "1280 0 1280 720") shoot=grim_shot input=keyboard
}
# KWin, Mutter and Weston run nested in an Xvfb display 2048x768 with two outputs side by side: screenshots of
# the X display, keys with xdotool. KWin and Weston make an X window per output, Mutter one for both.
nested() {  # COMMAND...
  launched "$name" as_user "$@"
  rects=("0 0 1024 768" "1024 0 1024 768") shoot=shot input=xdotool
  wait_socket wayland-1
}
start_bus() { launched bus as_user dbus-daemon --session --nofork --address="unix:path=$runtime/bus"; wait_socket bus; socket=none; }
x_windows() { xwininfo -root -children | awk -v t="\"$1" 'index($0, t) { print $1 }'; }  # TITLE (its start)
side_by_side() {  # TITLE: the second of two X windows with that title moves right of the first
  local ids
  wait_until 20 eval '[ "$(x_windows "$1" | wc -l)" -ge 2 ]'
  ids=($(x_windows "$1") none none)
  xdotool windowmove "${ids[1]}" 1024 0
  xdotool mousemove 10 10
  sleep 0.5
}
start_sway() {
  printf '%s\n' 'output HEADLESS-1 mode --custom 1024x768 position 0 0' \
    'output HEADLESS-2 mode --custom 800x600 position 1024 0' 'output * bg #2040c0 solid_color' \
    'xwayland disable' 'default_border none' >"$work/sway.cfg"
  chmod 644 "$work/sway.cfg"
  headless wayland-1 sway -c "$work/sway.cfg"
  rects=("0 0 1024 768" "1024 0 800 600")
}
start_labwc() { headless wayland-0 labwc; }
start_cage() { headless wayland-0 cage -- sleep 1000; }
start_kwin() {
  start_xvfb 2048x768
  start_bus
  nested env KWIN_COMPOSE=Q KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 kwin_wayland --x11-display "$DISPLAY" \
    --output-count 2 --width 1024 --height 768 --socket wayland-1 --no-global-shortcuts &&
    side_by_side 'KDE Wayland Compositor'
}
start_mutter() {
  start_xvfb 2048x768
  start_bus
  nested env XDG_SESSION_TYPE=wayland MUTTER_DEBUG_NUM_DUMMY_MONITORS=2 MUTTER_DEBUG_DUMMY_MODE_SPECS=1024x768 \
    mutter --nested --wayland --no-x11 --wayland-display wayland-1 && xdotool mousemove 10 10
}
start_weston() {
  start_xvfb 2048x768
  printf '[core]\nxwayland=false\n' >"$work/weston.ini"
  chmod 644 "$work/weston.ini"
  nested weston --config="$work/weston.ini" --backend=x11 --renderer=pixman --output-count=2 --width=1024 \
    --height=768 --socket=wayland-1 && side_by_side 'Weston Compositor'
}
compositor_version() {  # NAME: its upstream version, from its Debian package
  dpkg-query -W -f '${Version}' "${1/#kwin/kwin-wayland}" 2>/dev/null | sed 's/^[0-9]*://; s/[-+~].*//'
}
stop_all() {
  local n pid
  for n in "${started[@]}"; do pid=$(pgrep -P "$(cat "$work/$n.pid")") && kill "$pid" 2>/dev/null; done
  for n in "${started[@]}"; do ends_with "$n" x 5 >/dev/null; done
  started=()
  [ -z "${DISPLAY:-}" ] || { kill "$XSERVER_PID"; XSERVER_PID=; unset DISPLAY; }
  for n in "${to[@]}"; do exec {n}>&-; done
  to=()
}

# --- the table ---------------------------------------------------------------------
run_compositor() {  # NAME ROWS
  name=$1
  echo "== $name ($2)"
  runtime=$work/run-$name shots=$work/shots socket=none started=()
  mkdir -p -m 700 "$runtime" && mkdir -p "$shots" && chown "$user" "$runtime" "$shots"
  version[$name]=$(compositor_version "$name")
  "start_$name" || true
  [ "$socket" != none ] || { mark offers "starts" false; tail -n 20 "$work/$name.out"; stop_all; return; }
  [ "$input" != keyboard ] || start_keyboard
  desktop=$shots/$name-desktop.png  # the bare desktop, for what kivo's snow adds to it
  wait_until 10 "$shoot" "$desktop"
  as_user wayland-info >"$work/$name.info" 2>&1
  has() { grep -q "interface: '$1'" "$work/$name.info"; }
  local offered="" p
  for p in zwlr_layer_shell_v1:layer ext_session_lock_manager_v1:lock wp_fractional_scale_manager_v1:frac \
    ext_idle_notifier_v1:idle; do
    if has "${p%%:*}"; then offered+="${p##*:} "; else offered+="- "; fi
  done
  offered=${offered% }
  outputs=$(grep -c "interface: 'wl_output'" "$work/$name.info")
  echo "   offers: $offered; $outputs outputs"
  set_cell offers "$offered"
  mark offers "offers what its version is known to ($offered)" [ "$offered" = "${known[$name]}" ]
  mark offers "has two outputs" [ "$outputs" = 2 ]
  # The rows asked for, in this order: a lock that keys never reach must not hide the other modes.
  for p in table:table_modes outputs:sway_output_rows table:table_lock lock:sway_lock_rows lock:sway_grace_rows \
    outputs:compositor_dies; do
    [[ ,$2, != *,${p%%:*},* ]] || "${p#*:}"
  done
  stop_all
}

table_modes() {
  start_kivo full -fullscreen --count 20000
  mark fullscreen "-fullscreen: $(covered) keeps committing" keeps_committing full
  [ "$name" != cage ] || [ "${cell[$name,fullscreen]}" != ok ] || set_cell fullscreen "ok, 1 window"
  has zwlr_layer_shell_v1 || mark fullscreen "-fullscreen without layer shell says so once" \
    [ "$(grep -c 'no wlr layer shell' "$work/full.out")" = 1 ]
  snow_shown snow "-fullscreen"
  mark key "-fullscreen: still running" running full
  type_text a
  mark key "-fullscreen: a key ends it with 0" ends_with full 0 10
  [ "${cell[$name,key]}" = FAIL ] && signal full TERM

  if has zwlr_layer_shell_v1; then
    start_kivo background -background
    mark background "-background: a surface on each output keeps committing" keeps_committing background
    type_text a
    mark background "-background: still running after a key" running background
    mark background "-background: SIGTERM ends it with 0" termed background
  else
    refused background "-background without layer shell" -background
  fi

  start_kivo window -window --count 20000
  mark window "-window: its surface keeps committing" keeps_committing window a
  wait_until 10 snow_somewhere "$shots/$name-window.png"
  mark window "-window: snow in a screenshot ($(new_bright 0 0 2560 768 "$shots/$name-window.png") bright pixels)" \
    snow_somewhere "$shots/$name-window.png"
  mark window "-window: SIGTERM ends it with 0" termed window

  # An idle daemon starts it.
  if has ext_idle_notifier_v1; then
    install -m 644 -o "$user" /dev/null "$work/idle-kivo.out"  # for kivo to write its log
    launched idle as_user swayidle -w timeout 2 "WAYLAND_DEBUG=client exec $kivo -fullscreen 2>>$work/idle-kivo.out"
    mark idle "swayidle starts kivo -fullscreen after 2 idle seconds: $(covered) keeps committing" \
      eval 'wait_until 15 grep -q commit "$work/idle-kivo.out" && keeps_committing idle-kivo'
    # The daemon goes too: another kivo it started later would cover the rows after.
    local daemon; daemon=$(pgrep -P "$(cat "$work/idle.pid")") && pkill -TERM -P "$daemon" && kill "$daemon"
  else
    set_cell idle "n/a"
    echo "   no idle notification: no idle daemon"
  fi
}

# kivo -lock, then -fullscreen --lock-after: input within the grace ends the saver, and the session was never
# locked; after it, the saver is the lock, typed into by the keyboard that was there all along.
table_lock() {
  if ! has ext_session_lock_manager_v1; then
    refused lock "-lock without session lock" -lock
    refused grace "-fullscreen --lock-after without session lock" -fullscreen --lock-after 5
    return
  fi
  start_kivo lock -lock --count 20000
  locked_until_password lock "-lock"
  start_kivo grace -fullscreen --lock-after 60 --count 5000
  keeps_committing grace
  type_text a
  mark grace "--lock-after 60: a key within the grace ends it with 0" ends_with grace 0 10
  mark grace "--lock-after 60: and the session was never locked" not grep -q '_lock_v1#[0-9]*\.locked()' "$work/grace.out"
  start_kivo grace -fullscreen --lock-after 2 --count 5000
  locked_until_password grace "--lock-after 2"
}
# The checks of a lock taken by the kivo started as NAME (its column): locked on every output with snow, a wrong
# password leaves it locked, the right one unlocks through the protocol and ends it with 0.
locked_until_password() {  # NAME WHAT
  local who=$1 log=$work/$1.out
  mark "$1" "$2: the compositor says locked" wait_until 10 grep -q '_lock_v1#[0-9]*\.locked()' "$log"
  mark "$1" "$2: a lock surface on each output keeps committing" keeps_committing "$1"
  snow_shown "$1" "$2"
  type_text wrong return
  sleep 4  # PAM's refusal takes about 2 s
  mark "$1" "$2: a wrong password leaves it locked (kivo running, never unlocked)" \
    eval 'running "$who" && ! grep -q unlock_and_destroy "$log"'
  type_text "$password" return
  mark "$1" "$2: the right password unlocks and ends it with 0" ends_with "$1" 0 15
  mark "$1" "$2: unlocked through the protocol" grep -q '_lock_v1#[0-9]*\.unlock_and_destroy()' "$log"
  gone "$1"  # what follows takes the lock over
}

for run in "${runs[@]}"; do
  SECONDS_AT=$SECONDS
  run_compositor "${run%%:*}" "$([[ $run == *:* ]] && echo "${run#*:}" || echo table)"
  echo "   $run took $((SECONDS - SECONDS_AT)) s"
done

echo
column() { if [ "$1" = offers ]; then printf ' %-20s' "$2"; else printf ' %-12s' "$2"; fi; }  # CHECK TEXT
printf '%-15s' "compositor"; for k in "${checks[@]}"; do column "$k" "$k"; done; echo
for run in "${runs[@]}"; do
  c=${run%%:*}
  printf '%-15s' "$c ${version[$c]:-?}"
  for k in "${checks[@]}"; do column "$k" "${cell[$c,$k]:--}"; done
  echo
done
[ -n "${KIVO_KEEP_SCREENSHOTS:-}" ] && cp "$work"/shots/*.png "$KIVO_KEEP_SCREENSHOTS/"
finish
