#!/usr/bin/env bash
# kivo on every Wayland desktop the README names, in the Debian 13 root, as an
# ordinary user, one table of compositors and modes:
#   wayland_test.sh KIVO TEST_CLIENT PAM_FILE COMPOSITOR[:ROWS]...
# COMPOSITOR: sway labwc kwin mutter cage weston; ROWS, a comma list of table
# (the default), outputs and lock: the rows only Sway can run (wayland_rows.sh).
# Sway, labwc and cage run headless with two outputs: screenshots with grim,
# keys through one virtual keyboard made before any kivo and kept, as a real
# one is. KWin, Mutter and Weston run nested in Xvfb (two outputs side by
# side): screenshots of the X display, keys with xdotool. What a compositor
# offers must be what its version is known to, and decides what kivo must do
# there: run, or refuse. kivo's Wayland log (WAYLAND_DEBUG) shows its surfaces
# committing on each output.
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

# The protocols each compositor's Debian 13 version offers, of those kivo
# uses: layer shell, session lock, fractional scale, idle notification.
declare -A known=(
  [sway]="layer lock frac idle"
  [labwc]="layer lock frac idle"
  [kwin]="layer - frac idle"
  [mutter]="- - frac -"
  [cage]="- - - idle"
  [weston]="- - - -"
)
checks=(offers fullscreen snow key background window idle lock grace outputs)

user=kivo-test
id "$user" >/dev/null 2>&1 || useradd -m "$user"
password='Snow-fall 42'
echo "$user:$password" | chpasswd
cp "$pam" /etc/pam.d/kivo
chmod 755 "$work"

declare -A cell version
set_cell() { cell[$name,$1]=$2; }  # CHECK TEXT
# A check that counts and fills the table's cell.
mark() {  # CHECK DESCRIPTION COMMAND...
  local column=$1 what=$2; shift 2
  if "$@"; then
    passes=$((passes + 1)); echo "ok: $name: $what"
    [ -n "${cell[$name,$column]:-}" ] || set_cell "$column" ok
  else
    failures=$((failures + 1)); echo "FAIL: $name: $what"
    set_cell "$column" FAIL
  fi
}
refused() {  # CHECK DESCRIPTION ARG...
  local column=$1 what=$2; shift 2
  mark "$column" "$what" refuses as_user "$kivo" "$@"
  [ "${cell[$name,$column]}" = ok ] && set_cell "$column" refused
}

as_user() {
  setpriv --reuid "$user" --regid "$user" --init-groups env HOME="$(getent passwd "$user" | cut -d: -f6)" \
    XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="${WAYLAND_DISPLAY_FOR_KIVO:-$socket}" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" ${DISPLAY:+DISPLAY=$DISPLAY} "$@"
}
# kivo as NAME, logging its Wayland requests and events to $work/NAME.out
# (quietly, with only what kivo itself says there: start_quiet).
start_kivo() { local n=$1; shift; started+=("$n"); start "$n" as_user env WAYLAND_DEBUG=client "$kivo" "$@"; }
start_quiet() { local n=$1; shift; started+=("$n"); start "$n" as_user "$kivo" "$@"; }
launched() { started+=("$1"); start "$@"; }
wait_socket() { wait_until 15 test -S "$runtime/$1" && socket=$1; }  # NAME: sets socket once it is there

