#!/usr/bin/env bash
# The screen capture's own tests on a real X server, at scale 1 and 2: both
# ways of reading the screen must return what a full-screen window shows.
# Beside them the tests of a window's own image, which Qt gives only after
# the window's first paint (asked earlier at scale 2, it crashes).
# Then on a server without the shared-memory extension, where the capture
# must fall back to Qt's grab.
source "$(dirname "$0")/lib.sh"

binary=$VORNIK_TEST_BIN_DIR/screentools/screencapture_tests
window_image=$VORNIK_TEST_BIN_DIR/platform/window_image_tests
[[ -x $binary ]] || fail "$binary was not built"
[[ -x $window_image ]] || fail "$window_image was not built"
start_desktop 1024x768
for scale in 1 2; do
    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$binary" >"$E2E_TMP/capture-$scale.log" 2>&1 ||
        { cat "$E2E_TMP/capture-$scale.log"; fail "the capture tests failed at scale $scale"; }
    grep -q "SKIPPED" "$E2E_TMP/capture-$scale.log" && { cat "$E2E_TMP/capture-$scale.log"; fail "skipped on X11"; }
    note "ok: capture at scale $scale"
    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$window_image" >"$E2E_TMP/window-image-$scale.log" 2>&1 ||
        { cat "$E2E_TMP/window-image-$scale.log"; fail "the window image tests failed at scale $scale"; }
    note "ok: window image at scale $scale"
done

# A second server, without MIT-SHM.
rm -f "$E2E_TMP/displayfd"
XVFB_ARGS="-extension MIT-SHM" start_desktop 1024x768
VORNIK_TEST_NO_SHARED_MEMORY=1 QT_QPA_PLATFORM=xcb "$binary" >"$E2E_TMP/capture-noshm.log" 2>&1 ||
    { cat "$E2E_TMP/capture-noshm.log"; fail "the capture tests failed without shared memory"; }
grep -q "SKIPPED" "$E2E_TMP/capture-noshm.log" && { cat "$E2E_TMP/capture-noshm.log"; fail "skipped on X11"; }
note "ok: capture without shared memory"
