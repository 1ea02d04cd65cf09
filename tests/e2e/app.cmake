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
# Its window image cases wait for frames at three scales; beside another
# suite one of them once missed its five seconds. It runs alone.
set_property(TEST e2e_capture PROPERTY RUN_SERIAL TRUE)
vornik_add_e2e(e2e_slowwm startup.sh slowwm)
vornik_add_e2e(e2e_coveredwm startup.sh coveredwm)

add_executable(slow_wm slow_wm.cpp)
target_link_libraries(slow_wm PRIVATE X11::X11 vornik_warnings)
set_target_properties(slow_wm PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
# The pattern screen at scales 1, 1.5 and 2 (Xft.dpi 96, 144 and 192).
add_executable(pattern pattern.cpp)
target_link_libraries(pattern PRIVATE X11::X11 Qt6::Gui vornik_warnings)
set_target_properties(pattern PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
vornik_add_e2e(e2e_pattern pattern.sh 1)
vornik_add_e2e(e2e_pattern_fractional pattern.sh 1.5)
vornik_add_e2e(e2e_pattern_double pattern.sh 2)
