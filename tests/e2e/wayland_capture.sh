#!/usr/bin/env bash
# The screen tools on a Wayland session (headless sway): the tool window,
# opened from waybar's tray over StatusNotifierItem, shows the desktop as the
# screenshot portal pictured it, native windows and panel included, and the
# picture the portal wrote is gone afterwards.
source "$(dirname "$0")/wayland-lib.sh"
wayland_require xclip xdotool dbus-send

FOOT_COLOUR=c08040
start_screen_tools_session "$FOOT_COLOUR"

# What the test account has in /tmp, where the wlroots portal writes its
# picture (/tmp/out.png), and the pictures in its home, where other portals
# put theirs. Xwayland's lock files and wl-copy's buffers come and go with
# other sessions of the account; they are not pictures of ours.
app_home=$(getent passwd "$APP_USER" | cut -d: -f6)
account_files() {
    { find /tmp -maxdepth 1 -user "$APP_USER" ! -name 'wl-copy-buffer-*' ! -name '.X*-lock' 2>/dev/null
      find "$app_home" -user "$APP_USER" -type f \( -iname '*.png' -o -iname '*.jp*g' -o -iname '*.ppm' \) 2>/dev/null
    } | sort
}
account_files >"$E2E_TMP/files-before"

start_app_in_session QT_QPA_PLATFORM=xcb

watch_collection_passes

wait_for_registered_item

# The main window shows once at start and hides itself shortly after.
wait_for 20 not tool_window_visible || fail "the main window did not hide after start"

# Opens the tool window as a click on the panel's icon does, points at (X,
# Y), copies the colour readout with F3 and reads the clipboard as native
# programs do, and checks that the copy made one collection pass (the suite
# e2e_wayland_copies reads every copy through Xwayland too). The seat of a
# headless sway has no pointer, so sway's own cursor
# commands reach no client; the pointer is moved inside Xwayland instead,
# whose coordinates are the output's here (one output, scale 1).
expect_colour_at() {
    local x=$1 y=$2 want=$3 what=$4
    in_session dbus-send --session --print-reply --dest="$item_service" "$item_path" \
        org.kde.StatusNotifierItem.Activate int32:1200 int32:15 >/dev/null ||
        fail "$what: Activate was not answered"
    wait_for 20 tool_window_visible || fail "$what: the tool window did not open"
    wait_for 10 focused_window_is Form1 || fail "$what: the tool window did not get the focus"
    # Every opening covers the output, the first and those after it.
    local wx wy ww wh
    wait_for_full_screen_tool_window "$what"
    read -r wx wy ww wh <<<"$(tool_window_geometry)" || fail "$what: the tool window has no geometry"
    ((x < ww && y < wh)) || fail "$what: ($x, $y) is outside the tool window (${ww}x$wh)"
    # The readouts follow moves, not the place the pointer was left at.
    in_session xdotool mousemove $((wx + x + 1)) $((wy + y))
    in_session xdotool mousemove $((wx + x)) $((wy + y))
    pasted() { selection_is "$want"; }
    # The key goes in through Xwayland's own keyboard (XTEST) to the focused
    # X window: a Wayland virtual keyboard, made anew by every wtype, may lose
    # its first key while Xwayland takes its key map, on a busy machine every
    # time. F3 is pressed again while the window stays open all the same.
    local tries=0
    until pasted; do
        if ((++tries > 5)); then
            local state="closed"
            tool_window_visible && state="still open"
            fail "$what: wl-paste gives '$(wl_paste)', expected '$want'; the tool window is $state"
        fi
        tool_window_visible && in_session xdotool key F3
        wait_for 3 pasted && break
    done
    wait_for 10 not tool_window_visible || fail "$what: F3 did not close the tool window"
    # Native programs keep getting the copy once the focus is back with one
    # of them.
    selection_is "$want" || fail "$what: wl-paste gives '$(wl_paste)' after the tool window closed"
    # The program's copy is one change of the clipboard, as on X11. A copy
    # made after it is counted after it, so once that one is in, every pass
    # the program's own copy made has been counted.
    local before=$passes_so_far
    wl_copy "after $want marker$((++markers))@copy"
    passes_so_far=$(passes_once_collected "marker$markers@copy") || fail "$what: the copy after F3 was not collected"
    ((passes_so_far - before == 2)) ||
        fail "$what: F3 and the copy after it made $((passes_so_far - before)) collection passes, expected 2"
    note "ok: $what"
}

selection_is() { [[ $(wl_paste) == "$1" ]]; }
passes_so_far=0 markers=0
note "the capture shows a native window and the panel"
expect_colour_at 300 300 "#${FOOT_COLOUR^^}" "the colour under the pointer over foot"
expect_colour_at 40 12 "#202020" "the colour under the pointer over waybar, at the top of the output"
expect_colour_at 900 500 "#${FOOT_COLOUR^^}" "the colour over foot, at the third opening"

note "no picture left behind"
[[ ! -e /tmp/out.png ]] || fail "the portal's picture /tmp/out.png is still there"
account_files >"$E2E_TMP/files-after"
left=$(comm -13 "$E2E_TMP/files-before" "$E2E_TMP/files-after")
[[ -z $left ]] || fail "the captures left files: $left"

app_running || fail "the program ended"
echo "wayland capture: all checks passed"
