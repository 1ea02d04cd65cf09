#!/usr/bin/env bash
# The exit confirmation's buttons under each desktop's theme, on a real X
# server: Qt picks its button layout from XDG_CURRENT_DESKTOP, and the box
# must show "&Yes", "&No", "Cancel" from the left whichever it picks.
source "$(dirname "$0")/lib.sh"

TEST_APP=${VORNIK_TEST_BIN_DIR:?}/app/test_app
[[ -x $TEST_APP ]] || fail "test_app not built at $TEST_APP"
start_desktop 1024x768

for desktop in GNOME XFCE KDE none; do
    setting=(XDG_CURRENT_DESKTOP="$desktop")
    [[ $desktop == none ]] && setting=(-u XDG_CURRENT_DESKTOP)
    if ! env -u DESKTOP_SESSION "${setting[@]}" QT_QPA_PLATFORM=xcb \
        "$TEST_APP" --gtest_filter='AskConfirm.ButtonsStandYesNoCancelFromTheLeft*' >"$E2E_TMP/boxes.log" 2>&1; then
        grep -E 'Failure|Which is|Expected|XDG|^\[' "$E2E_TMP/boxes.log" >&2
        fail "$desktop: the confirmation's buttons are out of order"
    fi
    grep -q '^\[  PASSED  \] 1 test' "$E2E_TMP/boxes.log" || fail "$desktop: the button test did not run"
    note "ok: $desktop: &Yes, &No, Cancel from the left"
done
echo "confirmation buttons end to end: all checks passed"
