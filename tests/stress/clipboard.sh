#!/usr/bin/env bash
# Hostile clipboard content for the real program: a 50 MB text (sent in
# pieces, INCR), random bytes offered as text, and a burst of 1,000 changes
# from another program within about ten seconds.
source "$(dirname "$0")/../e2e/lib.sh"

start_desktop 640x480 nowm
install_app
FILE="$APP_DIR/emails.txt"
start_app
wait_for 15 bash -c "xdotool search --pid $APP_PID --name '^Form1\$' >/dev/null" || fail "the program did not come up"

error_box() { xdotool search --onlyvisible --name '^Vornik Tools$' >/dev/null 2>&1; }
has_line() { grep -qxF "$1"$'\r' "$FILE" 2>/dev/null; }
expect_lines() {
    local limit=$1 what=$2; shift 2
    local address
    for address in "$@"; do
        wait_for "$limit" has_line "$address" || {
            error_box && echo "a message box is up" >&2
            fail "$what: $address was not collected"
        }
    done
    app_running || fail "$what: the program ended"
    note "ok: $what"
}

# yes ends on a broken pipe once head has enough.
filler() { yes "$1" | head -c "$2" || true; }

# 50 MB of text with addresses at the start, in the middle and at the end.
BIG="$E2E_TMP/big.txt"
{
    printf 'start@big.hu '
    filler 'lorem ipsum dolor sit amet, consectetur' 25000000
    printf '\nmiddle@big.hu\n'
    filler 'sed do eiusmod tempor incididunt' 25000000
    printf ' end@big.hu'
} >"$BIG"
note "clipboard text of $(stat -c %s "$BIG") bytes"
xclip -selection clipboard -i "$BIG"
expect_lines 40 "a 50 MB clipboard text is collected whole" start@big.hu middle@big.hu end@big.hu
[[ $(wc -l <"$FILE") -eq 3 ]] || fail "the 50 MB text gave $(wc -l <"$FILE") lines, expected 3"

# Random bytes offered as UTF-8 text, without zero bytes (the text ends at
# its first zero byte), with addresses between line breaks.
BIN="$E2E_TMP/random.bin"
{
    printf 'first@bin.hu\r\n'
    head -c 500000 /dev/urandom | tr -d '\000'
    printf '\r\nmiddle@bin.hu\r\n'
    head -c 500000 /dev/urandom | tr -d '\000'
    printf '\r\nlast@bin.hu'
} >"$BIN"
xclip -selection clipboard -t UTF8_STRING -i "$BIN"
expect_lines 15 "random bytes as UTF8_STRING: the addresses inside are collected" first@bin.hu middle@bin.hu last@bin.hu
# The same bytes as STRING (Latin-1), and with a zero byte: what follows it
# is not part of the text.
xclip -selection clipboard -t STRING -i "$BIN"
printf 'before@zero.hu \000 after@zero.hu' | xclip -selection clipboard -t UTF8_STRING
sleep 0.5
printf 'marker@zero.hu' | xclip -selection clipboard
expect_lines 10 "random bytes as STRING and a zero byte cause no harm" before@zero.hu marker@zero.hu
not has_line after@zero.hu || fail "text after a zero byte was collected"
error_box && fail "a message box is up after the binary content"

# 1,000 changes, 10 ms apart, from another program. A change the program
# never reads (the owner changed again before it asked) cannot land; every
# text it was handed must land exactly once, in order, the last one too.
before=$(wc -l <"$FILE")
started=$SECONDS
read -r made targets texts < <("$VORNIK_TEST_BIN_DIR/stress/clip_burst" 1000 10 3000 burst "$E2E_TMP/served")
note "the helper changed the clipboard $made times in $((SECONDS - started)) s; the program asked $targets times what it offers and took the text $texts times"
((made == 1000)) || fail "the helper could not take the clipboard every time ($made)"
expect_lines 5 "the last change of the burst lands" burst0999@burst.hu
printf 'after@later.hu' | xclip -selection clipboard
expect_lines 5 "the program answers within seconds after the burst" after@later.hu
tail -n +"$((before + 1))" "$FILE" | head -n -1 >"$E2E_TMP/added"
sed 's/^/burst/; s/$/@burst.hu\r/' "$E2E_TMP/served" >"$E2E_TMP/expected"
cmp -s "$E2E_TMP/added" "$E2E_TMP/expected" || {
    diff "$E2E_TMP/expected" "$E2E_TMP/added" | head -20
    fail "the burst added other lines than the texts the program was handed, each once, in order"
}
landed=$(wc -l <"$E2E_TMP/added")
note "burst: $landed of 1000 distinct addresses landed (all $landed texts handed out), none twice, the last one included"
echo "clipboard faults: all checks passed"
