# Sourced by tests that need an X display: starts a private Xvfb (24-bit,
# 1024 x 768 unless told otherwise) or a private two-monitor Xorg, and offers
# helpers to look at the screen and find windows.
start_xvfb() {
  local size=${1:-1024x768}
  local numberFile
  numberFile=$(mktemp)
  # -displayfd: the server picks a free display itself, so tests running side
  # by side never share one. -noreset: without it the server resets (pointer
  # back to the centre) whenever its last client disconnects, e.g. between
  # two xdotool calls.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$numberFile" >/dev/null 2>&1 &
  XVFB_PID=$!
  wait_for_display "$numberFile"
}

# Two monitors side by side, as RandR outputs of Xorg's dummy driver:
# 1024x768 at +0+0 (the primary one) and 800x600 at +1024+0; with "left",
# the 800x600 one at +0+0 and the primary one at +800+0.
start_two_monitors() {
  local config=xorg-two-monitors.conf numberFile
  [ "${1:-}" = left ] && config=xorg-monitor-left.conf
  numberFile=$(mktemp)
  XORG_LOG=$(mktemp)
  Xorg -displayfd 3 -noreset -nolisten tcp -novtswitch -sharevts -config "$(dirname "${BASH_SOURCE[0]}")/$config" \
    -logfile "$XORG_LOG" 3>"$numberFile" >/dev/null 2>&1 &
  XVFB_PID=$!
  wait_for_display "$numberFile" || { echo "cannot start Xorg with two monitors (log: $XORG_LOG)"; return 1; }
  rm -f "$XORG_LOG"
}

# Waits for the server that writes its display number to $1.
wait_for_display() {
  local numberFile=$1 _
  for _ in $(seq 100); do
    [ -s "$numberFile" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n 1 "$numberFile")"
  rm -f "$numberFile"
  for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "cannot start the X server"
  return 1
}

stop_xvfb() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; }

# Whether the rectangle W H X Y of two screenshots differs: the picture moves.
picture_moves() {  # SHOT1 SHOT2 W H X Y
  local a b diff
  a=$(mktemp --suffix=.png) b=$(mktemp --suffix=.png)
  convert "$1" -crop "${3}x${4}+${5}+${6}" +repage "$a"
  convert "$2" -crop "${3}x${4}+${5}+${6}" +repage "$b"
  diff=$(compare -metric AE "$a" "$b" null: 2>&1)
  rm -f "$a" "$b"
  [ -n "$diff" ] && [ "${diff%% *}" != 0 ]
}

# Number of pixels brighter than 25% grey in a screen rectangle.
bright_pixels() {
  local x=$1 y=$2 w=$3 h=$4 shot
  shot=$(mktemp --suffix=.png)
  import -window root "$shot" 2>/dev/null
  convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage -colorspace Gray -threshold 25% \
    -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
  rm -f "$shot"
}

# Visible top-level windows whose title (as UTF-8) is exactly $1.
windows_titled() {
  local w title
  for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    title=$(LC_ALL=C.UTF-8 xprop -id "$w" -notype _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p')
    [ "$title" = "$1" ] && echo "$w"
  done
}

# Waits up to $2 seconds for a window titled $1; prints its id.
wait_window_titled() {
  local end=$((SECONDS + $2)) found
  while [ $SECONDS -lt "$end" ]; do
    found=$(windows_titled "$1" | head -n 1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.3
  done
  return 1
}

# Moves the pointer over window $1 so that keys reach it (there is no window
# manager to give it the focus).
point_at_window() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + 5)) $((Y + 5))
}
