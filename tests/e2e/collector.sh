#!/usr/bin/env bash
# The collector end to end: the real program on a private X server, texts put
# on the clipboard by xclip, emails.txt beside the executable checked byte
# for byte after each change.
source "$(dirname "$0")/lib.sh"

start_desktop 1024x768
install_app

# The file found at start is loaded and sorted; its CR-only line ends are
# rewritten as CR LF at the first save.
printf 'b@x\rA@x\r' >"$APP_DIR/emails.txt"
chown "$APP_USER:" "$APP_DIR/emails.txt"
# An address already on the clipboard at start is not collected.
printf 'before@start' | xclip -selection clipboard
start_app

# Start-up shows the main window once and hides it shortly after.
wait_for 10 bash -c "xdotool search --name '^Form1$' >/dev/null" || fail "the main window never appeared"
wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Form1$' >/dev/null" || fail "the main window did not hide after start"
app_running || fail "the program ended during start-up"
# Joining the clipboard watch announces the content once, and that runs no
# pass: the file is still as it was found, not yet rewritten.
printf 'b@x\rA@x\r' | cmp -s - "$APP_DIR/emails.txt" || fail "a pass ran at start-up"
note "ok: the notice at registration runs no pass"

expect_file() { expect_file_bytes "$APP_DIR/emails.txt" "$@"; }

copy() { printf '%b' "$1" | xclip -selection clipboard; }

copy 'mail x.y@z now'
expect_file 'A@x\r\nb@x\r\nx.y@z\r\n' "an address between spaces is appended after the sorted entries"

copy 'a@b a@b A@B <c@d>, e@f.'
expect_file 'A@x\r\nb@x\r\nx.y@z\r\na@b\r\nc@d\r\n' "repeats in any letter case are stored once; punctuation is dropped; a final dot rejects"

copy 'one two\r\nfirst@line\r\nx\tsecond@line'
expect_file 'A@x\r\nb@x\r\nx.y@z\r\na@b\r\nc@d\r\nfirst@line\r\nsecond@line\r\n' "line breaks and tabs end words on both sides"

# Only the CLIPBOARD selection counts, not PRIMARY.
printf 'primary@only' | xclip -selection primary
sleep 1
# A pass that adds nothing still writes the whole list: what was changed in
# the file meanwhile is overwritten.
printf 'edited@by-hand\r\n' >"$APP_DIR/emails.txt"
copy 'X.Y@Z'
expect_file 'A@x\r\nb@x\r\nx.y@z\r\na@b\r\nc@d\r\nfirst@line\r\nsecond@line\r\n' "a known address in another case adds nothing"

# A password manager's copy: text offered together with the secret hint.
"$VORNIK_TEST_BIN_DIR/e2e/secret_copy" 'secret@vault' &
E2E_PIDS+=($!)
sleep 1.5
copy 'after@secret'
expect_file 'A@x\r\nb@x\r\nx.y@z\r\na@b\r\nc@d\r\nfirst@line\r\nsecond@line\r\nafter@secret\r\n' "a copy marked secret is not collected"

# A clipboard owner that never answers: the pass reports "Cannot open
# clipboard." within the timeout, the program stays responsive, and the next
# change is collected.
"$VORNIK_TEST_BIN_DIR/e2e/mute_owner" &
MUTE_PID=$!
E2E_PIDS+=($MUTE_PID)
error_box() { xdotool search --onlyvisible --name '^Vornik Tools$' >/dev/null 2>&1; }
wait_for 6 error_box || fail "no message when the clipboard owner does not answer"
box=$(xdotool search --onlyvisible --name '^Vornik Tools$' | head -n 1)
kill "$MUTE_PID"
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
wait_for 5 not error_box || fail "the message box did not close"
copy 'after@hang'
expect_file 'A@x\r\nb@x\r\nx.y@z\r\na@b\r\nc@d\r\nfirst@line\r\nsecond@line\r\nafter@secret\r\nafter@hang\r\n' "a hung clipboard owner is reported and collection goes on"

LIST='A@x\r\nb@x\r\nx.y@z\r\na@b\r\nc@d\r\nfirst@line\r\nsecond@line\r\nafter@secret\r\nafter@hang\r\n'

