#!/usr/bin/env bash
# Shared set-up for the end-to-end suites on whole desktops, KDE's KWin and
# GNOME Shell, as Debian 12 ships them, and on a newer sway than the host's.
# They run inside the chroot that desktop-chroot.sh makes (the host's own
# desktop packages stay as they are), as its unprivileged account, with the
# program installed there from its Debian package. Set DESKTOP_SUITE to the
# chroot's Debian suite where it is not bookworm, source this, then call
# start_kde, start_gnome or start_sway; everything started in the chroot is
# stopped, and its mounts undone, at exit.
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
DESKTOP_SUITE=${DESKTOP_SUITE:-bookworm}
CH=${VORNIK_E2E_CHROOT:-$CHROOT_ROOT/$DESKTOP_SUITE}
# The session's runtime folder, as seen inside the chroot and from outside.
RUN=/tmp/vornik-session
HOST_RUN=$CH$RUN
USER_HOME=/home/$CHROOT_USER
SESSION_ENV=()
APP_PID=

# shellcheck source=tests/e2e/basics.sh
source "$(dirname "${BASH_SOURCE[0]}")/basics.sh"
# shellcheck source=tests/e2e/sni-lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/sni-lib.sh"
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
    chroot_make "$DESKTOP_SUITE" "$CH" || fail "cannot make the chroot $CH"
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
    install -m 755 "$E2E_DIR/colour_window.py" "$CH/usr/local/bin/vornik-e2e-colour-window"
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
# VORNIK_E2E_DEB may name another package file to install instead.
install_package() {
    local deb=${VORNIK_E2E_DEB:-}
    [[ -n $deb ]] || deb=$(ls "$SOURCE_DIR"/build/package/vornik-tools_*.deb 2>/dev/null | head -n 1 || true)
    if [[ -z ${VORNIK_E2E_DEB:-} && (-z $deb || (-n ${VORNIK_BIN:-} && $VORNIK_BIN -nt $deb)) ]]; then
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
in_session() { session_command; "${SESSION_COMMAND[@]}" "$@"; }

# The same as a command in SESSION_COMMAND, for processes sent to the
# background: chroot, setpriv and env each replace themselves by the next,
# so $! is the process of the command itself. (A function sent to the
# background runs in a subshell of its own.)
session_command() {
    SESSION_COMMAND=(chroot "$CH" setpriv --reuid="$CHROOT_USER" --regid="$CHROOT_USER" --init-groups
        env -i HOME="$USER_HOME" USER="$CHROOT_USER" LOGNAME="$CHROOT_USER" PATH=/usr/local/bin:/usr/bin:/bin
        LANG=C.UTF-8 XDG_RUNTIME_DIR="$RUN" DBUS_SESSION_BUS_ADDRESS="unix:path=$RUN/bus"
        NO_AT_BRIDGE=1 GTK_A11Y=none "${SESSION_ENV[@]}")
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
    session_command
    "${SESSION_COMMAND[@]}" "$@" /usr/bin/vornik-tools >"$E2E_TMP/app.log" 2>&1 &
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

# The items the watcher holds, one a line: "service/path" (kded5),
# "service@/path" (GNOME Shell's extension) or a bare service.
registered_items() {
    local items
    items=$(in_session dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null) || return 1
    sed -n 's/^ *string "\(.*\)"$/\1/p' <<<"$items"
}
registered_item() { local items; items=$(registered_items) && [[ -n $items ]] && echo "$items" | head -n 1; }

# The program's item among them: the one whose service the program owns.
# Sets item_service and item_path.
item_service="" item_path=""
program_item() {
    local item service owner
    for item in $(registered_items); do
        service=${item%%/*}
        service=${service%@}
        owner=$(name_owner_pid "$service" || true)
        [[ -n $owner && $(cat "/proc/$owner/comm" 2>/dev/null) == vornik-tools ]] || continue
        item_service=$service
        item_path=/${item#*/}
        [[ $item == */* ]] || item_path=/StatusNotifierItem
        return 0
    done
    return 1
}
wait_for_registered_item() {
    wait_for "${2:-30}" program_item ||
        fail "${1:-at start}: the program's item did not register with the watcher (it holds: $(registered_items | tr '\n' ' '))"
    program_item
}



x11() { in_session env DISPLAY="$(session_var DISPLAY)" XAUTHORITY="$(session_var XAUTHORITY)" "$@"; }
x11_window() { x11 xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
tool_window_visible() { x11 xdotool search --onlyvisible --name '^Form1$' >/dev/null 2>&1; }
confirm_box_visible() { x11 xdotool search --onlyvisible --name '^Confirm$' >/dev/null 2>&1; }

# With the confirmation of Exit open: Alt+Y ends the program, and its item
# leaves the watcher.
expect_yes_ends_program() {
    answer_yes() {
        x11 xdotool search --onlyvisible --name '^Confirm$' windowactivate --sync >/dev/null 2>&1
        x11 xdotool key alt+y
        wait_for 3 not app_running
    }
    wait_for 20 answer_yes || fail "Alt+Y in the confirmation did not end the program"
    wait_for 10 not registered_item || fail "the item stayed registered after Exit"
    note "ok: Alt+Y ends the program and its item leaves the watcher"
}
tool_window_geometry() {
    local id
    id=$(x11_window '^Form1$')
    [[ -n $id ]] || return 1
    x11 xwininfo -id "$id" 2>/dev/null | awk '
        /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { if (w == "") exit 1; print x, y, w, h }'
}


# A native Wayland window of one colour (GTK 4), maximized; waits until it
# is mapped. window_copy TYPES TEXT has it copy TEXT under the types (a list
# with commas) while it has the focus.
WINDOW_COPIES=0
start_colour_window() {
    rm -f "$HOST_RUN/window-commands"
    mkfifo -m 666 "$HOST_RUN/window-commands"
    session_command
    "${SESSION_COMMAND[@]}" GDK_BACKEND=wayland python3 /usr/local/bin/vornik-e2e-colour-window "$1" "${2:-native}" \
        "$RUN/window-commands" >"$E2E_TMP/window.log" 2>&1 &
    exec {WINDOW_FD}>"$HOST_RUN/window-commands"
    wait_for 20 grep -q '^shown' "$E2E_TMP/window.log" || fail "the native window did not show"
    sleep 0.5
}
# Desktops where the window does not get the focus back by itself name a
# command that gives it the focus in FOCUS_NATIVE_WINDOW.
FOCUS_NATIVE_WINDOW=:
window_copy() {
    $FOCUS_NATIVE_WINDOW
    echo "copy $1 $2" >&"$WINDOW_FD"
    ((++WINDOW_COPIES))
    wait_for 10 grep -q "^copied $WINDOW_COPIES\$" "$E2E_TMP/window.log" || fail "the native window did not copy $2"
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
#   start_kde [WIDTHxHEIGHT [SCALE]]: the output has that many device pixels;
# at a SCALE other than 1, X11 programs are told to scale themselves (Plasma's
# "Apply scaling themselves"), so they see device pixels and KWin shows their
# windows as they draw them.
start_kde() {
    local geometry=${1:-1280x800} scale=${2:-1}
    SESSION_WIDTH=${geometry%x*} SESSION_HEIGHT=${geometry#*x}
    # KWin's virtual output takes its size in logical pixels.
    local scaling=() logical_w=$SESSION_WIDTH logical_h=$SESSION_HEIGHT
    if [[ $scale != 1 ]]; then
        scaling=(--scale "$scale")
        read -r logical_w logical_h <<<"$(python3 -c "print(round($SESSION_WIDTH / $scale), round($SESSION_HEIGHT / $scale))")"
        mkdir -p "$CH$USER_HOME/.config"
        printf '[Xwayland]\nScale=%s\n' "$scale" >"$CH$USER_HOME/.config/kwinrc"
        chroot "$CH" chown -R "$CHROOT_USER:" "$USER_HOME/.config"
    fi
    start_session_bus
    SESSION_ENV+=(XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland KDE_FULL_SESSION=true KDE_SESSION_VERSION=5)
    # The session command writes the environment KWin gives its clients.
    in_session /usr/local/lib/vornik-e2e/kwin_wayland --virtual --xwayland "${scaling[@]}" \
        --width "$logical_w" --height "$logical_h" --socket wayland-vornik \
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

# sway: on wlroots' headless back end (one output, pixman, no input
# devices) with Xwayland started at once, on a plain background. Its config
# has it write the environment it gives its clients. Sets SESSION_ENV for
# in_session.
start_sway() {
    local geometry=${1:-1280x800}
    SESSION_WIDTH=${geometry%x*} SESSION_HEIGHT=${geometry#*x}
    start_session_bus
    cat >"$HOST_RUN/sway.conf" <<CONFIG
xwayland force
output HEADLESS-1 mode $geometry position 0 0 bg #336699 solid_color
default_border none
focus_follows_mouse no
exec env >$RUN/session.env
CONFIG
    chmod 644 "$HOST_RUN/sway.conf"
    SESSION_ENV+=(XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland)
    in_session WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        sway -c "$RUN/sway.conf" >"$E2E_TMP/sway.log" 2>&1 &
    wait_for 30 grep -q '^SWAYSOCK=' "$HOST_RUN/session.env" || fail "sway did not start"
    local name
    for name in WAYLAND_DISPLAY DISPLAY SWAYSOCK; do
        grep -q "^$name=" "$HOST_RUN/session.env" || fail "sway's environment has no $name"
        SESSION_ENV+=("$(grep "^$name=" "$HOST_RUN/session.env")")
    done
    wait_for 20 x11 xdpyinfo || fail "sway's Xwayland does not answer on $(session_var DISPLAY)"
}

# GNOME: a private system bus (the shell wants one, and logind's stand-in
# without /run/systemd/seats), GNOME Shell headless on one virtual monitor
# with Xwayland and the AppIndicator extension (the panel's watcher), and the
# desktop portal with GNOME's back end, started on demand by the bus. The
# settings are a key file of the account's own. The shell starts in the
# overview, which is left.
start_gnome() {
    local geometry=${1:-1280x800} scale=${2:-1}
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
    # An integer scale: X11 programs still see device pixels.
    [[ $scale == 1 ]] || echo "scaling-factor=uint32 $scale" >>"$CH$USER_HOME/.config/glib-2.0/settings/keyfile"
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

# ---- Cases both desktop suites run -------------------------------------

# The program starts, its item registers with the desktop's watcher and
# names the exported menu or not, as the desktop's panel needs; ended, the
# item leaves the watcher. WHEN names the start in messages.
expect_start_registers() {
    local when=$1 menu=$2
    start_app
    wait_for_registered_item "$when"
    local announced=no
    item_property Menu 2>/dev/null | grep -q 'object path "/MenuBar"' && announced=yes
    [[ $announced == "$menu" ]] || fail "$when: the item names an exported menu: $announced, expected $menu"
    # The item stays registered, and its Id can be read: a panel that reads
    # it a moment later finds it.
    sleep 3
    program_item || fail "$when: the item left the watcher a moment after registering"
    item_property Id | grep -q '"vornik-tools"' || fail "$when: the item's Id cannot be read"
}

expect_item_gone_after_stop() {
    stop_app
    wait_for 10 not registered_item || fail "$1: the item stayed registered after the program ended"
}

# Copies: a native copy is collected, a copy marked secret by a password
# manager is not, and the same kind of copy without the mark is.
expect_file() { expect_file_bytes "$EMAILS" "$1" "$2" 15; }
selection_is() { [[ $(wl_paste) == "$1" ]]; }

# SECRET_COPY_FROM says who makes the secret copy: "native" (the GTK
# window, a copy with the password manager's hint among the text types) or
# "x11" (a Qt program on Xwayland doing the same), for desktops where a
# native program's copy of several types does not reach X11 programs.
SECRET_COPY_FROM=native
check_copies() {
    local before=$1
    wl_copy "x native@copy y"
    wait_for 10 selection_is "x native@copy y" || fail "wl-copy's copy did not become the selection"
    expect_file "${before}native@copy\r\n" "a native copy is collected"
    if [[ $SECRET_COPY_FROM == native ]]; then
        window_copy 'text/plain;charset=utf-8,UTF8_STRING,x-kde-passwordManagerHint' 'secret@vault'
    else
        install -m 755 "${VORNIK_TEST_BIN_DIR:?}/e2e/secret_copy" "$CH/usr/local/bin/vornik-e2e-secret-copy"
        session_command
        "${SESSION_COMMAND[@]}" QT_QPA_PLATFORM=xcb vornik-e2e-secret-copy 'secret@vault' >"$E2E_TMP/secret.log" 2>&1 &
    fi
    wait_for 10 selection_is 'secret@vault' || fail "the secret copy did not become the selection"
    wl_copy 'after@secret'
    expect_file "${before}native@copy\r\nafter@secret\r\n" "a copy marked secret ($SECRET_COPY_FROM) is not collected"
    if [[ $SECRET_COPY_FROM == native ]]; then
        window_copy 'text/plain;charset=utf-8,UTF8_STRING' 'plain@owner'
    else
        x11 sh -c 'printf plain@owner | xclip -selection clipboard'
    fi
    wait_for 10 selection_is 'plain@owner' || fail "the unmarked copy did not become the selection: $(wl_paste)"
    expect_file "${before}native@copy\r\nafter@secret\r\nplain@owner\r\n" \
        "the same kind of copy without the mark is collected"
}

# Opens the tool window as a click on the panel's icon does and waits until
# it covers the output.
open_tools() {
    local what=$1
    panel_calls Activate 600 15
    wait_for 30 tool_window_visible || fail "$what: the tool window did not open$(capture_message)"
    covers_output() { [[ $(tool_window_geometry) == "0 0 $SESSION_WIDTH $SESSION_HEIGHT" ]]; }
    wait_for 10 covers_output || fail "$what: the tool window is at $(tool_window_geometry), not full screen"
}

# The program's message box, if one is open, as a note for a failure.
capture_message() { [[ -n $(x11_window '^Vornik Tools$') ]] && echo " (the program shows a message box)"; }

# Points at (X, Y) of the open tool window and presses F3; the readout must
# reach native programs' clipboard as WANT, and the window close.
expect_colour_at() {
    local x=$1 y=$2 want=$3 what=$4
    x11 xdotool mousemove $((x + 1)) "$y"
    x11 xdotool mousemove "$x" "$y"
    local tries=0
    pasted() { selection_is "$want"; }
    until pasted; do
        if ((++tries > 5)); then
            fail "$what: wl-paste gives '$(wl_paste)', expected '$want'"
        fi
        tool_window_visible && x11 xdotool key F3
        wait_for 3 pasted && break
    done
    wait_for 10 not tool_window_visible || fail "$what: F3 did not close the tool window"
    note "ok: $what"
}

# Over the native window of start_colour_window (colour NATIVE), with the
# tool window open: F7's spacing ruler spans the window's size, which F4
# copies as W:H, and Shift+F3 copies the colour as rgb(R, G, B), each read
# by wl-paste. Opens the tool window for each key itself.
check_ruler_and_rgb() {
    local w h
    wait_for 10 grep -q '^size ' "$E2E_TMP/window.log" || fail "the native window told no size"
    read -r _ w h <<<"$(grep '^size ' "$E2E_TMP/window.log" | tail -n 1)"
    # GNOME's portal pictures the pointer too: it waits off the ruler's
    # row and column while the screen is captured.
    x11 xdotool mousemove $((w - 80)) $((h - 60))
    # Opens the tool window, points at (300, 300) and presses the keys, the
    # last of which copies and closes the window.
    press_at_point() {
        open_tools "$1"
        shift
        x11 xdotool mousemove 301 300
        x11 xdotool mousemove 300 300
        local key
        for key in "$@"; do
            x11 xdotool key "$key"
            sleep 0.3
        done
        wait_for 10 not tool_window_visible || fail "${!#} did not close the tool window"
    }
    press_at_point "the spacing ruler" F7 F4
    wait_for 5 selection_is "$w:$h" || fail "F7 then F4 gives '$(wl_paste)', expected the native window's $w:$h"
    note "ok: F7 then F4 gives the native window's size $w:$h"
    press_at_point "the colour as rgb()" shift+F3
    local want
    want=$(printf 'rgb(%d, %d, %d)' "0x${NATIVE:0:2}" "0x${NATIVE:2:2}" "0x${NATIVE:4:2}")
    wait_for 5 selection_is "$want" || fail "Shift+F3 gives '$(wl_paste)', expected $want"
    note "ok: Shift+F3 gives $want"
}

# F5 over a selection opens the save dialog, shown and holding the focus;
# Escape closes it and then the tool window.
check_save_dialog() {
    local what=$1
    x11 xdotool mousemove 200 200
    x11 xdotool mousedown 1
    x11 xdotool mousemove 250 240
    sleep 0.2
    x11 xdotool mousemove 300 280
    sleep 0.2
    x11 xdotool mouseup 1
    sleep 0.3
    x11 xdotool key F5
    dialog() { x11_window 'Save'; }
    wait_for 10 dialog || fail "$what: F5 did not open the save dialog"
    local id
    id=$(dialog)
    dialog_focused() { [[ $(x11 xdotool getwindowfocus 2>/dev/null) == "$(dialog)" ]]; }
    wait_for 10 dialog_focused ||
        fail "$what: the save dialog $id is shown but the focus is on $(x11 xdotool getwindowfocus 2>/dev/null)"
    note "ok: $what: the save dialog is shown and has the focus"
    x11 xdotool key Escape
    wait_for 10 not dialog || fail "$what: Escape did not close the save dialog"
    # GNOME Shell 43 leaves the dialog's picture on the screen for good when
    # the window it was shown over closes while the shell is still undimming
    # that window (a TypeError in its window manager); the next capture
    # would show it. A user's second Escape comes later than a script's.
    sleep 1
    tool_window_visible && x11 xdotool key Escape
    wait_for 10 not tool_window_visible || fail "$what: Escape did not close the tool window"
}

# Portals leave their pictures in the pictures folder or in /tmp; none of
# the program's captures may stay.
pictures_left() {
    find "$CH$USER_HOME" "$CH$USER_HOME/Pictures" "$CH/tmp" -maxdepth 1 -type f \( -iname '*.png' -o -iname '*.jp*g' \) \
        -user "$CHROOT_USER" 2>/dev/null || true
}

# GNOME Shell's keyboard (remote_keys.py): gnome_key NAME[+NAME...] presses
# keys as the seat's own keyboard would, for the shell's dialogs and native
# windows.
KEYS_SENT=0
start_gnome_keyboard() {
    install -m 755 "$E2E_DIR/remote_keys.py" "$CH/usr/local/bin/vornik-e2e-remote-keys"
    mkfifo -m 666 "$HOST_RUN/keys"
    session_command
    "${SESSION_COMMAND[@]}" python3 /usr/local/bin/vornik-e2e-remote-keys "$RUN/keys" >"$E2E_TMP/keys.log" 2>&1 &
    exec {KEYS_FD}>"$HOST_RUN/keys"
    wait_for 20 grep -q '^ready' "$E2E_TMP/keys.log" || fail "no remote desktop keyboard"
}
gnome_key() {
    echo "key $1" >&"$KEYS_FD"
    ((++KEYS_SENT))
    wait_for 10 grep -q "^done $KEYS_SENT\$" "$E2E_TMP/keys.log" || fail "the key $1 was not sent"
}

# ---- GNOME's screenshot permission -------------------------------------

# Logs every access dialog the portal asks GNOME Shell for, and its answer.
watch_access_dialogs() {
    session_command
    "${SESSION_COMMAND[@]}" dbus-monitor --session \
        "type='method_call',interface='org.freedesktop.impl.portal.Access',member='AccessDialog'" \
        >"$E2E_TMP/access.txt" 2>&1 &
    sleep 0.5
}
# Whether the portal asked for at least N dialogs.
access_dialog_asked() { (($(grep -c 'member=AccessDialog' "$E2E_TMP/access.txt") >= $1)); }

# answer_access_dialog Allow|Deny [APP_ID]: answers GNOME Shell's dialog
# for the app id (empty for a program of no app), Tab and Return for Allow,
# Escape for Deny. The shell shows the dialog a moment after the call, later
# on a busy machine, and keys sent before it is up are lost: Allow is sent
# again until the permission store holds it. Escape is sent once, since a
# lost one may have closed a window of the program's instead.
answer_access_dialog() {
    local answer=$1 app=${2:-} tries
    allowed() { [[ $(screenshot_permission) == *"'$app': ['yes']"* ]]; }
    sleep 3
    if [[ $answer != Allow ]]; then
        gnome_key Escape
        return 0
    fi
    for ((tries = 0; tries < 3; tries++)); do
        gnome_key Tab
        gnome_key Return
        wait_for 8 allowed && return 0
    done
    fail "GNOME's dialog took no Allow for '$app' (store: $(screenshot_permission))"
}

# The permission store's screenshot entry, for an app id or all of them.
screenshot_permission() {
    in_session gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
        --object-path /org/freedesktop/impl/portal/PermissionStore \
        --method org.freedesktop.impl.portal.PermissionStore.Lookup screenshot screenshot 2>&1
}

# The tool window opens after the capture that asked (open_tools sends the
# click first).
open_tools_asked() {
    local what=$1
    wait_for 30 tool_window_visible || fail "$what: the tool window did not open$(capture_message)"
    covers_output() { [[ $(tool_window_geometry) == "0 0 $SESSION_WIDTH $SESSION_HEIGHT" ]]; }
    wait_for 10 covers_output || fail "$what: the tool window is at $(tool_window_geometry), not full screen"
}

# ---- The exported menu (com.canonical.dbusmenu) ------------------------

menu_layout() {
    in_session gdbus call --session --dest "$item_service" --object-path /MenuBar \
        --method com.canonical.dbusmenu.GetLayout -- 0 -1 '@as []'
}
# The id of the item with that label (mnemonic marks taken out).
menu_item_id() {
    menu_layout | python3 -c '
import re, sys
text, want = sys.stdin.read(), sys.argv[1]
for ident, props in re.findall(r"\((\d+), \{([^{}]*)\}, (?:@av )?\[\]\)", text):
    label = re.search(r"'"'"'label'"'"': <'"'"'([^'"'"']*)'"'"'>", props)
    if label and label.group(1).replace("_", "") == want:
        print(ident)
        break
else:
    sys.exit(1)' "$1"
}
expect_exported_menu() {
    local layout label
    layout=$(menu_layout) || fail "the exported menu cannot be read"
    for label in "E-mail collect" "Color picker, size, cut tools [ESC to exit]" "Exit"; do
        menu_item_id "$label" >/dev/null || fail "the exported menu has no item '$label': $layout"
    done
    [[ $layout == *"'toggle-type': <'checkmark'>"* ]] || fail "the exported menu has no check box: $layout"
    [[ $layout == *"'type': <'separator'>"* ]] || fail "the exported menu has no separator: $layout"
    note "ok: the exported menu holds its items"
}
# Chooses an item as the extension does when it is clicked.
menu_click() {
    local id
    id=$(menu_item_id "$1") || fail "the exported menu has no item '$1'"
    in_session gdbus call --session --dest "$item_service" --object-path /MenuBar \
        --method com.canonical.dbusmenu.AboutToShow 0 >/dev/null || fail "AboutToShow was not answered"
    in_session gdbus call --session --dest "$item_service" --object-path /MenuBar \
        --method com.canonical.dbusmenu.Event "$id" clicked '<int32 0>' 0 >/dev/null ||
        fail "the click on '$1' was not answered"
}

# Installs the menu entry APP_ID.desktop for the program, as its package or
# the user would have long before it starts: the shell reads new entries a
# while after they appear, and knows the program's windows as the app (which
# its access dialogs need) only once it has.
install_app_entry() {
    cat >"$CH/usr/share/applications/$1.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Vornik Tools (test entry)
Exec=/usr/bin/vornik-tools
Icon=vornik-tools
Categories=Utility;
ENTRY
}

# Starts the program as GNOME starts a program from its menu entry or from
# autostart: in a systemd scope of its own named after the entry, the scope
# the portal takes the program's app id from. The entry APP_ID.desktop must
# be installed (install_app_entry) before the shell starts. Further arguments
# are VAR=value pairs for its environment.
SCOPES=()
start_app_in_scope() {
    local app_id=$1; shift
    [[ -f $CH/usr/share/applications/$app_id.desktop ]] || fail "no menu entry $app_id.desktop installed"
    local scope="user.slice/user-2747.slice/user@2747.service/app.slice/app-gnome-${app_id}-$$.scope"
    local hierarchy
    for hierarchy in systemd unified; do
        [[ -d /sys/fs/cgroup/$hierarchy ]] || continue
        mkdir -p "/sys/fs/cgroup/$hierarchy/$scope"
        SCOPES+=("/sys/fs/cgroup/$hierarchy/$scope")
    done
    ((${#SCOPES[@]})) || fail "no cgroup hierarchy to make the scope in"
    session_command
    local enter="" dir
    for dir in "${SCOPES[@]}"; do enter+="echo \$\$ >$dir/cgroup.procs && "; done
    # The shell moves itself into the scope and becomes the program.
    chroot "$CH" sh -c "${enter}exec \"\$@\"" sh "${SESSION_COMMAND[@]:2}" "$@" /usr/bin/vornik-tools \
        >"$E2E_TMP/app.log" 2>&1 &
    APP_PID=$!
}
remove_scopes() {
    local dir
    for dir in "${SCOPES[@]}"; do
        # The scope and the folders above it that were made for it, where empty.
        while [[ $dir == /sys/fs/cgroup/*/user.slice* ]]; do
            rmdir "$dir" 2>/dev/null || break
            dir=$(dirname "$dir")
        done
    done
    SCOPES=()
}
