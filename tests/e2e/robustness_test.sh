#!/usr/bin/env bash
# Unattended running: memcheck with nothing lost, heap exhaustion injected
# into the frame buffer's allocation, and screens of one pixel.
#   robustness_test.sh KIVO_RENDER KIVO FAILING_CALLOC_LIBRARY
set -u
render=$1
kivo=$2
failing_calloc=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/x_display.sh"
. "$here/test_lib.sh"
. "$here/kivo_run.sh"
nothing_lost() { grep -q "All heap blocks were freed -- no leaks are possible" "$1" && grep -q "ERROR SUMMARY: 0 errors" "$1"; }
# Runs kivo in the background for a while, then SIGTERM; its code is printed.
run_then_term() {
  local seconds=$1; shift
  "$@" >"$work/kivo.out" 2>&1 &
  local pid=$!
  sleep "$seconds"
  kill -0 "$pid" 2>/dev/null || { wait "$pid"; echo "ended early with $?"; return; }
  kill -TERM "$pid"
  wait "$pid"
  echo $?
}

echo "-- memcheck"
valgrind --leak-check=full --show-leak-kinds=all --error-exitcode=3 \
  "$render" --width 640 --height 480 --count 30000 --seed 3 --frames 60 --out "$work/vg.png" >"$work/vg.log" 2>&1
check "kivo-render under memcheck: no error, 0 bytes lost" nothing_lost "$work/vg.log"

echo "-- an exhausted heap"
out=$(KIVO_FAIL_CALLOC_ABOVE=1000000 LD_PRELOAD=$failing_calloc "$render" --width 800 --height 600 --seed 1 \
  --frames 5 --out "$work/nomem.bmp" 2>&1); rc=$?
check "kivo-render without memory for its frame buffer exits 2 ($out)" [ "$rc" = 2 ]
check "and leaves no file" [ ! -e "$work/nomem.bmp" ]

start_xvfb || exit 1
code=$(KIVO_FAIL_CALLOC_ABOVE=1000000 LD_PRELOAD=$failing_calloc run_then_term 2 "$kivo" -geometry 800x600 --seed 1)
check "kivo without memory for its frame buffer keeps running and ends cleanly on SIGTERM ($code)" [ "$code" = 0 ]

echo "-- memcheck of kivo ending on SIGTERM"
code=$(run_then_term 6 valgrind --leak-check=full --error-exitcode=3 "$kivo" -geometry 320x240 --seed 2 --count 5000)
check "kivo under memcheck exits 0 on SIGTERM ($code)" [ "$code" = 0 ]
check "with no memory errors and nothing definitely lost" \
  grep -q -E "definitely lost: 0 bytes|no leaks are possible" "$work/kivo.out"
stop_xvfb

echo "-- a screen one pixel wide"
start_xvfb 1x100 || exit 1
code=$(run_then_term 2 "$kivo" -fullscreen --seed 4 --count 30000)
check "kivo full screen on a 1 x 100 screen runs and ends cleanly ($code)" [ "$code" = 0 ]
"$render" --width 1 --height 1 --count 30000 --frames 200 --seed 9 --out "$work/one.bmp"
check "kivo-render draws a 1 x 1 frame" [ "$(stat -c %s "$work/one.bmp")" = 58 ]

finish
