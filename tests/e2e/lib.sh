# Sourced by every end-to-end script: counted checks, a work folder removed at exit, programs in the
# background with their exit codes, private X displays, and looking at the screen.

# --- checks -------------------------------------------------------------
passes=0
failures=0
check() {  # DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else failures=$((failures + 1)); echo "FAIL: $what"; fi
}
not() { ! "$@"; }
finish() {
  echo "$passes passed, $failures failed"
  [ "$failures" = 0 ]
}
# Exit code 2 and exactly one line on standard error (kept in $work/refusal): how every program refuses.
refuses() {  # COMMAND...
  local rc; "$@" 2>"$work/refusal" >/dev/null; rc=$?
  echo "   exit $rc: $(head -n 1 "$work/refusal")"
  [ "$rc" = 2 ] && [ "$(grep -c '' "$work/refusal")" = 1 ]
}
expect_refusal() { local what=$1; shift; check "$what: exit 2 with one line" refuses "$@"; }  # DESCRIPTION COMMAND...

# --- work folder and clean-up -----------------------------------------------
work=$(mktemp -d)
at_exit=()
cleanup() {
  local c
  for c in "${at_exit[@]}"; do eval "$c"; done
  # What start ran is a child of the subshell it left behind.
  for c in "$work"/*.pid; do [ -f "$c" ] && pkill -P "$(cat "$c")" 2>/dev/null; done
  pkill -P $$ 2>/dev/null
  [ -n "${XSERVER_PID:-}" ] && kill "$XSERVER_PID" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# --- programs in the background ---------------------------------------------
# start NAME COMMAND...: output in $work/NAME.out, exit code in $work/NAME.exit.
start() {
  local name=$1; shift
  rm -f "$work/$name.exit" "$work/$name.out"
  ( "$@" >"$work/$name.out" 2>&1; echo $? >"$work/$name.exit" ) &
  echo $! >"$work/$name.pid"
}
# Sends a signal to the program started as NAME (and to nothing else: other tests may run the same one).
signal() { pkill "-$2" -P "$(cat "$work/$1.pid")"; }  # NAME SIGNAL
# The exit code of the program started as NAME within SECONDS, or "running".
exit_code() { wait_for_file "$work/$1.exit" "$2" && cat "$work/$1.exit" || echo running; }  # NAME SECONDS
ends_with() { [ "$(exit_code "$1" "${3:-20}")" = "$2" ]; }  # NAME CODE [SECONDS]
running() { [ "$(exit_code "$1" 1)" = running ]; }          # NAME
# One row of the drivers: start COMMAND... as NAME, wait up to 10 s for READY (a command: snow on the
# screen, a window shown), then ACT (a command line), and expect NAME to end with CODE, or "running".
expect_after() {  # WHAT NAME READY ACT CODE COMMAND...
  local what=$1 name=$2 ready=$3 act=$4 code=$5; shift 5
  start "$name" "$@"
  wait_until 10 $ready
  eval "$act"
  if [ "$code" = running ]; then check "$what: it runs on" running "$name"
  else check "$what: it ends with $code" ends_with "$name" "$code" 15; fi
}
all_started_ended() {  # whether every program start ran has ended
  local p; for p in "$work"/*.pid; do [ ! -f "$p" ] || [ -s "${p%.pid}.exit" ] || return 1; done
}
# Whether the program started as NAME (its process COMMAND) used under half a percent of one core over 5 s.
quiet_for_5s() {  # NAME [COMMAND]
  local pid a b
  pid=$(pgrep -P "$(cat "$work/$1.pid")" -x "${2:-kivo}") || return 1
  a=$(awk '{print $14 + $15}' "/proc/$pid/stat"); sleep 5; b=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  echo "   $((b - a)) ticks of 1/$(getconf CLK_TCK) s in 5 s"
  [ $((1000 * (b - a))) -lt $((25 * $(getconf CLK_TCK))) ]
}
# Whether COMMAND succeeds within SECONDS (a decimal such as 1.5): it is tried at once, then every
# 50 ms, and once more when the time is up.
wait_until() {  # SECONDS COMMAND...
  local whole=${1%%.*} part=000000 end
  [[ $1 == *.* ]] && part=${1#*.}000000
  end=$(($(now_us) + 10#${whole:-0} * 1000000 + 10#${part:0:6})); shift
  while :; do
    "$@" && return 0
    [ "$(now_us)" -lt "$end" ] || { "$@"; return; }
    sleep 0.05
  done
}
now_us() { local t=${EPOCHREALTIME/[.,]/}; echo "$((10#$t))"; }  # the time in microseconds
wait_for_line() {  # FILE TEXT SECONDS
  local end=$((SECONDS + $3))
  while [ $SECONDS -lt "$end" ]; do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
wait_for_file() { wait_for_line "$1" '' "$2"; }  # FILE SECONDS: until FILE has a line

# --- private X displays -------------------------------------------------------
# -displayfd: the server picks a free display, so tests may run side by side. -noreset: otherwise the
# server resets (pointer to the centre) whenever its last client leaves, e.g. between two xdotool calls.
start_xvfb() { start_x_server Xvfb -screen 0 "${1:-1024x768}x24"; }  # [WxH], 1024x768 by default, 24 bits
# Two monitors side by side as RandR outputs of Xorg's dummy driver: 1024x768 at +0+0 (primary) and
# 800x600 at +1024+0; with "left", the 800x600 one at +0+0 and the primary one at +800+0.
start_two_monitors() {
  local config=xorg-two-monitors.conf
  [ "${1:-}" = left ] && config=xorg-monitor-left.conf
  start_x_server Xorg -novtswitch -sharevts -config "$(dirname "${BASH_SOURCE[0]}")/$config" -logfile "$work/xorg.log" ||
    { echo "cannot start Xorg with two monitors:"; tail -n 20 "$work/xorg.log"; return 1; }
}
start_x_server() {  # SERVER ARGS...: exports DISPLAY once the server answers
  : >"$work/display"  # emptied first: a server started before may have left its number
  "$@" -displayfd 3 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
  XSERVER_PID=$!
  wait_for_file "$work/display" 10
  export DISPLAY=":$(head -n 1 "$work/display")"
  wait_until 5 quiet xdpyinfo && return
  echo "cannot start the X server"
  return 1
}
quiet() { "$@" >/dev/null 2>&1; }

# --- the screen ----------------------------------------------------------------
shot() { import -window root "$1" 2>/dev/null; }  # FILE
# Pixels brighter than 25 % grey in the rectangle X Y W H of SHOT (or of the screen now).
bright_pixels() {  # X Y W H [SHOT]
  local file=${5:-$work/now.png}
  [ -n "${5:-}" ] || shot "$file"
  convert "$file" -crop "${3}x${4}+${1}+${2}" +repage -alpha off -colorspace Gray -threshold 25% \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
# Whether the rectangle X Y W H differs between two screenshots.
picture_moves() {  # SHOT1 SHOT2 X Y W H
  local crop="[${5}x${6}+${3}+${4}]" diff
  diff=$(compare -metric AE "$1$crop" "$2$crop" null: 2>&1)
  [ -n "$diff" ] && [ "${diff%% *}" != 0 ]
}
# Snow (more than MIN bright pixels) in each rectangle "X Y W H NAME" and a moving picture there: up to
# SECONDS for a screenshot with snow in every rectangle (kept as $work/a.png; READY, when set, names one
# more command it must pass, given the file), then up to 5 s for a later one in which the picture moved
# in every rectangle. SHOOT names the command that takes the screenshots (shot by default).
snowing_within() {  # SECONDS WHAT MIN RECT...
  # Not "name": the Wayland driver's check labels its lines and fills its table by that one.
  local seconds=$1 what=$2 min=$3 r area lit; shift 3
  wait_until "$seconds" snow_in_shot "$work/a.png" "$min" "$@"
  for r in "$@"; do
    area=${r#* * * * } lit=$(snow_in "$work/a.png" $r)
    check "$what: snow on $area ($lit bright pixels)" [ "${lit:-0}" -gt "$min" ]
  done
  wait_until 5 moved_in_shot "$work/a.png" "$work/b.png" "$@"
  for r in "$@"; do
    area=${r#* * * * }
    check "$what: the picture moves on $area" picture_moves "$work/a.png" "$work/b.png" $r
  done
}
snow_in() { bright_pixels "$2" "$3" "$4" "$5" "$1"; }  # SHOT X Y W H [NAME...]
snow_in_shot() {  # FILE MIN RECT...: a new screenshot in FILE with snow in every rectangle
  local file=$1 min=$2 r lit; shift 2
  "${SHOOT:-shot}" "$file" || return 1
  for r in "$@"; do
    lit=$(snow_in "$file" $r)
    [ "${lit:-0}" -gt "$min" ] || return 1
  done
  [ -z "${READY:-}" ] || "$READY" "$file"
}
moved_in_shot() {  # FIRST FILE RECT...: a new screenshot in FILE that differs from FIRST in every rectangle
  local first=$1 file=$2 r; shift 2
  "${SHOOT:-shot}" "$file" || return 1
  for r in "$@"; do picture_moves "$first" "$file" $r || return 1; done
}
lit_over() { LIT=$(bright_pixels "$2" "$3" "$4" "$5"); [ "${LIT:-0}" -gt "$1" ]; }  # MIN X Y W H: sets LIT
dark() {  # WHAT X Y W H: nothing drawn there
  local lit; lit=$(bright_pixels "$2" "$3" "$4" "$5")
  check "$1 ($lit bright pixels)" [ "${lit:-1}" = 0 ]
}

# --- windows and input ---------------------------------------------------------
# Visible top-level windows whose title (as UTF-8) is exactly $1.
windows_titled() {
  local w
  for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    [ "$(LC_ALL=C.UTF-8 xprop -id "$w" -notype _NET_WM_NAME 2>/dev/null |
      sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p')" = "$1" ] && echo "$w"
  done
}
wait_window_titled() { wait_until "$2" first_window_titled "$1"; }  # TITLE SECONDS: prints the window's id
first_window_titled() { windows_titled "$1" | head -n 1 | grep . || { sleep 0.25; false; }; }
pointer_at() { eval "$(xdotool getmouselocation --shell)"; [ "$X,$Y" = "$1,$2" ]; }  # X Y; sets X, Y
# Keys reach the window under the pointer: there is no window manager.
point_at_window() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + 5)) $((Y + 5))
}
# COUNT purely horizontal moves of 10 px from X,Y (none may end a saver), then a pause.
slide_right() {  # X Y COUNT SECONDS
  local i
  for i in $(seq 1 "$3"); do xdotool mousemove $(($1 + 10 * i)) "$2"; sleep 0.1; done
  sleep "$4"
}
