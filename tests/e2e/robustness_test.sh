#!/usr/bin/env bash
# Unattended running: memcheck with nothing lost, heap exhaustion injected
# into the frame buffer's allocation, and screens of one pixel.
#   robustness_test.sh KIVO_RENDER KIVO FAILING_CALLOC_LIBRARY
set -u
render=$1 kivo=$2 failing_calloc=$3
. "$(dirname "$0")/lib.sh"
# Starts COMMAND; once READY (a command line) passes it must still run, and end with 0 on SIGTERM.
runs_then_ends() {  # NAME READY COMMAND...
  start "$1" "${@:3}"
  wait_until 30 $2 && running "$1" && signal "$1" TERM && ends_with "$1" 0 30
}
window_shown() { [ -n "$(xdotool search --onlyvisible --name '' 2>/dev/null)" ]; }
no_valgrind_errors() { grep -q "ERROR SUMMARY: 0 errors" "$1" && grep -q -E "$2" "$1"; }

echo "-- memcheck"
valgrind --leak-check=full --show-leak-kinds=all --error-exitcode=3 \
  "$render" --width 640 --height 480 --count 30000 --seed 3 --frames 60 --out "$work/vg.png" >"$work/vg.log" 2>&1
check "kivo-render under memcheck: no error, 0 bytes lost" \
  no_valgrind_errors "$work/vg.log" "All heap blocks were freed -- no leaks are possible"

echo "-- an exhausted heap"
out=$(KIVO_FAIL_CALLOC_ABOVE=1000000 LD_PRELOAD=$failing_calloc "$render" --width 800 --height 600 --seed 1 \
  --frames 5 --out "$work/nomem.bmp" 2>&1); rc=$?
check "kivo-render without memory for its frame buffer exits 2 ($out)" [ "$rc" = 2 ]
check "and leaves no file" [ ! -e "$work/nomem.bmp" ]

start_xvfb || exit 1
check "kivo without memory for its frame buffer keeps running and ends cleanly on SIGTERM" \
  runs_then_ends nomem window_shown env KIVO_FAIL_CALLOC_ABOVE=1000000 LD_PRELOAD="$failing_calloc" "$kivo" -geometry 800x600 --seed 1
check "kivo under memcheck exits 0 on SIGTERM" \
  runs_then_ends vg "lit_over 0 0 0 320 240" valgrind --leak-check=full --error-exitcode=3 "$kivo" -geometry 320x240 --seed 2 --count 5000
check "with no memory errors and nothing definitely lost" \
  no_valgrind_errors "$work/vg.out" "definitely lost: 0 bytes|no leaks are possible"
kill "$XSERVER_PID"

echo "-- a screen one pixel wide"
start_xvfb 1x100 || exit 1
check "kivo full screen on a 1 x 100 screen runs and ends cleanly" runs_then_ends tiny window_shown "$kivo" -fullscreen --count 30000
"$render" --width 1 --height 1 --count 30000 --frames 200 --seed 9 --out "$work/one.bmp"
check "kivo-render draws a 1 x 1 frame" [ "$(stat -c %s "$work/one.bmp")" = 58 ]
finish
