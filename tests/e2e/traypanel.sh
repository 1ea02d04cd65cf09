#!/usr/bin/env bash
# The program in a dark tray at the top and at the bottom of the screen: the
# icon shows the panel's own colour around its drawing, and the tray menu
# opens on the screen next to the pointer and takes keys.
#   traypanel.sh        an unscaled screen
#   traypanel.sh dpi    Xft.dpi 192, the usual setting of a high-density screen
#   traypanel.sh factor QT_SCALE_FACTOR=1.5
source "$(dirname "$0")/lib.sh"

MODE=${1:-plain}
WIDTH=1280 HEIGHT=800
start_desktop ${WIDTH}x$HEIGHT
case $MODE in
dpi) echo 'Xft.dpi: 192' | xrdb -merge ;;
factor) export QT_SCALE_FACTOR=1.5 ;;
plain) ;;
*) fail "unknown mode $MODE" ;;
esac
xsetroot -solid '#204080'
TRAY_LOOK='--tint 0x202020 --transparent true --alpha 0'
install_app
start_app

dark() { # RRGGBB: every channel below 0x50
    local c=$1
    ((16#${c:0:2} < 0x50 && 16#${c:2:2} < 0x50 && 16#${c:4:2} < 0x50))
}

# The docked icon has kept one place on the screen for a moment (trayer lays
# out its panel in steps); sets ix iy iw ih.
icon_settled() {
    local first second
    first=$(tray_icon_geometry) || return 1
    sleep 0.3
    second=$(tray_icon_geometry) || return 1
    [[ $first == "$second" ]] || return 1
    read -r ix iy iw ih <<<"$second"
    ((iw >= 16 && ih >= 16 && ix >= 0 && iy >= 0 && ix + iw <= WIDTH && iy + ih <= HEIGHT))
}

for edge in top bottom; do
    TRAY_EDGE=$edge start_tray
    wait_for 10 icon_settled || fail "$edge: the icon never docked into the tray"

    # The panel is dark; the icon's round drawing leaves its corners to the
    # panel, and its middle shows the drawing.
    wait_for 5 bash -c "[[ \$('$VORNIK_TEST_BIN_DIR/e2e/xshot' $((ix + iw / 2)) $((iy + ih / 2))) != 202020 ]]" ||
        fail "$edge: the icon is not drawn"
    sleep 0.3
    for corner in "$ix $iy" "$((ix + iw - 1)) $iy" "$ix $((iy + ih - 1))" "$((ix + iw - 1)) $((iy + ih - 1))"; do
        # shellcheck disable=SC2086 # two words, x and y
        got=$(pixel $corner)
        dark "$got" || fail "$edge: the icon's corner at $corner is $got, not the dark panel"
    done
    note "ok: $edge: the icon at $ix,$iy ${iw}x$ih stands on the dark panel"

    open_tray_menu
    read -r mx my mw mh <<<"$(menu_geometry)"
    cx=$((ix + iw / 2)) cy=$((iy + ih / 2))
    note "$edge: pointer at $cx,$cy, menu at $mx,$my ${mw}x$mh"
    ((mx >= 0 && my >= 0 && mx + mw <= WIDTH && my + mh <= HEIGHT)) ||
        fail "$edge: the menu at $mx,$my ${mw}x$mh leaves the ${WIDTH}x$HEIGHT screen"
    ((cy >= my - 8 && cy <= my + mh + 8 && cx >= mx - 40 && cx <= mx + mw + 40)) ||
        fail "$edge: the menu at $mx,$my ${mw}x$mh is not at the pointer $cx,$cy"
    # The menu holds the keyboard where it can be seen: Escape closes it.
    xdotool key Escape
    wait_for 5 not menu_geometry || fail "$edge: Escape did not close the menu"
    note "ok: $edge: the menu opens on the screen at the pointer and takes keys"

    kill "$TRAY_PID"
    wait_for 5 tray_panel_gone || fail "$edge: trayer did not stop"
done
app_running || fail "the program ended"
echo "tray panel end to end ($MODE): all checks passed"
