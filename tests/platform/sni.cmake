vornik_add_gtest(platform_sni_model_test sni_model_test.cpp)
target_link_libraries(platform_sni_model_test PRIVATE vornik_platform)

# Runs its own session bus (dbus-daemon) and plays the panel's watcher on it.
vornik_add_gtest(platform_sni_bus_test sni_bus_test.cpp)
target_link_libraries(platform_sni_bus_test PRIVATE vornik_widgets vornik_platform Qt6::DBus)
