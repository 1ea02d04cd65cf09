add_executable(tray_host_demo tray_host_demo.cpp)
target_link_libraries(tray_host_demo PRIVATE vornik_widgets vornik_warnings)
set_target_properties(tray_host_demo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
vornik_add_e2e(e2e_tray tray.sh)
set_property(TEST e2e_tray APPEND PROPERTY DEPENDS tray_host_demo)
# The same as an unprivileged user.
vornik_add_e2e(e2e_tray_user tray.sh)
set_property(TEST e2e_tray_user APPEND PROPERTY DEPENDS tray_host_demo)
set_property(TEST e2e_tray_user APPEND PROPERTY ENVIRONMENT VORNIK_E2E_USER=1)
vornik_add_e2e(e2e_shell_user shell.sh)
set_property(TEST e2e_shell_user APPEND PROPERTY ENVIRONMENT VORNIK_E2E_USER=1)
# A dark tray at the top and at the bottom, on a plain screen, at Xft.dpi 192
# and at QT_SCALE_FACTOR 1.5.
vornik_add_e2e(e2e_tray_panel traypanel.sh)
vornik_add_e2e(e2e_tray_panel_dpi traypanel.sh dpi)
vornik_add_e2e(e2e_tray_panel_scaled traypanel.sh factor)
# The exit confirmation's buttons under GNOME, XFCE, KDE and no desktop.
vornik_add_e2e(e2e_confirm_buttons confirm_buttons.sh)
