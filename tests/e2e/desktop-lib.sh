#!/usr/bin/env bash
# Shared set-up for the end-to-end suites on whole desktops, KDE's KWin and
# GNOME Shell, as Debian 12 ships them. They run inside the chroot that
# desktop-chroot.sh makes (the host's own desktop packages stay as they are),
# as its unprivileged account, with the program installed there from its
# Debian package. Source it, then call start_kde or start_gnome; everything
# started in the chroot is stopped, and its mounts undone, at exit.
set -euo pipefail

DESKTOP_SKIP=77
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SOURCE_DIR=$(cd "$E2E_DIR/../.." && pwd)
# shellcheck source=tests/e2e/desktop-chroot.sh
source "$E2E_DIR/desktop-chroot.sh"

if ((EUID != 0)); then
    echo "SKIP: the desktop suites make and enter a chroot, which needs root"
    exit "$DESKTOP_SKIP"
fi
for program in chroot mount setpriv flock; do
    command -v "$program" >/dev/null || { echo "SKIP: the desktop suites need $program"; exit "$DESKTOP_SKIP"; }
done

E2E_TMP=$(mktemp -d /tmp/vornik-desktop.XXXXXX)
CH=${VORNIK_E2E_CHROOT:-$CHROOT_ROOT/bookworm}
# The session's runtime folder, as seen inside the chroot and from outside.
RUN=/tmp/vornik-session
HOST_RUN=$CH$RUN
USER_HOME=/home/$CHROOT_USER
SESSION_ENV=()
APP_PID=

