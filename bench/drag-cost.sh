#!/usr/bin/env bash
# Processor time of a selection drag through the real program: the program's
# own and the X server's, from /proc, per pointer move. The moves come from
# outside the program (xdotool), paced like a mouse reporting at 125 Hz, so
# that every move is a separate event as it would be for a user.
#
# Sourced by bench/run-table.sh after tests/e2e/lib.sh; needs a desktop from
# start_desktop with a tray, install_app, and XVFB_PID naming the X server.
# Standalone:  bench/drag-cost.sh BUILD_DIR [WIDTHxHEIGHT]   prints "name value" lines.
# The rows beside flameshot (peer_drags) need Debian's flameshot installed.

DRAG_MOVES=${VORNIK_DRAG_MOVES:-600}
DRAG_PAUSE=${VORNIK_DRAG_PAUSE:-0.008}

# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Waits until the process has used no processor time for a while, so that
# everything a drag queued is done before its time is read.
wait_until_quiet() {
    local pid=$1 before after quiet=0
    before=$(cpu_ticks "$pid")
    while ((quiet < 3)); do
        sleep 0.05
        after=$(cpu_ticks "$pid")
        if [[ $after == "$before" ]]; then quiet=$((quiet + 1)); else quiet=0; fi
        before=$after
    done
}

# The xdotool commands of one drag (DRAG_KIND): a press, DRAG_MOVES moves
# with the button held, each DRAG_PAUSE apart; the release is left to the
# caller.
#   wobble  from a third of the screen a box drawn out towards the lower
#           right corner, its corner wobbled there, as someone measuring an
#           area does (the default);
#   jump    every move to a random place anywhere on the screen, so that
#           each move changes a box the size of the screen;
#   slow    one pixel right or down at a time, as a hand does when it lines
#           up an edge.
DRAG_KIND=${VORNIK_DRAG_KIND:-wobble}
drag_script() {
    local w=$1 h=$2
    awk -v w="$w" -v h="$h" -v n="$DRAG_MOVES" -v pause="$DRAG_PAUSE" -v kind="$DRAG_KIND" 'BEGIN {
        srand(7); x = int(w / 3); y = int(h / 3); tx = int(w * 7 / 8); ty = int(h * 7 / 8)
        printf "mousemove %d %d mousedown 1 sleep 0.05\n", x, y
        for (i = 0; i < n; i++) {
            if (kind == "jump") {
                x = int(rand() * w); y = int(rand() * h)
            } else if (kind == "slow") {
                if (i % 2 == 0) x++; else y++
            } else {
                x += (x < tx) ? int(rand() * 12) : int(rand() * 9) - 4
                y += (y < ty) ? int(rand() * 8) : int(rand() * 9) - 4
            }
            if (x < 0) x = 0; if (x > w - 1) x = w - 1; if (y < 0) y = 0; if (y > h - 1) y = h - 1
            printf "mousemove %d %d sleep %s\n", x, y, pause
        }
    }'
}

# Milliseconds per move of a number of clock ticks (ticks, ticks per second).
per_move() { awk -v t="$1" -v k="$2" -v n="$DRAG_MOVES" 'BEGIN {printf "%.3f", t * 1000 / k / n}'; }

# One measured drag: waits until PID is quiet, runs the drag script, waits
# again, releases the button, and appends the milliseconds per move of PID,
# of the X server and of both to the arrays apps, xs and total of the caller.
measured_drag() {
    local pid=$1 script=$2 tick a0 x0 a1 x1
    tick=$(getconf CLK_TCK)
    wait_until_quiet "$pid"
    a0=$(cpu_ticks "$pid") x0=$(cpu_ticks "$XVFB_PID")
    xdotool - <"$script"
    wait_until_quiet "$pid"
    a1=$(cpu_ticks "$pid") x1=$(cpu_ticks "$XVFB_PID")
    xdotool mouseup 1
    apps+=("$(per_move "$((a1 - a0))" "$tick")")
    xs+=("$(per_move "$((x1 - x0))" "$tick")")
    total+=("$(per_move "$((a1 - a0 + x1 - x0))" "$tick")")
}

# Leaves the median of the three runs in apps, xs and total in R, under the
# label and screen size (see drag_cost).
store_drags() {
    local label=$1 size=$2
    R[drag.${label}_$size]=$(printf '%s\n' "${total[@]}" | sort -n | sed -n 2p)
    R[drag.${label}_app_$size]=$(printf '%s\n' "${apps[@]}" | sort -n | sed -n 2p)
    R[drag.${label}_x_$size]=$(printf '%s\n' "${xs[@]}" | sort -n | sed -n 2p)
    R[drag.${label}_all_$size]="${total[*]}"
}

