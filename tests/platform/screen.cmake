vornik_add_gtest(platform_portal_test portal_test.cpp)
target_link_libraries(platform_portal_test PRIVATE vornik_platform)

# Runs its own session bus (dbus-daemon) and plays the desktop portal on it.
vornik_add_gtest(platform_portal_bus_test portal_bus_test.cpp)
target_link_libraries(platform_portal_bus_test PRIVATE vornik_platform Qt6::DBus)
