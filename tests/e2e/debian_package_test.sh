#!/usr/bin/env bash
# The Debian package as a user meets it: built by CPack from the native tree, checked by lintian,
# installed with dpkg, its completions driven by bash, zsh and fish, its user unit verified, kivo started
# by the real XScreenSaver daemon of an ordinary user with the count from their config file, then
# removed and purged.
#   debian_package_test.sh NATIVE_BUILD_DIR VERSION
# Needs root (dpkg, a test user); it installs into this machine and purges the package again whatever happens.
set -u
build=$(realpath "$1") version=$2
. "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] || { echo "FAIL: the package test needs root"; exit 1; }
user=kivo-test
as_user() { su "$user" -s /bin/sh -c "DISPLAY=$DISPLAY $*"; }
at_exit+=("as_user xscreensaver-command -exit >/dev/null 2>&1; pkill -u $user; dpkg --purge kivo >/dev/null 2>&1")
renders_cleanly() {  # PAGE: present, groff -ww has nothing to say, man shows it
  [ -f "$1" ] && [ -z "$(zcat "$1" | groff -ww -z -man 2>&1)" ] && man -l "$1" 2>/dev/null | grep -q SYNOPSIS
}
kivo_of_user() { pgrep -u "$user" -x kivo >/dev/null; }
shows() { xwd -silent -root -out "$work/shown.xwd" && [ "$(compare -metric AE "$work/shown.xwd" "$1" null: 2>&1)" = 0 ]; }
# Whether SHELL, loading kivo's completion where it looks for it, offers
# --count for "kivo --co" (a non-interactive shell driving the function; zsh
# through a pseudo-terminal, as its completion needs its line editor).
completes_count() {  # SHELL
  case $1 in
    bash) bash -c '. /usr/share/bash-completion/bash_completion; _completion_loader kivo  # 124: loaded, try again
      f=$(complete -p kivo | sed -n "s/.*-F \([^ ]*\) .*/\1/p") && COMP_WORDS=(kivo --co) COMP_CWORD=1 && "$f" &&
      printf "%s\n" "${COMPREPLY[@]}"' | grep -qx -- --count ;;
    fish) fish -c 'complete -C "kivo --co"' | cut -f1 | grep -qx -- --count ;;
    zsh) timeout 20 zsh -f -c 'zmodload zsh/zpty && zpty z zsh -f -i &&
      zpty -w z "autoload -Uz compinit && compinit -u -D && print read""y" && zpty -r z line "*ready*" &&
      zpty -w -n z "kivo --co"$'\''\t'\'' && zpty -r z line "*--count*"' >/dev/null ;;
  esac
}

echo "-- the package"
(cd "$build" && cpack -G DEB -D CPACK_OUTPUT_FILE_PREFIX="$work" >"$work/cpack.txt" 2>&1) || cat "$work/cpack.txt"
deb=$work/kivo_${version}_amd64.deb
check "cpack makes kivo_${version}_amd64.deb" [ -f "$deb" ]
contents=$(dpkg-deb -c "$deb" 2>/dev/null | awk '{print $6}')
for f in ./usr/libexec/xscreensaver/kivo ./usr/bin/kivo{,-render} ./usr/share/xscreensaver/config/kivo.xml \
  ./usr/share/applications/screensavers/kivo.desktop ./usr/share/man/man6/kivo.6x.gz ./usr/share/man/man1/kivo-render.1.gz \
  ./usr/share/doc/kivo/{copyright,changelog.gz} ./etc/pam.d/kivo ./usr/lib/systemd/user/kivo-background.service \
  ./usr/share/{bash-completion/completions/kivo,zsh/vendor-completions/_kivo}{,-render} \
  ./usr/share/fish/vendor_completions.d/kivo{,-render}.fish; do
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
for sh in bash zsh fish; do
  check "$sh completes 'kivo --co' to --count" completes_count "$sh"
done
unit=/usr/lib/systemd/user/kivo-background.service
# A user manager's checks need a runtime folder, which root here has not.
check "systemd-analyze verify accepts the user unit" env XDG_RUNTIME_DIR="$work" systemd-analyze --user verify "$unit"
check "the unit is part of the graphical session and wants a Wayland display" \
  grep -qxF 'ConditionEnvironment=WAYLAND_DISPLAY' "$unit"

echo "-- chosen in XScreenSaver by an ordinary user"
id "$user" >/dev/null 2>&1 || useradd -m "$user"
home=$(getent passwd "$user" | cut -d: -f6)
printf '%s\n' "mode:		one" "selected:	0" "lock:		False" "fade:		False" "unfade:		False" "splash:		False" \
  'programs:	kivo -root	\n' >"$home/.xscreensaver"
# The count, seed and ticks from the user's config file: the screen must be
# kivo-render's picture of the same.
mkdir -p "$home/.config/kivo"
printf '%s\n' "# set once" "count=20000" "seed=7" "frames=60" >"$home/.config/kivo/config"
chown -R "$user" "$home/.xscreensaver" "$home/.config"
kivo-render --width 1024 --height 768 --count 20000 --seed 7 --frames 60 --out "$work/config.bmp"
start_xvfb || exit 1
as_user "xscreensaver -no-splash >/dev/null 2>&1 &"
wait_until 20 quiet as_user "xscreensaver-command -time"  # the daemon answers
as_user "xscreensaver-command -activate" >/dev/null 2>&1
check "blanking starts kivo from the installed files" wait_until 20 kivo_of_user
wait_until 10 lit_over 300 0 0 1024 768
check "snow on the screen ($LIT bright pixels)" [ "${LIT:-0}" -gt 300 ]
check "20000 flakes from ~/.config/kivo/config: kivo-render's picture of them" wait_until 20 shows "$work/config.bmp"
as_user "xscreensaver-command -deactivate" >/dev/null 2>&1
check "unblanking ends it" wait_until 20 not kivo_of_user

echo "-- removed"
check "dpkg -r removes it" quiet dpkg -r kivo
check "no program is left" [ ! -e /usr/libexec/xscreensaver/kivo -a ! -e /usr/bin/kivo-render ]
check "dpkg --purge leaves no trace" quiet dpkg --purge kivo
check "not even the PAM service" [ ! -e /etc/pam.d/kivo ]
check "dpkg knows it no more" not grep -q installed <<<"$(dpkg-query -W -f='${Status}' kivo 2>/dev/null)"
finish
