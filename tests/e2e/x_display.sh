# Sourced by tests that need an X display: starts a private Xvfb (24-bit,
# 1024 x 768) and offers helpers to look at the screen and find windows.
start_xvfb() {
  local n
  for n in $(seq 70 99); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    # -noreset: without it the server resets (pointer back to the centre)
    # whenever its last client disconnects, e.g. between two xdotool calls.
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null
  done
  echo "cannot start Xvfb"
  return 1
}

stop_xvfb() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; }

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
