#!/usr/bin/env bash
# The Debian package as a user meets it: built by CPack from the native tree,
# checked by lintian, installed with dpkg, kivo started by the real
# XScreenSaver daemon of an ordinary user, then removed and purged.
#   debian_package_test.sh NATIVE_BUILD_DIR VERSION
# Needs root (dpkg, a test user); it installs into this machine and purges
# the package again whatever happens.
set -u
build=$(realpath "$1") version=$2
. "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] || { echo "FAIL: the package test needs root"; exit 1; }
user=kivo-test
as_user() { su "$user" -s /bin/sh -c "DISPLAY=$DISPLAY $*"; }
at_exit+=("as_user xscreensaver-command -exit >/dev/null 2>&1; pkill -u $user; dpkg --purge kivo >/dev/null 2>&1")
quiet() { "$@" >/dev/null 2>&1; }
renders_cleanly() {  # PAGE: present, groff -ww has nothing to say, man shows it
  [ -f "$1" ] && [ -z "$(zcat "$1" | groff -ww -z -man 2>&1)" ] && man -l "$1" 2>/dev/null | grep -q SYNOPSIS
}
kivo_of_user() { pgrep -u "$user" -x kivo >/dev/null; }
snowing_over() { lit=$(bright_pixels 0 0 1024 768); [ "${lit:-0}" -gt "$1" ]; }  # MIN

echo "-- the package"
(cd "$build" && cpack -G DEB -D CPACK_OUTPUT_FILE_PREFIX="$work" >"$work/cpack.txt" 2>&1) || cat "$work/cpack.txt"
deb=$work/kivo_${version}_amd64.deb
check "cpack makes kivo_${version}_amd64.deb" [ -f "$deb" ]
contents=$(dpkg-deb -c "$deb" 2>/dev/null | awk '{print $6}')
for f in ./usr/libexec/xscreensaver/kivo ./usr/bin/kivo ./usr/share/xscreensaver/config/kivo.xml \
  ./usr/share/applications/screensavers/kivo.desktop ./usr/share/man/man6/kivo.6x.gz ./usr/bin/kivo-render \
  ./usr/share/man/man1/kivo-render.1.gz ./usr/share/doc/kivo/copyright ./usr/share/doc/kivo/changelog.gz \
  ./etc/pam.d/kivo; do
  check "it holds $f" grep -qxF "$f" <<<"$contents"
done
depends=$(dpkg-deb -f "$deb" Depends)
check "its dependencies come from the libraries it links ($depends)" \
  grep -q 'libpam0g.*libwayland-client0.*libx11-6.*libxkbcommon0.*libxrandr2' <<<"$depends"
check "its PAM service is a conffile" [ "$(dpkg-deb -I "$deb" conffiles)" = /etc/pam.d/kivo ]
lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
grep -v 'root privileges' "$work/lintian.txt" | sed 's/^/   lintian: /'
check "lintian reports no error and no warning" not grep -q '^[EW]: ' "$work/lintian.txt"

echo "-- installed"
check "dpkg -i installs it" quiet dpkg -i "$deb"
check "kivo --version says $version" [ "$(/usr/libexec/xscreensaver/kivo --version)" = "kivo $version" ]
check "kivo is on the PATH" [ "$(kivo --version)" = "kivo $version" ]
check "its PAM service includes the system's common authentication" grep -qx '@include common-auth' /etc/pam.d/kivo
check "kivo-render is on the PATH" [ "$(command -v kivo-render)" = /usr/bin/kivo-render ]
for page in /usr/share/man/man6/kivo.6x.gz /usr/share/man/man1/kivo-render.1.gz; do
  check "$page renders without warnings" renders_cleanly "$page"
done

echo "-- chosen in XScreenSaver by an ordinary user"
id "$user" >/dev/null 2>&1 || useradd -m "$user"
home=$(getent passwd "$user" | cut -d: -f6)
printf '%s\n' "mode:		one" "selected:	0" "lock:		False" "fade:		False" "unfade:		False" "splash:		False" \
  'programs:	kivo -root --count 20000	\n' >"$home/.xscreensaver"
chown "$user" "$home/.xscreensaver"
start_xvfb || exit 1
as_user "xscreensaver -no-splash >/dev/null 2>&1 &"
wait_until 20 quiet as_user "xscreensaver-command -time"  # the daemon answers
as_user "xscreensaver-command -activate" >/dev/null 2>&1
check "blanking starts kivo from the installed files" wait_until 20 kivo_of_user
wait_until 10 snowing_over 300
check "snow on the screen ($lit bright pixels)" [ "${lit:-0}" -gt 300 ]
as_user "xscreensaver-command -deactivate" >/dev/null 2>&1
check "unblanking ends it" wait_until 20 not kivo_of_user

echo "-- removed"
check "dpkg -r removes it" quiet dpkg -r kivo
check "no program is left" [ ! -e /usr/libexec/xscreensaver/kivo -a ! -e /usr/bin/kivo-render ]
check "dpkg --purge leaves no trace" quiet dpkg --purge kivo
check "not even the PAM service" [ ! -e /etc/pam.d/kivo ]
check "dpkg knows it no more" not grep -q installed <<<"$(dpkg-query -W -f='${Status}' kivo 2>/dev/null)"
finish