not() { ! "$@"; }
note() { echo "-- $*"; }
fail() {
    echo "FAIL: $*" >&2
    local log
    for log in "$E2E_TMP"/*.log; do
        [[ -s $log ]] || continue
        echo "--- $(basename "$log") (last lines)" >&2
        tail -n 25 "$log" >&2
    done
    exit 1
}

wait_for() {
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# Every process whose root is the chroot: nothing else runs there while a
# suite holds it (the suites share one lock).
chroot_processes() {
    local pid root want
    want=$(realpath "$CH")
    for pid in /proc/[0-9]*; do
        root=$(readlink "$pid/root" 2>/dev/null) || continue
        [[ $root == "$want" ]] && echo "${pid#/proc/}"
    done
    return 0
}

desktop_cleanup() {
    set +e
    local pids deadline
    pids=$(chroot_processes)
    # shellcheck disable=SC2086 # a list of process ids
    [[ -n $pids ]] && kill $pids 2>/dev/null
    deadline=$((SECONDS + 5))
    while pids=$(chroot_processes) && [[ -n $pids ]] && ((SECONDS < deadline)); do sleep 0.1; done
    # shellcheck disable=SC2086
    [[ -n $pids ]] && kill -9 $pids 2>/dev/null
    sleep 0.2
    mountpoint -q "$HOST_RUN/doc" 2>/dev/null && umount -l "$HOST_RUN/doc"
    chroot_umount "$CH"
    rm -rf "$E2E_TMP"
}

# Makes the chroot when it is missing or incomplete (the first run takes some
# minutes), takes the lock that keeps other suites out of it, mounts it,
# gives its account a fresh home and installs the program's package.
enter_chroot() {
    chroot_make bookworm "$CH" || fail "cannot make the chroot $CH"
    exec {DESKTOP_LOCK}>"$CH.session.lock"
    flock "$DESKTOP_LOCK"
    trap desktop_cleanup EXIT
    # A suite killed earlier may have left processes and mounts behind.
    desktop_cleanup_leftovers
    chroot_mount "$CH"
    # A fresh account: no pictures folder, no settings, no permissions.
    rm -rf "${CH:?}$USER_HOME" "$HOST_RUN" "$CH"/tmp/.X*-lock "$CH"/tmp/.X11-unix/* "$CH"/tmp/vornik-*
    mkdir -p "$CH$USER_HOME" "$HOST_RUN" "$CH/tmp/.X11-unix"
    chmod 1777 "$CH/tmp/.X11-unix"
    chroot "$CH" chown "$CHROOT_USER:" "$USER_HOME" "$RUN"
    chmod 700 "$HOST_RUN"
    install_package
}

desktop_cleanup_leftovers() {
    local pids
    pids=$(chroot_processes)
    # shellcheck disable=SC2086
    [[ -n $pids ]] && { kill -9 $pids 2>/dev/null; sleep 0.5; }
    chroot_umount "$CH"
}

# The program as users get it: the Debian package, installed with apt. It is
# built first where it is missing or older than the program the tests built.
install_package() {
    local deb
    deb=$(ls "$SOURCE_DIR"/build/package/vornik-tools_*.deb 2>/dev/null | head -n 1 || true)
    if [[ -z $deb || (-n ${VORNIK_BIN:-} && $VORNIK_BIN -nt $deb) ]]; then
        note "building the Debian package"
        "$SOURCE_DIR/scripts/package.sh" >"$E2E_TMP/package.log" 2>&1 || fail "scripts/package.sh failed"
        deb=$(ls "$SOURCE_DIR"/build/package/vornik-tools_*.deb | head -n 1)
    fi
    cp "$deb" "$CH/tmp/vornik-tools.deb"
    chroot_run "$CH" apt-get install -y --no-install-recommends --reinstall /tmp/vornik-tools.deb \
        >"$E2E_TMP/apt.log" 2>&1 || fail "the package did not install in the chroot"
    rm -f "$CH/tmp/vornik-tools.deb"
    [[ -x $CH/usr/bin/vornik-tools ]] || fail "the package installed no /usr/bin/vornik-tools"
    : >"$E2E_TMP/apt.log"
}

# Runs a command in the chroot as its account, with the session's
# environment only.
in_session() {
    chroot "$CH" setpriv --reuid="$CHROOT_USER" --regid="$CHROOT_USER" --init-groups \
        env -i HOME="$USER_HOME" USER="$CHROOT_USER" LOGNAME="$CHROOT_USER" PATH=/usr/local/bin:/usr/bin:/bin \
        LANG=C.UTF-8 XDG_RUNTIME_DIR="$RUN" DBUS_SESSION_BUS_ADDRESS="unix:path=$RUN/bus" \
        NO_AT_BRIDGE=1 GTK_A11Y=none "${SESSION_ENV[@]}" "$@"
}

session_var() {
    local entry
    for entry in "${SESSION_ENV[@]}"; do [[ $entry == "$1="* ]] && echo "${entry#*=}"; done
    return 0
}

start_session_bus() {
    in_session dbus-daemon --session --nofork --nosyslog --address="unix:path=$RUN/bus" >"$E2E_TMP/dbus.log" 2>&1 &
    wait_for 10 test -S "$HOST_RUN/bus" || fail "the session bus did not start"
}

bus_has_name() {
    in_session dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

name_owner_pid() {
    in_session dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" 2>/dev/null | awk '/uint32/ { print $2 }'
}

# The X display an Xwayland of the session listens on: the socket the
# compositor made in the chroot's /tmp/.X11-unix.
xwayland_display() {
    local socket
    socket=$(ls -t "$CH"/tmp/.X11-unix/ 2>/dev/null | grep '^X[0-9]*$' | head -n 1)
    [[ -n $socket ]] && echo ":${socket#X}"
}

# Starts the installed program in the session; further arguments are
# VAR=value pairs for its environment. Its output goes to app.log.
start_app() {
    in_session "$@" /usr/bin/vornik-tools >"$E2E_TMP/app.log" 2>&1 &
    APP_PID=$!
}
app_running() { [[ -n $APP_PID ]] && kill -0 "$APP_PID" 2>/dev/null; }
stop_app() {
    [[ -n $APP_PID ]] || return 0
    kill "$APP_PID" 2>/dev/null || true
    wait_for 10 not app_running || kill -9 "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=
}

# The first item the watcher holds ("service/path" or a bare service).
registered_item() {
    local items
    items=$(in_session dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null) || return 1
    items=$(sed -n 's/^ *string "\(.*\)"$/\1/p' <<<"$items")
    [[ -n $items ]] && echo "$items" | head -n 1
}

item_service="" item_path=""
wait_for_registered_item() {
    wait_for "${2:-30}" registered_item || fail "${1:-at start}: the program's item did not register with the watcher"
    local item owner
    item=$(registered_item)
    item_service=${item%%/*}
    item_path=/${item#*/}
    [[ $item == */* ]] || item_path=/StatusNotifierItem
    # The name may be a well-known one; its owner must be the program.
    [[ $item_service == :* ]] || item_service=$item_service
    owner=$(name_owner_pid "$item_service")
    [[ $(cat "/proc/$owner/comm" 2>/dev/null) == vornik-tools ]] ||
        fail "${1:-at start}: the registered item $item is not the program's (owner '$owner')"
}

item_property() {
    in_session dbus-send --session --print-reply --dest="$item_service" "$item_path" \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem "string:$1"
}

# Calls one of the item's methods as a panel does on a click.
panel_calls() {
    in_session dbus-send --session --print-reply --dest="$item_service" "$item_path" \
        "org.kde.StatusNotifierItem.$1" "int32:$2" "int32:$3" >/dev/null || fail "$1($2, $3) was not answered"
}

x11() { in_session env DISPLAY="$(session_var DISPLAY)" XAUTHORITY="$(session_var XAUTHORITY)" "$@"; }
x11_window() { x11 xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
tool_window_visible() { x11 xdotool search --onlyvisible --name '^Form1$' >/dev/null 2>&1; }
confirm_box_visible() { x11 xdotool search --onlyvisible --name '^Confirm$' >/dev/null 2>&1; }
tool_window_geometry() {
    local id
    id=$(x11_window '^Form1$')
    [[ -n $id ]] || return 1
    x11 xwininfo -id "$id" 2>/dev/null | awk '
        /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { if (w == "") exit 1; print x, y, w, h }'
}

# The program's open styled menu: a viewable override-redirect window of the
# program on Xwayland.
menu_geometry() {
    local id
    for id in $(x11 xdotool search --onlyvisible --class '^vornik-tools$' 2>/dev/null); do
        x11 xwininfo -id "$id" 2>/dev/null | awk '
            /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
            /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } /Override Redirect State: yes/ { popup = 1 }
            END { if (w == "" || !popup) exit 1; print x, y, w, h }' && return 0
    done
    return 1
}
menu_open() { menu_geometry >/dev/null; }

# A native Wayland window of one colour (GTK 3).
start_colour_window() {
    in_session GDK_BACKEND=wayland vornik-e2e-colour-window "$1" "${2:-native}" >"$E2E_TMP/window.log" 2>&1 &
}

# Text on the Wayland clipboard from a native client; wl-copy stays to serve
# its offer.
wl_copy() { in_session setsid wl-copy "$@" </dev/null >/dev/null 2>&1; }
wl_paste() { in_session timeout 5 wl-paste --no-newline "$@" 2>/dev/null; }

# emails.txt of the installed program: the account's data folder.
EMAILS=$CH$USER_HOME/.local/share/vornik-tools/emails.txt

# KDE: KWin on its virtual back end with Xwayland, kded5 (its
# statusnotifierwatcher module is the panel's watcher; Plasma's own panel is
# not needed), and the desktop portal with KDE's back end, started on demand
# by the bus. Sets SESSION_ENV for in_session.
start_kde() {
    local geometry=${1:-1280x800}
    SESSION_WIDTH=${geometry%x*} SESSION_HEIGHT=${geometry#*x}
    start_session_bus
    SESSION_ENV+=(XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland KDE_FULL_SESSION=true KDE_SESSION_VERSION=5)
    # The session command writes the environment KWin gives its clients.
    in_session /usr/local/lib/vornik-e2e/kwin_wayland --virtual --xwayland \
        --width "$SESSION_WIDTH" --height "$SESSION_HEIGHT" --socket wayland-vornik \
        --exit-with-session "sh -c 'env >$RUN/session.env; exec sleep 100000'" >"$E2E_TMP/kwin.log" 2>&1 &
    wait_for 30 grep -q '^DISPLAY=' "$HOST_RUN/session.env" || fail "KWin did not start"
    local name
    for name in WAYLAND_DISPLAY DISPLAY; do
        SESSION_ENV+=("$(grep "^$name=" "$HOST_RUN/session.env")")
    done
    wait_for 20 x11 xdpyinfo || fail "KWin's Xwayland does not answer on $(session_var DISPLAY)"
    in_session dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
        KDE_FULL_SESSION KDE_SESSION_VERSION || fail "cannot pass the session's environment to the bus"
    in_session QT_QPA_PLATFORM=wayland kded5 >"$E2E_TMP/kded5.log" 2>&1 &
    wait_for 30 bus_has_name org.kde.StatusNotifierWatcher || fail "kded5 did not take the StatusNotifierWatcher name"
}

# GNOME: a private system bus (the shell wants one, and logind's stand-in
# without /run/systemd/seats), GNOME Shell headless on one virtual monitor
# with Xwayland and the AppIndicator extension (the panel's watcher), and the
# desktop portal with GNOME's back end, started on demand by the bus. The
# settings are a key file of the account's own. The shell starts in the
# overview, which is left.
start_gnome() {
    local geometry=${1:-1280x800}
    SESSION_WIDTH=${geometry%x*} SESSION_HEIGHT=${geometry#*x}
    mkdir -p "$CH/run/dbus"
    rm -f "$CH/run/dbus/system_bus_socket" "$CH/run/dbus/pid"
    rm -rf "$CH/run/systemd/seats"
    chroot "$CH" dbus-daemon --system --nofork --nopidfile >"$E2E_TMP/system-bus.log" 2>&1 &
    wait_for 10 test -S "$CH/run/dbus/system_bus_socket" || fail "the system bus did not start"
    mkdir -p "$CH$USER_HOME/.config/glib-2.0/settings"
    cat >"$CH$USER_HOME/.config/glib-2.0/settings/keyfile" <<'KEYS'
[org/gnome/shell]
enabled-extensions=['ubuntu-appindicators@ubuntu.com']
welcome-dialog-last-shown-version='999'

[org/gnome/desktop/interface]
enable-animations=false
KEYS
    chroot "$CH" chown -R "$CHROOT_USER:" "$USER_HOME/.config"
    start_session_bus
    SESSION_ENV+=(XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=gnome GSETTINGS_BACKEND=keyfile)
    in_session gnome-shell --headless --wayland --wayland-display=wayland-vornik --virtual-monitor "$geometry" \
        >"$E2E_TMP/gnome-shell.log" 2>&1 &
    wait_for 60 bus_has_name org.gnome.Shell || fail "GNOME Shell did not start"
    SESSION_ENV+=(WAYLAND_DISPLAY=wayland-vornik)
    wait_for 30 xwayland_display || fail "GNOME Shell started no Xwayland"
    local auth
    wait_for 10 compgen -G "$HOST_RUN/.mutter-Xwaylandauth.*" || fail "GNOME Shell wrote no X authority"
    auth=$(ls -t "$HOST_RUN"/.mutter-Xwaylandauth.* | head -n 1)
    SESSION_ENV+=(DISPLAY="$(xwayland_display)" XAUTHORITY="$RUN/${auth##*/}")
    wait_for 20 x11 xdpyinfo || fail "GNOME Shell's Xwayland does not answer on $(session_var DISPLAY)"
    in_session dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP \
        XDG_SESSION_TYPE GSETTINGS_BACKEND || fail "cannot pass the session's environment to the bus"
    wait_for 30 bus_has_name org.kde.StatusNotifierWatcher || fail "the AppIndicator extension took no watcher name"
    in_session gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.freedesktop.DBus.Properties.Set org.gnome.Shell OverviewActive '<false>' >/dev/null ||
        fail "cannot leave the overview"
}
