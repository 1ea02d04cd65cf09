# The screen tools on a headless sway output at scales 1, 1.5 and 2 over the
# pattern screen, checked against grim, and at 1 and 2 with a second output
# of the other scale beside it; skipped, with the reason, only where a
# program the session needs is missing.
foreach(run "1" "1.5" "2" "1;beside" "2;beside")
  string(REPLACE "." "_" name "e2e_wayland_scaled_${run}")
  string(REPLACE ";" "_" name "${name}")
  vornik_add_e2e(${name} wayland_scaled.sh ${run})
  set_property(TEST ${name} PROPERTY SKIP_RETURN_CODE 77)
  # Wayland sessions run one at a time: the wlroots portal writes every
  # picture to the one file /tmp/out.png, and all run as the same test account.
  set_property(TEST ${name} PROPERTY RESOURCE_LOCK wayland_session)
endforeach()
