#!/usr/bin/env bash
# Shared set-up for the end-to-end tests: a private X server with a window
# manager and, on request, a tray host. Source it, then call start_desktop.
# Everything started here is stopped by the EXIT trap.
set -euo pipefail

E2E_PIDS=()
E2E_TMP=$(mktemp -d /tmp/vornik-e2e.XXXXXX)

e2e_cleanup() {
    local pid
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[i]}
        kill "$pid" 2>/dev/null || true
    done
    sleep 0.2
    for pid in "${E2E_PIDS[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

# shellcheck source=tests/e2e/basics.sh
source "$(dirname "${BASH_SOURCE[0]}")/basics.sh"
fail() { echo "FAIL: $*" >&2; [[ -s $E2E_TMP/app.log ]] && sed "s/^/app: /" "$E2E_TMP/app.log" >&2; exit 1; }

# start_desktop [WIDTHxHEIGHT] [tray|nowm|nofocus]: Xvfb on a free display,
# openbox (left out with "nowm", never focusing new windows with "nofocus"),
# and trayer with "tray". Further Xvfb arguments may be given in XVFB_ARGS.
start_desktop() {
    local geometry=${1:-1280x800}
    local fifo="$E2E_TMP/displayfd"
    mkfifo "$fifo"
    # shellcheck disable=SC2086 # XVFB_ARGS is a list of words
    Xvfb -displayfd 3 -screen 0 "${geometry}x24" -nolisten tcp -noreset ${XVFB_ARGS:-} 3>"$fifo" 2>"$E2E_TMP/xvfb.log" &
    E2E_PIDS+=($!)
    local number
    read -r -t 20 number <"$fifo" || fail "Xvfb did not start"
    export DISPLAY=":$number"
    wait_for 10 xdpyinfo || fail "X server $DISPLAY not answering"
    local config=()
    if [[ ${2:-} == nofocus ]]; then
        # A window manager that never gives new windows the focus.
        printf '%s\n' '<?xml version="1.0"?>' \
            '<openbox_config xmlns="http://openbox.org/3.4/rc"><focus><focusNew>no</focusNew></focus></openbox_config>' \
            >"$E2E_TMP/rc.xml"
        config=(--config-file "$E2E_TMP/rc.xml")
    fi
    if [[ ${2:-} != nowm ]]; then
        openbox --sm-disable "${config[@]}" >"$E2E_TMP/openbox.log" 2>&1 &
        E2E_PIDS+=($!)
        wait_for 10 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window' || fail "openbox did not start"
    fi
    if [[ ${2:-} == tray ]]; then start_tray; fi
}

# The tray stands at the edge TRAY_EDGE (top unless set); TRAY_LOOK holds
# trayer's colour options (a white opaque panel unless set).
TRAY_PID=
start_tray() {
    local look
    read -r -a look <<<"${TRAY_LOOK:---transparent false --tint 0xffffff}"
    trayer --edge "${TRAY_EDGE:-top}" --align right --widthtype request --height 32 "${look[@]}" \
        >"$E2E_TMP/trayer.log" 2>&1 &
    TRAY_PID=$!
    E2E_PIDS+=($TRAY_PID)
    tray_host_up() { xprop -root | grep -q . && tray_panel_shown; }
    wait_for 10 tray_host_up || fail "trayer did not start"
}

# Real users are not root. With VORNIK_E2E_USER set, a test run by root
# starts the program (and whatever else it passes to as_app_user) as the
# unprivileged account "vornik-e2e", made here when missing, so that file
# permission bits act as they do for everyone else. APP_USER names the
# account the program runs as.
E2E_RUN_AS=()
APP_USER=$(id -un)
if [[ -n ${VORNIK_E2E_USER:-} ]] && ((EUID == 0)); then
    APP_USER=vornik-e2e
    if ! id -u "$APP_USER" >/dev/null 2>&1; then
        # Two tests may race to make it; the loser finds it made.
        useradd --create-home --shell /bin/sh "$APP_USER" 2>/dev/null || id -u "$APP_USER" >/dev/null ||
            fail "cannot create the test user $APP_USER"
    fi
    E2E_RUN_AS=(setpriv --reuid="$APP_USER" --regid="$APP_USER" --init-groups
        env HOME="$(getent passwd "$APP_USER" | cut -d: -f6)" USER="$APP_USER" LOGNAME="$APP_USER")
    chmod 755 "$E2E_TMP"
fi

# Runs a command as the account the program runs as.
as_app_user() { "${E2E_RUN_AS[@]}" "$@"; }

# Copies the program into a fresh folder, owned by the account that runs it,
# so that emails.txt lands there. Sets APP_DIR and APP_BIN.
install_app() {
    local bin=${VORNIK_BIN:?VORNIK_BIN must name the built vornik-tools}
    APP_DIR="$E2E_TMP/app"
    mkdir -p "$APP_DIR"
    cp "$bin" "$APP_DIR/vornik-tools"
    chown -R "$APP_USER:" "$APP_DIR"
    APP_BIN="$APP_DIR/vornik-tools"
}

