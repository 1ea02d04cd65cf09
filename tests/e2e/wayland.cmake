# The program on a headless Wayland session (sway with Xwayland); skipped,
# with the reason, only where a program the session needs is missing.
vornik_add_e2e(e2e_wayland wayland.sh)
set_property(TEST e2e_wayland PROPERTY SKIP_RETURN_CODE 77)
