# The program on sway 1.12 (wlroots 0.19, ext_data_control_v1 beside the
# wlroots protocol) inside a Debian sid chroot that the suite makes on its
# first run (some minutes) and keeps in /var/cache/vornik-e2e; it installs
# the program's Debian package there. Skipped, with the reason, only where a
# program it needs to make or enter the chroot is missing.
find_package(Qt6 REQUIRED COMPONENTS DBus)
add_executable(sni_watcher sni_watcher.cpp)
target_link_libraries(sni_watcher PRIVATE Qt6::DBus vornik_warnings)
set_target_properties(sni_watcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)

vornik_add_e2e(e2e_wayland_ext wayland_ext.sh)
set_property(TEST e2e_wayland_ext PROPERTY SKIP_RETURN_CODE 77)
# One session in the desktop chroots at a time.
set_property(TEST e2e_wayland_ext PROPERTY RESOURCE_LOCK desktop_chroot)
set_property(TEST e2e_wayland_ext PROPERTY TIMEOUT 1500)
