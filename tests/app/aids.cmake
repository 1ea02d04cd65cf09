# The arrow keys and the loupe, once more on a screen scaled by two.
add_executable(test_app_scaled app_test_main.cpp pointeraids_test.cpp)
target_compile_definitions(test_app_scaled PRIVATE VORNIK_TEST_SCALE="2")
target_link_libraries(test_app_scaled PRIVATE vornik_app Qt6::Test GTest::gtest vornik_warnings)
gtest_discover_tests(test_app_scaled DISCOVERY_MODE PRE_TEST TEST_SUFFIX .scaled
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" RUN_SERIAL TRUE)
