vornik_add_e2e(e2e_shell shell.sh)
vornik_add_e2e(e2e_screentools screentools.sh)
vornik_add_e2e(e2e_export export.sh)
# The same as an unprivileged user, for whom permission bits act for real.
vornik_add_e2e(e2e_export_user export.sh)
set_property(TEST e2e_export_user APPEND PROPERTY ENVIRONMENT VORNIK_E2E_USER=1)
# The same on a screen scaled by two: captured pixels stay device pixels.
vornik_add_e2e(e2e_screentools_scaled screentools.sh)
set_property(TEST e2e_screentools_scaled APPEND PROPERTY ENVIRONMENT QT_SCALE_FACTOR=2)
vornik_add_e2e(e2e_nofocus startup.sh)
vornik_add_e2e(e2e_nowm startup.sh nowm)
vornik_add_e2e(e2e_capture capture.sh)
vornik_add_e2e(e2e_slowwm startup.sh slowwm)
vornik_add_e2e(e2e_coveredwm startup.sh coveredwm)

add_executable(slow_wm slow_wm.cpp)
target_link_libraries(slow_wm PRIVATE X11::X11 vornik_warnings)
set_target_properties(slow_wm PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
