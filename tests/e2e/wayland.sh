#!/usr/bin/env bash
# The program on a Wayland session (headless sway): it runs through Xwayland
# even where the session exports QT_QPA_PLATFORM=wayland, says so and stops
# where there is no Xwayland, and collects copies made by native Wayland
# programs while one of them has the focus.
source "$(dirname "$0")/wayland-lib.sh"

start_wayland 1280x800 336699
install_app

# Whether sway shows the window of that title through Xwayland (its shell
# is "xwayland", not "xdg_shell").
shell_of() { sway_window_field "$1" shell; }
shown_through_xwayland() { [[ $(shell_of "$1") == xwayland ]]; }

note "start with QT_QPA_PLATFORM=wayland exported"
start_app_in_session QT_QPA_PLATFORM=wayland
# The main window shows only for a moment at start, too short for sway to
# show it on a busy machine, but it stays an X window on Xwayland. The
# message box further on is shown through Xwayland for as long as it is open.
wait_for 20 in_session xdotool search --name '^Form1$' || fail "the main window is not an X window on Xwayland"
app_running || fail "the program ended"

note "a Wayland session without Xwayland"
for display in "" ":$((RANDOM % 1000 + 3000))"; do
    set +e
    in_session env -u DISPLAY ${display:+DISPLAY=$display} QT_QPA_PLATFORM=wayland "$APP_BIN" \
        >"$E2E_TMP/noxw.log" 2>&1
    status=$?
    set -e
    ((status != 0)) || fail "without Xwayland (DISPLAY='$display') the program exited with status 0"
    grep -q 'Xwayland' "$E2E_TMP/noxw.log" || fail "without Xwayland (DISPLAY='$display') no clear message: $(cat "$E2E_TMP/noxw.log")"
done
note "copies of native programs while a native window has the focus"
start_foot 00ff00 native
expect_file() { expect_file_bytes "$APP_DIR/emails.txt" "$@"; }
owner() { in_session setsid "$VORNIK_TEST_BIN_DIR/e2e/wl_owner" "$@" </dev/null >/dev/null 2>&1 & }

wl_copy 'x a@b y'
expect_file 'a@b\r\n' "a copy by wl-copy is collected"
wl_copy 'mail c@d now'
expect_file 'a@b\r\nc@d\r\n' "the next copy too"

# A password manager's copy: the text together with the secret hint.
owner 'secret@vault' 'text/plain;charset=utf-8' UTF8_STRING x-kde-passwordManagerHint
selection_is() { [[ $(wl_paste) == "$1" ]]; }
wait_for 10 selection_is 'secret@vault' || fail "the secret copy did not become the selection"
wl_copy 'after@secret'
expect_file 'a@b\r\nc@d\r\nafter@secret\r\n' "a copy marked secret is not collected"

# The same text without the hint is collected, so it was the hint that kept
# the secret out.
owner 'plain@owner' 'text/plain;charset=utf-8' UTF8_STRING
expect_file 'a@b\r\nc@d\r\nafter@secret\r\nplain@owner\r\n' "the same kind of copy without the hint is collected"

# An owner that never writes: "Cannot open clipboard." within the timeout,
# and collection goes on with the next copy.
owner --mute 'hang@owner' 'text/plain;charset=utf-8'
wait_for 10 message_box_shown || fail "no message when the clipboard owner never writes"
wait_for 10 shown_through_xwayland 'Vornik Tools' ||
    fail "the message box is shown through '$(shell_of 'Vornik Tools')', not Xwayland"
# Keys go to the window sway has focused; Xwayland may pass the focus on to
# the box a little later than sway reports it, so Return is pressed again
# until the box is gone.
close_box() {
    sway_cmd '[title="^Vornik Tools$"] focus' && focused_window_is 'Vornik Tools' && in_session xdotool key Return
    sleep 0.5
    not message_box_shown
}
wait_for 15 close_box || fail "the message box did not close"
sway_cmd '[title="^native$"] focus'
wl_copy 'after@hang'
expect_file 'a@b\r\nc@d\r\nafter@secret\r\nplain@owner\r\nafter@hang\r\n' "a mute owner is reported and collection goes on"

# A burst of copies from one shell, each wl-copy gone as soon as a newer
# selection replaces its own: every one is collected, in order.
in_session sh -c 'for n in 1 2 3 4 5 6 7 8; do setsid wl-copy "burst$n@wlr" </dev/null >/dev/null 2>&1; done'
expect_file "a@b\r\nc@d\r\nafter@secret\r\nplain@owner\r\nafter@hang\r\n$(printf 'burst%d@wlr\\r\\n' 1 2 3 4 5 6 7 8)" \
    "eight copies in a row are all collected"

# Copies while the program still waits for a slow owner's text: the one
# replaced meanwhile is collected too, and each once.
owner --slow 1500 'slow@owner' 'text/plain;charset=utf-8'
sleep 0.5
wl_copy 'between@wlr'
sleep 0.2
wl_copy 'last@wlr'
expect_file "a@b\r\nc@d\r\nafter@secret\r\nplain@owner\r\nafter@hang\r\n$(printf 'burst%d@wlr\\r\\n' 1 2 3 4 5 6 7 8)slow@owner\r\nbetween@wlr\r\nlast@wlr\r\n" \
    "copies made while the program waits for the previous one are all collected"

app_running || fail "the program ended"
echo "wayland: all checks passed"