# An owner that answers only after the read gave up: "Cannot open
# clipboard." is shown once, and its late answer does not stand in for the
# answers to later reads.
"$VORNIK_TEST_BIN_DIR/e2e/text_owner" --late-first 3000 UTF8_STRING <<<'late@owner' >"$E2E_TMP/late.log" &
E2E_PIDS+=($!)
wait_for 6 error_box || fail "no message when the clipboard owner answers late"
wait_for 10 grep -q 'late answer sent' "$E2E_TMP/late.log" || fail "the late owner never answered"
boxes=$(xdotool search --onlyvisible --name '^Vornik Tools$' | wc -l)
((boxes == 1)) || fail "$boxes messages shown for one late owner"
box=$(xdotool search --onlyvisible --name '^Vornik Tools$' | head -n 1)
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
wait_for 5 not error_box || fail "the message box did not close"
copy 'after@late'
LIST+='after@late\r\n'
expect_file "$LIST" "the copy after a late owner's answer is collected"
copy 'later@still'
LIST+='later@still\r\n'
expect_file "$LIST" "and so is the one after it"
not error_box || fail "a further message was shown after the late owner"

# Text offered under other names than UTF8_STRING.
# owner TEXT ARGUMENTS: text_owner serving TEXT.
owner() {
    local text=$1; shift
    printf '%s' "$text" | "$VORNIK_TEST_BIN_DIR/e2e/text_owner" "$@" &
    E2E_PIDS+=($!)
}
printf 'plain@text' | xclip -selection clipboard -t text/plain
LIST+='plain@text\r\n'
expect_file "$LIST" "text/plain is read"
# Read byte for byte, UTF-16 would end at its first zero byte.
printf 'wide@text' | iconv -t UTF-16LE | xclip -selection clipboard -t 'text/plain;charset=UTF-16LE'
LIST+='wide@text\r\n'
expect_file "$LIST" "text/plain in another charset is converted"
# Compound text switches to Latin-1 with ESC - A, which would otherwise
# leave "-A" in the word.
owner $'\e-Acompound@text' COMPOUND_TEXT
LIST+='compound@text\r\n'
expect_file "$LIST" "COMPOUND_TEXT is converted"
owner $'\e-Atext@target' --reply-type COMPOUND_TEXT TEXT
LIST+='text@target\r\n'
expect_file "$LIST" "TEXT is read in the form the owner answers with"
owner 'untargeted@utf8' --no-targets UTF8_STRING
LIST+='untargeted@utf8\r\n'
expect_file "$LIST" "an owner without TARGETS is asked for UTF8_STRING"
owner 'untargeted@latin1' --no-targets STRING
LIST+='untargeted@latin1\r\n'
expect_file "$LIST" "an owner without TARGETS is asked for STRING"

# A picture is no text: nothing is collected, not even the address inside
# its bytes, and the file is still rewritten.
printf 'edited@by-hand\r\n' >"$APP_DIR/emails.txt"
printf '\211PNG\r\n\032\n img@bytes ' | xclip -selection clipboard -t image/png
expect_file "$LIST" "a picture on the clipboard collects nothing and the file is rewritten"
not error_box || fail "a picture on the clipboard was reported"

# A second copy started from the same folder leaves at once.
timeout 10 "${E2E_RUN_AS[@]}" "$APP_BIN" >"$E2E_TMP/second.log" 2>&1 || fail "the second instance failed or hung"
app_running || fail "the first instance ended"
grep -q 'already running' "$E2E_TMP/second.log" || fail "the second instance gave no reason for leaving"
note "ok: a second instance in the same folder leaves at once"

# A copy in another folder runs side by side and keeps its own list.
OTHER="$E2E_TMP/other"; mkdir -p "$OTHER"; cp "$APP_BIN" "$OTHER/"; chown -R "$APP_USER:" "$OTHER"
"${E2E_RUN_AS[@]}" "$OTHER/vornik-tools" >"$E2E_TMP/other.log" 2>&1 &
E2E_PIDS+=($!)
sleep 1.5
kill -0 "${E2E_PIDS[-1]}" || fail "an instance in another folder did not keep running"
note "ok: instances in different folders run side by side"

echo "collector end to end: all checks passed"
