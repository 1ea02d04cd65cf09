#!/usr/bin/env bash
# What the suites that run the program in a session of their own share about
# its StatusNotifierItem: the owner of a bus name, the item's properties, the
# panel's calls on it, and the styled menu they open on the session's
# Xwayland. The library that sources this defines in_session (runs a command
# in the session, with the session's environment) and x11 (runs an X client
# on the session's Xwayland); its wait for the item sets item_service and
# item_path.
# shellcheck disable=SC2154

# The process that owns a bus name.
name_owner_pid() {
    in_session dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" 2>/dev/null | awk '/uint32/ { print $2 }'
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

# Geometry "X Y W H" of the program's open pop-up menu on Xwayland: a
# viewable override-redirect window of the program (on a Wayland session the
# menu is not typed as a pop-up menu, so that sway gives it the keyboard).
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
