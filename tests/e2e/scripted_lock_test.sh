#!/usr/bin/env bash
# kivo -lock under the scripted compositor (tests/wayland/scripted_compositor.cpp), inside the Debian 13 root, as an
# ordinary user whose password PAM checks for real; one compositor run per case (all of them by default):
#   scripted_lock_test.sh KIVO COMPOSITOR PAM_FILE [CASE...]
set -u
kivo=$1 compositor=$2 pam=$3; shift 3
[ $# -gt 0 ] || set -- keymap batch late-locked no-shell old-versions held-key
. "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] || { echo "FAIL: the scripted lock test makes a test user: it needs root"; exit 1; }
user=kivo-test
id "$user" >/dev/null 2>&1 || useradd -m "$user"
echo "$user:Snow-fall 42" | chpasswd  # what the compositor types
cp "$pam" /etc/pam.d/kivo
chmod 755 "$work"
runtime=$work/runtime
mkdir -p -m 700 "$runtime" && chown "$user" "$runtime"
for case in "$@"; do
  echo "-- $case"
  timeout 60 setpriv --reuid "$user" --regid "$user" --init-groups env -u WAYLAND_DISPLAY \
    HOME="$(getent passwd "$user" | cut -d: -f6)" XDG_RUNTIME_DIR="$runtime" "$compositor" "$kivo" "$case" 2>&1 |
    tee "$work/case.out"
  # Its own count joins this script's.
  read -r p _ f _ < <(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$work/case.out" | tail -n 1)
  if [ -n "${p:-}" ]; then
    passes=$((passes + p)) failures=$((failures + f))
  else
    check "$case: the compositor ran to its count" false
  fi
done
finish
