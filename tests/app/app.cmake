add_executable(test_app app_test_main.cpp application_test.cpp mainform_test.cpp toolwindow_test.cpp pointeraids_test.cpp modalhelper.h)
target_link_libraries(test_app PRIVATE vornik_app Qt6::Test GTest::gtest vornik_warnings)
gtest_discover_tests(test_app DISCOVERY_MODE PRE_TEST PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" RUN_SERIAL TRUE)
