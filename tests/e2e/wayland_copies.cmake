# The readouts' copies on a headless Wayland session where no native window
# has the focus; skipped, with the reason, only where a program the session
# needs is missing.
vornik_add_e2e(e2e_wayland_copies wayland_copies.sh)
set_property(TEST e2e_wayland_copies PROPERTY SKIP_RETURN_CODE 77)
# Wayland sessions run one at a time: the wlroots portal writes every
# picture to the one file /tmp/out.png, and all run as the same test account.
set_property(TEST e2e_wayland_copies PROPERTY RESOURCE_LOCK wayland_session)
