#!/usr/bin/env bash
# The screen tools on a scaled output of a whole desktop, in the Debian 12
# chroot of e2e_kde and e2e_gnome, where X11 programs see device pixels and
# their windows are shown unscaled:
#   desktop_scaled.sh kde SCALE     KWin 5.27 at SCALE (2 or 1.5), X11
#                                   programs scaling themselves (Plasma's
#                                   "Apply scaling themselves")
#   desktop_scaled.sh gnome 2       GNOME Shell 43 at the integer scale 2
# Over the pattern screen (every pixel's colour tells its position) in an X11
# window, with no native window open:
# - the pointer, moved as a hand does, picks the device pixel under it (F3's
#   colour, read with wl-paste, names that pixel; F2 gives its position);
# - each arrow key steps to the next device pixel, and every copy arrives.
source "$(dirname "$0")/desktop-lib.sh"

desktop=${1:-kde} scale=${2:-2}
enter_chroot
case $desktop in
kde) start_kde 1920x1200 "$scale" ;;
gnome)
    start_gnome 1920x1200 "$scale"
    start_gnome_keyboard
    ;;
*) fail "no such desktop: $desktop" ;;
esac
read -r screen_w screen_h <<<"$(x11 xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2]; exit }')"
[[ "$screen_w $screen_h" == "1920 1200" ]] ||
    fail "$desktop at scale $scale: X11 sees ${screen_w}x$screen_h, not the 1920x1200 device pixels"
if [[ $desktop == gnome ]]; then
    # X11 sees device pixels at every integer scale: the shell's own layout
    # tells the scale is in effect.
    layout=$(in_session gdbus call --session --dest org.gnome.Mutter.DisplayConfig \
        --object-path /org/gnome/Mutter/DisplayConfig --method org.gnome.Mutter.DisplayConfig.GetCurrentState)
    [[ $layout == *"(0, 0, $scale.0, uint32 0, true"* ]] || fail "GNOME Shell's monitor is not at scale $scale: $layout"
fi
note "output of 1920x1200 device pixels at scale $scale: X11 sees ${screen_w}x$screen_h"

install -m 755 "${VORNIK_TEST_BIN_DIR:?}/e2e/pattern" "$CH/usr/local/bin/vornik-e2e-pattern"
session_command
"${SESSION_COMMAND[@]}" DISPLAY="$(session_var DISPLAY)" XAUTHORITY="$(session_var XAUTHORITY)" \
    vornik-e2e-pattern window >"$E2E_TMP/pattern.log" 2>&1 &
wait_for 20 grep -q '^shown' "$E2E_TMP/pattern.log" || fail "the pattern window did not show"
sleep 1
# The position a pattern colour stands for.
decoded() { "$VORNIK_TEST_BIN_DIR/e2e/pattern" decode "$1"; }

start_app
wait_for_registered_item
if [[ $desktop == gnome ]]; then
    # The first capture asks GNOME's permission.
    watch_access_dialogs
    panel_calls Activate 600 15
    wait_for 30 access_dialog_asked 1 || fail "GNOME Shell was not asked for the screenshot permission$(capture_message)"
    answer_access_dialog Allow
    open_tools_asked "the first capture, once allowed"
    x11 xdotool key Escape
    wait_for 10 not tool_window_visible || fail "Escape did not close the tool window"
fi

XDO=(x11 xdotool)
# shellcheck source=tests/e2e/walk-lib.sh
source "$(dirname "$0")/walk-lib.sh"
open_at() {
    wl_copy "marker$((++markers))"
    wait_for 10 selection_is "marker$markers" || fail "$1: wl-copy's copy did not become the selection"
    open_tools "$1"
    glide "$2" "$3"
}

note "the pointer picks the device pixel under it"
for point in "1345 721" "6 1196" "1917 600"; do
    read -r x y <<<"$point"
    open_at "F3 at ($x, $y)" "$x" "$y"
    got=$(copied "F3 at ($x, $y)" F3)
    [[ $(decoded "$got") == "$x $y" ]] || fail "F3 at ($x, $y) gave $got, the colour of $(decoded "$got")"
    open_at "F2 at ($x, $y)" "$x" "$y"
    got=$(copied "F2 at ($x, $y)" F2)
    [[ $got == "$x:$y" ]] || fail "F2 at ($x, $y) gave $got"
done
note "ok: F2 and F3 name the device pixel under the pointer"

note "the arrow keys step one device pixel"
for k in 1 2 3; do
    keys=()
    for ((i = 0; i < k; i++)); do keys+=(Right); done
    open_at "$k steps right" 1345 721
    got=$(copied "$k steps right" "${keys[@]}" F3)
    [[ $(decoded "$got") == "$((1345 + k)) 721" ]] ||
        fail "F3 after $k steps right gave $got, the colour of $(decoded "$got")"
done
open_at "a step down" 1345 721
got=$(copied "a step down" Down F3)
[[ $(decoded "$got") == "1345 722" ]] || fail "F3 after a step down gave $got, the colour of $(decoded "$got")"
note "ok: every step reaches the next device pixel, and every copy arrives"

app_running || fail "the program ended"
echo "$desktop at scale $scale: all checks passed"
