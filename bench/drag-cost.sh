#!/usr/bin/env bash
# Processor time of a selection drag through the real program: the program's
# own and the X server's, from /proc, per pointer move. The moves come from
# outside the program (xdotool), paced like a mouse reporting at 125 Hz, so
# that every move is a separate event as it would be for a user.
#
# Sourced by bench/run-table.sh after tests/e2e/lib.sh; needs a desktop from
# start_desktop with a tray, install_app, and XVFB_PID naming the X server.
# Standalone:  bench/drag-cost.sh BUILD_DIR [WIDTHxHEIGHT]   prints "name value" lines.

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

# The xdotool commands of one drag: a press at a third of the screen, then
# DRAG_MOVES moves that draw a box out towards the lower right corner and
# wobble its corner there, as someone measuring an area does; then a release.
drag_script() {
    local w=$1 h=$2
    awk -v w="$w" -v h="$h" -v n="$DRAG_MOVES" -v pause="$DRAG_PAUSE" 'BEGIN {
        srand(7); x = int(w / 3); y = int(h / 3); tx = int(w * 7 / 8); ty = int(h * 7 / 8)
        printf "mousemove %d %d mousedown 1 sleep 0.05\n", x, y
        for (i = 0; i < n; i++) {
            x += (x < tx) ? int(rand() * 12) : int(rand() * 9) - 4
            y += (y < ty) ? int(rand() * 8) : int(rand() * 9) - 4
            if (x < 0) x = 0; if (x > w - 1) x = w - 1; if (y < 0) y = 0; if (y > h - 1) y = h - 1
            printf "mousemove %d %d sleep %s\n", x, y, pause
        }
    }'
}

# Milliseconds per move of a number of clock ticks (ticks, ticks per second).
per_move() { awk -v t="$1" -v k="$2" -v n="$DRAG_MOVES" 'BEGIN {printf "%.3f", t * 1000 / k / n}'; }

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
    local script="$E2E_TMP/drag.xdo" tick total=() apps=() xs=() run a0 x0 a1 x1
    drag_script "$w" "$h" >"$script"
    tick=$(getconf CLK_TCK)
    for ((run = 0; run < 3; run++)); do
        wait_until_quiet "$APP_PID"
        a0=$(cpu_ticks "$APP_PID") x0=$(cpu_ticks "$XVFB_PID")
        xdotool - <"$script"
        wait_until_quiet "$APP_PID"
        a1=$(cpu_ticks "$APP_PID") x1=$(cpu_ticks "$XVFB_PID")
        xdotool mouseup 1
        apps+=("$(per_move "$((a1 - a0))" "$tick")")
        xs+=("$(per_move "$((x1 - x0))" "$tick")")
        total+=("$(per_move "$((a1 - a0 + x1 - x0))" "$tick")")
    done
    app_running || fail "the program ended during the drags"
    xdotool key Escape
    wait_for 5 not main_window_visible || fail "Escape did not close the tool window"
    kill "$APP_PID"
    wait "$APP_PID" 2>/dev/null || true
    wait_for 5 not tray_icon_geometry || fail "the icon stayed in the tray"
    R[drag.${label}_$size]=$(printf '%s\n' "${total[@]}" | sort -n | sed -n 2p)
    R[drag.${label}_app_$size]=$(printf '%s\n' "${apps[@]}" | sort -n | sed -n 2p)
    R[drag.${label}_x_$size]=$(printf '%s\n' "${xs[@]}" | sort -n | sed -n 2p)
    R[drag.${label}_all_$size]="${total[*]}"
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
    for key in "${!R[@]}"; do echo "${key#drag.} ${R[$key]}"; done | sort
fi
