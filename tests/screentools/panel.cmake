vornik_add_gtest(infopanel_test ${CMAKE_CURRENT_LIST_DIR}/infopanel_test.cpp)
target_link_libraries(infopanel_test PRIVATE vornik_screentools vornik_widgets Qt6::Test)

# The selection-size box at the three screen scales of the suites.
vornik_add_gtest(readoutfit_test ${CMAKE_CURRENT_LIST_DIR}/readoutfit_test.cpp)
target_link_libraries(readoutfit_test PRIVATE vornik_screentools vornik_widgets Qt6::Test)
foreach(scale 1.5 2)
  string(REPLACE "." "_" suffix ${scale})
  gtest_discover_tests(readoutfit_test DISCOVERY_MODE PRE_TEST TEST_SUFFIX .scale${suffix}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=${scale}")
endforeach()
