vornik_add_gtest(aids_tests ${CMAKE_CURRENT_LIST_DIR}/aids_test.cpp)
target_link_libraries(aids_tests PRIVATE vornik_screentools)