# --- what kivo's log shows --------------------------------------------------
# The wl_output objects of the client's log whose surfaces committed at
# least 5 times after line FROM: a layer surface, a lock surface or a
# fullscreen toplevel made for that output, or a subsurface the compositor
# says is on it.
committing_outputs() {  # LOG FROM
  awk -v from="$2" '
    /-> .*get_layer_surface\(|-> .*get_lock_surface\(/ {
      if (match($0, /wl_surface#[0-9]+/)) { s = substr($0, RSTART, RLENGTH)
        if (match($0, /wl_output#[0-9]+/)) out[s] = substr($0, RSTART, RLENGTH) } }
    /-> .*get_xdg_surface\(/ { match($0, /xdg_surface#[0-9]+/); x = substr($0, RSTART, RLENGTH)
      match($0, /wl_surface#[0-9]+/); surf_of[x] = substr($0, RSTART, RLENGTH) }
    /-> xdg_surface#[0-9]+\.get_toplevel\(/ { match($0, /xdg_surface#[0-9]+/); x = substr($0, RSTART, RLENGTH)
      match($0, /xdg_toplevel#[0-9]+/); top[substr($0, RSTART, RLENGTH)] = surf_of[x] }
    /-> xdg_toplevel#[0-9]+\.set_fullscreen\(wl_output#/ { match($0, /xdg_toplevel#[0-9]+/); t = substr($0, RSTART, RLENGTH)
      match($0, /wl_output#[0-9]+/); out[top[t]] = substr($0, RSTART, RLENGTH) }
    /-> wl_subcompositor#[0-9]+\.get_subsurface\(/ { match($0, /wl_surface#[0-9]+/); subs[substr($0, RSTART, RLENGTH)] = 1 }
    !/->/ && /wl_surface#[0-9]+\.enter\(wl_output#/ { match($0, /wl_surface#[0-9]+/); s = substr($0, RSTART, RLENGTH)
      if (s in subs) { match($0, /wl_output#[0-9]+/); out[s] = substr($0, RSTART, RLENGTH) } }
    NR > from && /-> wl_surface#[0-9]+\.commit\(\)/ { match($0, /wl_surface#[0-9]+/); n[substr($0, RSTART, RLENGTH)]++ }
    END { for (s in n) if (n[s] >= 5 && (s in out)) print out[s] }' "$1" | sort -u | wc -l
}
# Surfaces of any kind that committed at least 5 times after line FROM.
committing_surfaces() {  # LOG FROM
  awk -v from="$2" 'NR > from && /-> wl_surface#[0-9]+\.commit\(\)/ { match($0, /wl_surface#[0-9]+/); n[substr($0, RSTART, RLENGTH)]++ }
    END { for (s in n) if (n[s] >= 5) k++; print k + 0 }' "$1"
}
# Every output (or with "a", one surface) has a surface of kivo's that keeps
# committing: one that committed 5 times after the moment this was called.
keeps_committing() {  # NAME [a]
  local log=$work/$1.out from count=committing_outputs least=$outputs
  [ -z "${2:-}" ] || count=committing_surfaces least=1
  wait_until 10 test -e "$log"
  from=$(wc -l <"$log")
  wait_until 10 eval '[ "$($count "$log" "$from")" -ge "$least" ]'
}

# cage lays every toplevel over the whole layout, one above the other: kivo
# keeps one window there with a subsurface per output. Either way each
# output has a surface of its own that keeps committing.
covered() { echo "a $([ "$name" = cage ] && echo sub)surface on each of the $outputs outputs"; }

# --- screenshots and keys ------------------------------------------------------
grim_shot() { as_user grim "$shots/grab.png" && cp "$shots/grab.png" "$1"; }
x_shot() { import -window root "$1" 2>/dev/null; }
# Pixels brighter than 25 % grey in the rectangle X Y W H of FILE that are
# not so in the screenshot of the bare desktop taken before kivo ran.
new_bright() {  # X Y W H FILE
  convert "$5" "$desktop" -compose ChangeMask -composite -background black -alpha remove \
    -crop "${3}x${4}+${1}+${2}" +repage -alpha off -colorspace Gray -threshold 25% \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
snow_everywhere() {  # FILE: a new screenshot with snow on every output
  local r x y w h
  "$shoot" "$1" || return 1
  for r in "${rects[@]}"; do
    read -r x y w h <<<"$r"
    [ "$(new_bright "$x" "$y" "$w" "$h" "$1")" -gt 100 ] || return 1
  done
}
snow_somewhere() { "$shoot" "$1" && [ "$(new_bright 0 0 2560 768 "$1")" -gt 100 ]; }  # FILE: a new screenshot with snow
lit_per_output() {  # FILE: new bright pixels on each output
  local r x y w h
  for r in "${rects[@]}"; do read -r x y w h <<<"$r"; printf '%s ' "$(new_bright "$x" "$y" "$w" "$h" "$1")"; done
}
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
# The one virtual keyboard, made once the compositor is up: it types what
# keys writes, a line per command, for as long as the compositor runs.
start_keyboard() {
  rm -f "$work/keys"; mkfifo "$work/keys"; exec {kbd}<>"$work/keys"
  started+=(keyboard)
  ( as_user "$client" keyboard <"$work/keys" >"$work/keyboard.out" 2>&1; echo $? >"$work/keyboard.exit" ) &
  echo $! >"$work/keyboard.pid"
  wait_until 10 grep -q ready "$work/keyboard.out" || { echo "FAIL: no virtual keyboard"; cat "$work/keyboard.out"; }
}
keys() { printf '%s\n' "$@" >&"$kbd"; }  # COMMAND...

# --- the compositors -------------------------------------------------------------
wlr_env=(WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=2)
start_bus() { launched bus as_user dbus-daemon --session --nofork --address="unix:path=$runtime/bus"; wait_socket bus; socket=none; }
# An Xvfb display 2048x768 for a nested compositor, whose two outputs become
# two X windows (KWin, Weston), laid side by side; Mutter makes one window.
start_x() { start_xvfb 2048x768; }
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
  launched sway as_user env "${wlr_env[@]}" sway -c "$work/sway.cfg"
  wait_socket wayland-1
  rects=("0 0 1024 768" "1024 0 800 600") shoot=grim_shot input=keyboard
}
start_labwc() {
  launched labwc as_user env "${wlr_env[@]}" labwc
  wait_socket wayland-0
  rects=("0 0 1280 720" "1280 0 1280 720") shoot=grim_shot input=keyboard
}
start_cage() {
  launched cage as_user env "${wlr_env[@]}" cage -- sleep 1000
  wait_socket wayland-0
  rects=("0 0 1280 720" "1280 0 1280 720") shoot=grim_shot input=keyboard
}
start_kwin() {
  start_x
  start_bus
  launched kwin as_user env KWIN_COMPOSE=Q KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 kwin_wayland --x11-display "$DISPLAY" \
    --output-count 2 --width 1024 --height 768 --socket wayland-1 --no-global-shortcuts
  wait_socket wayland-1 && side_by_side 'KDE Wayland Compositor'
  rects=("0 0 1024 768" "1024 0 1024 768") shoot=x_shot input=xdotool
}
start_mutter() {
  start_x
  start_bus
  launched mutter as_user env XDG_SESSION_TYPE=wayland MUTTER_DEBUG_NUM_DUMMY_MONITORS=2 \
    MUTTER_DEBUG_DUMMY_MODE_SPECS=1024x768 mutter --nested --wayland --no-x11 --wayland-display wayland-1
  wait_socket wayland-1 && xdotool mousemove 10 10
  rects=("0 0 1024 768" "1024 0 1024 768") shoot=x_shot input=xdotool
}
start_weston() {
  start_x
  printf '[core]\nxwayland=false\n' >"$work/weston.ini"
  chmod 644 "$work/weston.ini"
  launched weston as_user weston --config="$work/weston.ini" --backend=x11 --renderer=pixman --output-count=2 \
    --width=1024 --height=768 --socket=wayland-1
  wait_socket wayland-1 && side_by_side 'Weston Compositor'
  rects=("0 0 1024 768" "1024 0 1024 768") shoot=x_shot input=xdotool
}
compositor_version() {
  case $1 in
    sway) sway --version ;; labwc) labwc --version ;; cage) dpkg-query -W -f '${Version}' cage ;;
    kwin) kwin_wayland --version ;; mutter) mutter --version | head -n 1 ;; weston) weston --version ;;
  esac 2>/dev/null | head -n 1 | grep -o '[0-9][0-9.]*[0-9]' | head -n 1
}
stop_all() {
  local n pid
  for n in "${started[@]}"; do
    pid=$(pgrep -P "$(cat "$work/$n.pid")") && kill "$pid" 2>/dev/null
  done
  for n in "${started[@]}"; do ends_with "$n" x 5 >/dev/null; done
  started=()
  [ -z "${DISPLAY:-}" ] || { kill "$XSERVER_PID"; XSERVER_PID=; unset DISPLAY; }
  [ -z "${kbd:-}" ] || exec {kbd}>&-
  kbd=
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

  # The bare desktop, for what kivo's snow adds to it.
  desktop=$shots/$name-desktop.png
  wait_until 10 "$shoot" "$desktop"

  # What it offers.
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
  [ "${cell[$name,offers]}" = FAIL ] || set_cell offers "$offered"

  [[ ,$2, != *,table,* ]] || table_modes
  [[ ,$2, != *,outputs,* ]] || sway_output_rows
  [[ ,$2, != *,table,* ]] || table_lock
  [[ ,$2, != *,table,* ]] || table_grace
  [[ ,$2, != *,lock,* ]] || sway_lock_rows
  [[ ,$2, != *,lock,* ]] || sway_grace_rows
  [[ ,$2, != *,outputs,* ]] || compositor_dies
  stop_all
}

table_modes() {
  # -fullscreen
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

  # -background
  if has zwlr_layer_shell_v1; then
    start_kivo background -background
    mark background "-background: a surface on each output keeps committing" keeps_committing background
    type_text a
    mark background "-background: still running after a key" running background
    signal background TERM
    mark background "-background: SIGTERM ends it with 0" ends_with background 0 10
  else
    refused background "-background without layer shell" -background
  fi

  # -window
  start_kivo window -window --count 20000
  mark window "-window: its surface keeps committing" keeps_committing window a
  wait_until 10 snow_somewhere "$shots/$name-window.png"
  mark window "-window: snow in a screenshot ($(new_bright 0 0 2560 768 "$shots/$name-window.png") bright pixels)" \
    snow_somewhere "$shots/$name-window.png"
  signal window TERM
  mark window "-window: SIGTERM ends it with 0" ends_with window 0 10

  # An idle daemon starts it.
  if has ext_idle_notifier_v1; then
    : >"$work/idle-kivo.out"
    chown "$user" "$work/idle-kivo.out"
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

# Last of the table: a lock that keys never reach must not hide the other modes.
table_lock() {
  if ! has ext_session_lock_manager_v1; then refused lock "-lock without session lock" -lock; return; fi
  start_kivo lock -lock --count 20000
  mark lock "-lock: the compositor says locked" wait_until 10 grep -q 'ext_session_lock_v1#[0-9]*\.locked()' "$work/lock.out"
  mark lock "-lock: a lock surface on each output keeps committing" keeps_committing lock
  snow_shown lock "-lock"
  type_text wrong return
  sleep 4  # PAM's refusal takes about 2 s
  mark lock "-lock: a wrong password leaves it locked (locked, kivo running, never unlocked)" \
    eval 'grep -q "ext_session_lock_v1#[0-9]*\.locked()" "$work/lock.out" && running lock &&
      ! grep -q unlock_and_destroy "$work/lock.out"'
  type_text "$password" return
  mark lock "-lock: the right password unlocks and ends it with 0" ends_with lock 0 15
  mark lock "-lock: unlocked through the protocol" grep -q 'ext_session_lock_v1#[0-9]*\.unlock_and_destroy()' "$work/lock.out"
  ended lock || { signal lock KILL; ends_with lock 137 5 >/dev/null; }  # what follows takes the lock over
}

# -fullscreen --lock-after: input within the grace ends the saver, and the
# session was never locked; after it, the saver is the lock, typed into by
# the keyboard that was there all along.
table_grace() {
  if ! has ext_session_lock_manager_v1; then
    refused grace "-fullscreen --lock-after without session lock" -fullscreen --lock-after 5
    return
  fi
  start_kivo grace -fullscreen --lock-after 60 --count 5000
  keeps_committing grace
  type_text a
  mark grace "--lock-after 60: a key within the grace ends it with 0" ends_with grace 0 10
  mark grace "--lock-after 60: and the session was never locked" not grep -q '_lock_v1#[0-9]*\.locked()' "$work/grace.out"
  start_kivo grace -fullscreen --lock-after 2 --count 5000
  mark grace "--lock-after 2: the compositor says locked" wait_until 10 grep -q '_lock_v1#[0-9]*\.locked()' "$work/grace.out"
  mark grace "--lock-after 2: a lock surface on each output keeps committing" keeps_committing grace
  type_text wrong return
  sleep 4  # PAM's refusal takes about 2 s
  mark grace "--lock-after 2: a wrong password leaves it locked" \
    eval 'running grace && ! grep -q unlock_and_destroy "$work/grace.out"'
  type_text "$password" return
  mark grace "--lock-after 2: the right password unlocks and ends it with 0" ends_with grace 0 15
  ended grace || { signal grace KILL; ends_with grace 137 5 >/dev/null; }
}

for run in "${runs[@]}"; do
  started=()
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
