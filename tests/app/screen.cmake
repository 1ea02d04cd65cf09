# The tool window when the screen comes from a screenshot portal; the binary
# runs a session bus of its own, so it is a program of its own.
add_executable(test_app_portal capture_main.cpp toolwindow_portal_test.cpp modalhelper.h)
target_link_libraries(test_app_portal PRIVATE vornik_app Qt6::Test Qt6::DBus GTest::gtest vornik_warnings)
gtest_discover_tests(test_app_portal DISCOVERY_MODE PRE_TEST PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" RUN_SERIAL TRUE)
