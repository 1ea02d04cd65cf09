#!/usr/bin/env bash
# The tray icon end to end: a small host program shows the program's icon in
# trayer on a private X server; the test finds the docked icon window, clicks
# it with xdotool, reads the events the host prints, and restarts trayer to
# see the icon come back.
source "$(dirname "$0")/lib.sh"

DEMO=${VORNIK_TEST_BIN_DIR:?VORNIK_TEST_BIN_DIR must name the test binaries}/e2e/tray_host_demo
HINT='Press right click to open menu'
LOG="$E2E_TMP/demo.log"

start_desktop 1280x800 tray
as_app_user "$DEMO" "$HINT|the long part" >"$LOG" 2>"$E2E_TMP/demo.err" &
DEMO_PID=$!
E2E_PIDS+=($DEMO_PID)

ROOT=$(xwininfo -root | awk '/Window id:/ {print $4}')

parent_of() { xwininfo -id "$1" -children 2>/dev/null | awk '/Parent window id:/ {print $4}'; }

# Whether a window or one of its ancestors belongs to trayer.
inside_trayer() {
    local window=$1
    while [[ -n $window && $window != "$ROOT" && $window != 0x0 ]]; do
        xprop -id "$window" WM_CLASS 2>/dev/null | grep -q '"trayer"' && return 0
        window=$(parent_of "$window")
    done
    return 1
}

viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# Prints the id of the host's icon window that trayer holds and shows.
docked_icon() {
    local window
    for window in $(xdotool search --class tray_host_demo 2>/dev/null); do
        window=$(printf '0x%x' "$window")
        viewable "$window" || continue
        [[ $(parent_of "$window") != "$ROOT" ]] || continue
        inside_trayer "$window" || continue
        echo "$window"
        return 0
    done
    return 1
}

# Viewable windows of the host directly on the root window (menus, tooltips,
# or an icon window left behind by a host that went away).
top_level_windows() {
    local window
    for window in $(xdotool search --class tray_host_demo 2>/dev/null); do
        window=$(printf '0x%x' "$window")
        viewable "$window" && [[ $(parent_of "$window") == "$ROOT" ]] && echo "$window"
    done
    return 0
}

MARK=0
mark() { MARK=$(wc -l <"$LOG"); }
# expect_events WHAT LINE...: the host printed exactly these lines since mark.
expect_events() {
    local what=$1; shift
    local expected got
    expected=$(printf '%s\n' "$@")
    wait_for 5 bash -c "(( \$(tail -n +$((MARK + 1)) '$LOG' | wc -l) >= $# ))" || true
    sleep 0.3
    got=$(tail -n +$((MARK + 1)) "$LOG")
    if [[ $got != "$expected" ]]; then
        echo "expected:"; echo "$expected"; echo "got:"; echo "$got"
        fail "$what"
    fi
    note "ok: $what"
}

check_docked() {
    ICON=$(docked_icon) || fail "$1: the icon is not in the tray"
    local info width height
    info=$(xwininfo -id "$ICON")
    width=$(awk '/Width:/ {print $2}' <<<"$info")
    height=$(awk '/Height:/ {print $2}' <<<"$info")
    ((width >= 16 && height >= 16)) || fail "$1: the icon window is ${width}x${height}"
    [[ $(xprop -id "$ICON" WM_NAME) == *"\"$HINT\""* ]] || fail "$1: the icon's tooltip text is not the short hint"
    local navy tries
    # The icon is painted a moment after it is docked.
    for tries in 1 2 3 4 5 6 7 8 9 10; do
        navy=$("$DEMO" --grab "$ICON" 2>/dev/null | awk '{print $2}')
        ((${navy:-0} > 20)) && break
        sleep 0.2
    done
    ((${navy:-0} > 20)) || fail "$1: the icon window does not show the icon (navy pixels: $navy)"
    note "ok: $1: docked in trayer as $ICON, ${width}x${height}, $navy pixels of the icon's blue"
}

# A pop-up menu of the host: a top-level window that is not a tooltip.
menu_shown() {
    local window
    for window in $(top_level_windows); do
        xprop -id "$window" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP || return 0
    done
    return 1
}

right_click_opens_menu() {
    eval "$(xdotool getwindowgeometry --shell "$ICON")"
    cx=$((X + WIDTH / 2)) cy=$((Y + HEIGHT / 2))
    xdotool mousemove "$cx" "$cy"
    sleep 0.3
    mark
    xdotool click 3
    wait_for 5 grep -q '^popup' "$LOG" || fail "$1: a right click opened no menu"
    wait_for 5 menu_shown || fail "$1: the menu window did not appear"
    sleep 0.3
    xdotool key Escape
    expect_events "$1: a right click reports down, then opens the menu at the pointer on the release" \
        "down right $cx,$cy" "popup $cx,$cy" "menu closed" "up right $cx,$cy"
}

# Generous: on a machine loaded far beyond its cores the first docking once
# was not seen within ten seconds (the cause is not known).
wait_for 20 docked_icon || fail "the icon never docked; host: $(cat "$E2E_TMP/demo.err"); trayer: $(cat "$E2E_TMP/trayer.log")"
grep -qx 'added 1' "$LOG" || fail "the host says the icon was not added"
check_docked "at start"

right_click_opens_menu "at start"

mark
xdotool click --repeat 2 --delay 80 1
expect_events "a left double-click reaches the double-click handler once" \
    "down left $cx,$cy" "click left $cx,$cy" "up left $cx,$cy" "dblclick" "down left double $cx,$cy" \
    "up left $cx,$cy"

# Hovering shows the tooltip, a window of the host typed as a tooltip.
xdotool mousemove_relative 1 0
tooltip_shown() {
    local window
    for window in $(top_level_windows); do
        xprop -id "$window" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP && return 0
    done
    return 1
}
wait_for 5 tooltip_shown || fail "hovering over the icon shows no tooltip"
note "ok: hovering shows the tooltip"
xdotool mousemove 640 400

# The desktop panel restarts: the icon goes with the old host and comes back.
kill "$TRAY_PID"
wait_for 5 tray_panel_gone || fail "trayer did not end"
sleep 0.5
! docked_icon >/dev/null || fail "the icon is still docked after trayer ended"
[[ -z $(top_level_windows) ]] || fail "a window of the host was left on the desktop: $(top_level_windows)"
kill -0 "$DEMO_PID" || fail "the host ended with the tray"
note "ok: trayer ended; nothing of the host is left on the desktop"

start_tray
wait_for 10 docked_icon || fail "the icon did not come back to the new trayer"
check_docked "after trayer restarted"
right_click_opens_menu "after trayer restarted"

# "Exit" in the menu ends the host, and the icon leaves the tray.
xdotool click 3
wait_for 5 bash -c "[[ \$(grep -c '^popup' '$LOG') -ge 3 ]]" || fail "the menu did not open for Exit"
sleep 0.5
xdotool key Down Return
wait_for 5 bash -c "! kill -0 $DEMO_PID 2>/dev/null" || fail "Exit did not end the host"
! docked_icon >/dev/null || fail "the icon stayed in the tray after the host ended"
note "ok: Exit ends the host and the icon leaves the tray"

! grep -i 'xcb error' "$E2E_TMP/demo.err" || fail "the host caused X errors"
echo "tray end to end: all checks passed"