# drag_cost LABEL [ENV=VALUE...]: starts the program with the given
# environment, opens the tool window from the tray icon, runs three drags and
# leaves in R[drag.LABEL_SIZE] the median of the three runs' milliseconds of
# program + X server time per move, and the parts in R[drag.LABEL_app_SIZE],
# R[drag.LABEL_x_SIZE]; all three runs in R[drag.LABEL_all_SIZE].
drag_cost() {
    local label=$1
    shift
    local size w h
    size=$(xdpyinfo | awk '/dimensions:/ && !done {print $2; done = 1}')
    w=${size%x*} h=${size#*x}
    env "$@" "$APP_BIN" >"$E2E_TMP/app.log" 2>&1 &
    APP_PID=$!
    E2E_PIDS+=("$APP_PID")
    wait_for 15 tray_icon_geometry || fail "the program's icon never docked"
    wait_for 5 not main_window_visible || fail "the main window stayed visible"
    point_at_tray_icon || fail "the icon is not in the tray"
    sleep 0.2
    xdotool click --repeat 2 --delay 60 1
    wait_for 5 main_window_visible || fail "the double-click did not open the tool window"
    local script="$E2E_TMP/drag.xdo" total=() apps=() xs=() run
    drag_script "$w" "$h" >"$script"
    for ((run = 0; run < 3; run++)); do
        measured_drag "$APP_PID" "$script"
    done
    app_running || fail "the program ended during the drags"
    xdotool key Escape
    wait_for 5 not main_window_visible || fail "Escape did not close the tool window"
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
    wait_for 5 not tray_icon_geometry || fail "the icon stayed in the tray"
    store_drags "$label" "$size"
}

# peer_drag_cost LABEL: the same drags through Debian's flameshot in its
# frozen-screen overlay ("flameshot gui", which draws a selection as the
# pointer drags), on the same X server, with a session bus and a settings
# folder of its own so that it shows no welcome, tray icon or notification.
# Each run starts the overlay anew, since a press inside an existing
# selection would move it rather than draw a new one. Leaves its figures in
# R as drag_cost does. Needs flameshot and dbus-daemon.
peer_drag_cost() {
    local label=$1 size w h
    size=$(xdpyinfo | awk '/dimensions:/ && !done {print $2; done = 1}')
    w=${size%x*} h=${size#*x}
    local home="$E2E_TMP/peer-home" bus="$E2E_TMP/peer-bus"
    mkdir -p "$home/.config/flameshot"
    cat >"$home/.config/flameshot/flameshot.ini" <<'INI'
[General]
showHelp=false
showStartupLaunchMessage=false
disabledTrayIcon=true
showDesktopNotification=false
startupLaunch=false
checkForUpdates=false
INI
    rm -f "$bus"
    dbus-daemon --session --nofork --nopidfile --address="unix:path=$bus" >"$E2E_TMP/peer-dbus.log" 2>&1 &
    local bus_pid=$!
    E2E_PIDS+=("$bus_pid")
    wait_for 5 test -S "$bus" || fail "the peer's session bus did not start"
    local script="$E2E_TMP/drag.xdo" total=() apps=() xs=() run peer
    drag_script "$w" "$h" >"$script"
    peer_overlay() { xdotool search --onlyvisible --class flameshot >/dev/null 2>&1; }
    for ((run = 0; run < 3; run++)); do
        HOME=$home DBUS_SESSION_BUS_ADDRESS="unix:path=$bus" flameshot gui >>"$E2E_TMP/peer.log" 2>&1 &
        E2E_PIDS+=($!)
        wait_for 10 peer_overlay || fail "flameshot's overlay did not show: $(tail -n 3 "$E2E_TMP/peer.log")"
        peer=$(pgrep -n -x flameshot) || fail "no flameshot process"
        measured_drag "$peer" "$script"
        xdotool key Escape
        wait_for 10 not kill -0 "$peer" 2>/dev/null || kill "$peer" 2>/dev/null
        wait_for 5 not peer_overlay || fail "flameshot's overlay stayed"
    done
    kill "$bus_pid" 2>/dev/null || true
    store_drags "$label" "$size"
}

# Every kind of drag through flameshot, and the kinds the other rows do not
# already run through the program.
peer_drags() {
    local kind
    for kind in wobble jump slow; do
        DRAG_KIND=$kind
        [[ $kind == wobble ]] || drag_cost "$kind"
        peer_drag_cost "${kind}_peer"
    done
    DRAG_KIND=${VORNIK_DRAG_KIND:-wobble}
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    root=$(cd "$(dirname "$0")/.." && pwd)
    source "$root/tests/e2e/lib.sh"
    export VORNIK_BIN=${1:?usage: drag-cost.sh BUILD_DIR [WIDTHxHEIGHT]}/app/vornik-tools
    declare -A R
    first=${#E2E_PIDS[@]}
    start_desktop "${2:-1920x1080}" tray
    XVFB_PID=${E2E_PIDS[first]}
    install_app
    drag_cost incremental
    drag_cost full VORNIK_FULL_REDRAW=1
    peer_drags
    for key in "${!R[@]}"; do echo "${key#drag.} ${R[$key]}"; done | sort
fi
