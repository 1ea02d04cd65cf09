#!/usr/bin/env bash
# The Debian package end to end on this machine (as root): install it with
# apt-get, start the installed program as an unprivileged user on a private
# desktop with a tray, collect one address into that user's data folder,
# then remove the package: its files go, the user's list stays. The package
# is removed at the end whatever happens, and one left by a run that was cut
# short is removed first, so the test can run again and again.
#
#   tests/e2e/install.sh build/package/vornik-tools_<version>_<arch>.deb
VORNIK_E2E_USER=1
source "$(dirname "$0")/lib.sh"
((EUID == 0)) || fail "this test installs a package system-wide: run it as root"
deb=$(realpath "${1:?usage: install.sh PACKAGE.deb}")
[[ -f $deb ]] || fail "no package at $deb"

installed() { dpkg-query -W -f='${Status}' vornik-tools 2>/dev/null | grep -q 'install ok installed'; }
remove_package() {
    ! installed || DEBIAN_FRONTEND=noninteractive apt-get remove -y vornik-tools
}
trap 'e2e_cleanup; remove_package >/dev/null 2>&1 || true' EXIT
remove_package >"$E2E_TMP/leftover.log" 2>&1 || fail "cannot remove a package left by an earlier run"

# What apt-get pulls in comes from the binary alone: nothing for building or testing.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* && $depends == *libjpeg62-turbo* ]] || fail "dependencies not computed: $depends"
if grep -Eq -- '-dev\b|googletest|xvfb|cmake|clang' <<<"$depends"; then fail "build or test packages in Depends: $depends"; fi
note "ok: dependencies from the binary: $depends"

# The program reads XDG_DATA_HOME; the user here has the default folder.
unset XDG_DATA_HOME
user_home=$(getent passwd "$APP_USER" | cut -d: -f6)
data="$user_home/.local/share/vornik-tools"
rm -rf "$data"

DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >"$E2E_TMP/install.log" 2>&1 ||
    { cat "$E2E_TMP/install.log"; fail "apt-get install failed"; }
installed || fail "the package is not installed after apt-get install"
dpkg -L vornik-tools | while read -r path; do [[ -d $path ]] || echo "$path"; done >"$E2E_TMP/files"
for path in /usr/bin/vornik-tools /usr/share/applications/vornik-tools.desktop \
    /usr/share/icons/hicolor/32x32/apps/vornik-tools.png /usr/share/icons/hicolor/scalable/apps/vornik-tools.svg \
    /usr/share/man/man1/vornik-tools.1.gz; do
    grep -qx "$path" "$E2E_TMP/files" && [[ -e $path ]] || fail "the package did not install $path"
done
[[ -x /usr/bin/vornik-tools ]] || fail "/usr/bin/vornik-tools is not executable"
note "ok: installed $(wc -l <"$E2E_TMP/files") files"

start_desktop 1024x768 tray
APP_BIN=/usr/bin/vornik-tools
start_app
wait_for 15 tray_icon_geometry || fail "the installed program's icon never docked in the tray"
app_running || fail "the installed program ended"
note "ok: the installed program runs as $APP_USER with its icon in the tray"

printf 'write to installed@package.test please' | xclip -selection clipboard
wait_for 10 grep -qx $'installed@package.test\r' "$data/emails.txt" ||
    fail "the address did not reach $data/emails.txt"
[[ $(stat -c %U "$data/emails.txt") == "$APP_USER" ]] || fail "the list does not belong to $APP_USER"
[[ ! -e /usr/bin/emails.txt ]] || fail "an emails.txt appeared beside the installed executable"
note "ok: the address went to $data/emails.txt"

# The one-instance lock follows the list into the data folder.
timeout 10 "${E2E_RUN_AS[@]}" "$APP_BIN" >"$E2E_TMP/second.log" 2>&1 || fail "the second instance failed or hung"
grep -q "already running with its list in $data" "$E2E_TMP/second.log" ||
    fail "the second instance did not leave for the lock: $(cat "$E2E_TMP/second.log")"
app_running || fail "the first instance ended"
note "ok: a second start by the same user leaves at once"

kill "$APP_PID"
wait_for 10 not app_running || fail "the program did not end on SIGTERM"
remove_package >"$E2E_TMP/remove.log" 2>&1 || { cat "$E2E_TMP/remove.log"; fail "apt-get remove failed"; }
not installed || fail "the package is still installed after apt-get remove"
while read -r path; do
    [[ ! -e $path ]] || fail "$path stayed after removal"
done <"$E2E_TMP/files"
grep -qx $'installed@package.test\r' "$data/emails.txt" || fail "the user's list did not survive the removal"
note "ok: removal took the program's files and left the user's list"
echo "install end to end: all checks passed"
