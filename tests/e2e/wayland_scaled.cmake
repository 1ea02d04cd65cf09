# The screen tools on a headless sway output at scales 1, 1.5 and 2 over the
# pattern screen, checked against grim; skipped, with the reason, only where a
# program the session needs is missing.
foreach(scale 1 1.5 2)
  string(REPLACE "." "_" name "e2e_wayland_scaled_${scale}")
  vornik_add_e2e(${name} wayland_scaled.sh ${scale})
  set_property(TEST ${name} PROPERTY SKIP_RETURN_CODE 77)
  # Wayland sessions run one at a time: the wlroots portal writes every
  # picture to the one file /tmp/out.png, and all run as the same test account.
  set_property(TEST ${name} PROPERTY RESOURCE_LOCK wayland_session)
endforeach()
