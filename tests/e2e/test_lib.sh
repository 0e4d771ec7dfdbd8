# Sourced by the end-to-end scripts: checks that are counted and reported,
# and waiting for the exit code of a program started in the background.
failures=0
passes=0

check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# The exit code written to FILE within SECONDS, or "running".
code_in() {
  local end=$((SECONDS + $2))
  while [ $SECONDS -lt "$end" ]; do
    [ -s "$1" ] && { cat "$1"; return; }
    sleep 0.1
  done
  echo running
}

# Waits up to SECONDS for a line matching TEXT in FILE.
wait_for_line() {  # FILE TEXT SECONDS
  local end=$((SECONDS + $3))
  while [ $SECONDS -lt "$end" ]; do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

finish() {
  echo "$passes passed, $failures failed"
  [ "$failures" = 0 ]
}
