# Sourced by the end-to-end scripts that run kivo, after x_display.sh and
# test_lib.sh, with $kivo set: a private work folder cleaned up at exit
# (with the X server and every child), and kivo started in the background.
work=$(mktemp -d)
cleanup() { pkill -P $$ 2>/dev/null; stop_xvfb; rm -rf "$work"; }
trap cleanup EXIT

# Starts kivo in the background; its exit code lands in $work/$1.exit.
start_kivo() {
  local name=$1; shift
  rm -f "$work/$name.exit" "$work/$name.out"
  ( "$kivo" "$@" >"$work/$name.out" 2>&1; echo $? >"$work/$name.exit" ) &
  KIVO_PID=$!
}
exit_code() { code_in "$work/$1.exit" "$2"; }  # NAME SECONDS
# Our own kivo only: other tests may run theirs at the same time.
kivo_pid() { pgrep -P "$KIVO_PID" -x kivo | head -n 1; }