APP_PID=
start_app() {
    # Started as a command, not through the shell function as_app_user: a
    # function sent to the background runs in a subshell of its own, whose
    # process id $! would be, and a kill would end that subshell and leave
    # the program running. setpriv and env replace themselves by the program.
    "${E2E_RUN_AS[@]}" "$APP_BIN" >"$E2E_TMP/app.log" 2>&1 &
    APP_PID=$!
    E2E_PIDS+=($APP_PID)
}

app_running() { kill -0 "$APP_PID" 2>/dev/null; }

# Window ids of the program's visible top-level windows with the given name.
visible_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }

# The whole window tree as xwininfo prints it. The walk takes requests for
# every window, and a window that goes away meanwhile (a menu closing, a
# program ending) ends it with an error, so it is walked again.
window_tree() {
    local attempt tree
    for attempt in 1 2 3 4 5 6 7 8; do
        tree=$(xwininfo -root -tree 2>/dev/null) && { printf '%s\n' "$tree"; return 0; }
    done
    return 1
}

# Whether trayer's panel is on the desktop, and whether it is gone; a tree
# that cannot be read tells neither.
TRAY_PANEL='"panel": ("panel" "trayer")'
tray_panel_shown() { local tree; tree=$(window_tree) && [[ $tree == *"$TRAY_PANEL"* ]]; }
tray_panel_gone() { local tree; tree=$(window_tree) && [[ $tree != *"$TRAY_PANEL"* ]]; }

# The window of the given class docked in trayer: prints "X Y W H" in root
# coordinates; fails while it is not docked.
docked_geometry() {
    local tree
    tree=$(window_tree) || return 1
    awk -v class="\"$1\"" '
        function indent(line) { match(line, /^ */); return RLENGTH }
        /"panel": \("panel" "trayer"\)/ { depth = indent($0); inpanel = 1; next }
        inpanel && indent($0) <= depth { inpanel = 0 }
        inpanel && !found && index($0, class) {
            match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+/)
            split(substr($0, RSTART, RLENGTH), f, /[x+ ]+/)
            print f[5], f[6], f[1], f[2]; found = 1
        }
        END { exit !found }' <<<"$tree"
}

# The program's icon as docked in the tray.
tray_icon_geometry() { docked_geometry vornik-tools; }

# Moves the pointer to the middle of the tray icon; fails while not docked.
point_at_tray_icon() {
    local geometry
    geometry=$(tray_icon_geometry) || return 1
    read -r ix iy iw ih <<<"$geometry"
    xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2))
}

# Colour of one screen pixel as RRGGBB.
pixel() { "$VORNIK_TEST_BIN_DIR/e2e/xshot" "$1" "$2"; }

# Waits up to three seconds for the pixel to show the colour, since what
# the program draws reaches the screen a little after the input that caused it.
expect_pixel() {
    local x=$1 y=$2 want=$3 what=$4 got deadline=$((SECONDS + 3))
    while got=$(pixel "$x" "$y"); [[ $got != "$want" ]]; do
        ((SECONDS < deadline)) || fail "$what: pixel ($x, $y) is $got, expected $want"
        sleep 0.1
    done
}

# Whether the area X Y W H holds a pixel of the colour RRGGBB.
# (The output is taken whole first: under pipefail, grep -q leaving early
# would fail the pipe with the writer's broken pipe.)
area_has_colour() {
    local colours
    colours=$("$VORNIK_TEST_BIN_DIR/e2e/xshot" "$1" "$2" "$3" "$4") || return 1
    [[ $colours == *"$5"* ]]
}

# Geometry "X Y W H" of the program's open pop-up menu: a viewable window of
# the program that declares itself a pop-up menu (not the confirmation box,
# the tooltip or the tray icon); fails while none is open.
menu_geometry() {
    local id
    for id in $(xdotool search --onlyvisible --class '^vornik-tools$' 2>/dev/null); do
        [[ $(xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null) == *_NET_WM_WINDOW_TYPE_POPUP_MENU* ]] || continue
        xwininfo -id "$id" 2>/dev/null | awk '
            /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
            /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
            END { if (w == "") exit 1; print x, y, w, h }' && return 0
    done
    return 1
}

# Opens the tool window as the user does, by a double-click on the tray icon.
open_tool_window() {
    point_at_tray_icon || fail "the icon is not in the tray"
    sleep 0.2
    xdotool click --repeat 2 --delay 60 1
    wait_for 5 main_window_visible || fail "the double-click did not open the tool window"
    sleep 0.5
}

open_tray_menu() {
    point_at_tray_icon || fail "the icon is not in the tray"
    sleep 0.2
    xdotool click 3
    wait_for 5 menu_geometry || fail "the tray menu did not open"
}

# The program's main window is mapped and viewable.
main_window_visible() { xdotool search --onlyvisible --name '^Form1$' >/dev/null 2>&1; }

clipboard_text() { xclip -o -selection clipboard 2>/dev/null; }
