#!/usr/bin/env bash
# The tray menu on a real X server: it opens where asked (moved 1 left and
# 2 up), shows its frame and background, takes keys while it is open and
# answers the pointer.
source "$(dirname "$0")/lib.sh"

DEMO=${VORNIK_TEST_BIN_DIR:?}/e2e/menu_demo
[[ -x $DEMO ]] || fail "menu_demo not built at $DEMO"

start_desktop 1024x768
LOG="$E2E_TMP/demo.log"
"$DEMO" 200 150 3 >"$LOG" 2>"$E2E_TMP/demo.err" &
DEMO_PID=$!
E2E_PIDS+=($DEMO_PID)

# Waits for the n-th line of the log that matches the pattern.
wait_line() { wait_for 15 bash -c "[[ \$(grep -c '$1' '$LOG') -ge $2 ]]"; }

wait_line '^open' 1 || { cat "$E2E_TMP/demo.err" >&2; fail "menu did not open"; }
read -r _ WX WY WW WH < <(grep '^open' "$LOG" | head -n 1)
note "menu window at $WX,$WY size ${WW}x$WH"
[[ $WX == 199 && $WY == 148 ]] || fail "menu window at $WX,$WY, expected 199,148"

# Screen pixels: frame, inner frame and background where the menu shows,
# and neither where the region hides the outer pixel and the right strip.
PIXELS=${VORNIK_TEST_BIN_DIR}/e2e/xshot
sleep 0.3
check_pixel() { # what x y expected-or-!forbidden
    local got
    got=$("$PIXELS" "$2" "$3") || fail "cannot read pixel $2,$3"
    note "$1 at $2,$3: $got"
    if [[ $4 == !* ]]; then
        [[ $got != "${4#!}" ]] || fail "$1 shows the menu colour $got"
    else
        [[ $got == "$4" ]] || fail "$1 is $got, expected $4"
    fi
}
FRAME=947C7C # RGB(148, 124, 124)
BACK=FDFAFF # RGB(253, 250, 255)
MIDY=$((WY + WH / 2))
check_pixel "left frame" $((WX + 1)) $MIDY "$FRAME"
check_pixel "top frame" $((WX + 60)) $((WY + 1)) "$FRAME"
check_pixel "bottom frame" $((WX + 60)) $((WY + WH - 2)) "$FRAME"
check_pixel "right frame" $((WX + WW - 19)) $MIDY "$FRAME"
check_pixel "inner frame" $((WX + 2)) $MIDY "$BACK"
check_pixel "item background" $((WX + WW - 21)) $((WY + 5)) "$BACK"
check_pixel "hidden outer pixel" $WX $MIDY "!$FRAME"
check_pixel "cut strip" $((WX + WW - 10)) $MIDY "!$BACK"
check_pixel "cut strip edge" $((WX + WW - 18)) $MIDY "!$FRAME"
if [[ -n ${VORNIK_MENU_SCREENSHOT:-} ]]; then "$PIXELS" --ppm "$VORNIK_MENU_SCREENSHOT"; fi

note "key e flips E-mail collect"
xdotool key e
wait_line '^closed checked=0' 1 || fail "key e did not uncheck: $(cat "$LOG")"

note "Escape closes without a command"
wait_line '^open' 2 || fail "second opening missing"
xdotool key Escape
wait_line '^closed' 2 || fail "Escape did not close"
[[ $(grep '^closed' "$LOG" | sed -n 2p) == "closed checked=0" ]] || fail "Escape changed the mark"

note "a left click on the item flips it back"
wait_line '^open' 3 || fail "third opening missing"
read -r _ WX WY WW WH < <(grep '^open' "$LOG" | sed -n 3p)
xdotool mousemove $((WX + 60)) $((WY + 3 + 5))
sleep 0.2
xdotool click 1
wait_line '^closed' 3 || fail "click did not close the menu"
[[ $(grep '^closed' "$LOG" | sed -n 3p) == "closed checked=1" ]] || fail "click did not check: $(cat "$LOG")"
wait_for 10 bash -c "! kill -0 $DEMO_PID" || fail "demo did not end"
echo "menu e2e: 1 passed, 0 failed"
