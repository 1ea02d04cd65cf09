# The program on a headless Wayland session (sway with Xwayland); skipped,
# with the reason, only where a program the session needs is missing.
vornik_add_e2e(e2e_wayland wayland.sh)
set_property(TEST e2e_wayland PROPERTY SKIP_RETURN_CODE 77)
# Wayland sessions run one at a time: the wlroots portal writes every
# picture to the one file /tmp/out.png, and all run as the same test account.
set_property(TEST e2e_wayland PROPERTY RESOURCE_LOCK wayland_session)

add_executable(wl_owner wl_owner.cpp)
target_link_libraries(wl_owner PRIVATE vornik_wayland_protocols)
set_target_properties(wl_owner PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
