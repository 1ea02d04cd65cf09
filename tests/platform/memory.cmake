vornik_add_gtest(platform_memory_test ${CMAKE_CURRENT_LIST_DIR}/processmemory_test.cpp)
target_link_libraries(platform_memory_test PRIVATE vornik_platform)

vornik_add_gtest(window_image_tests ${CMAKE_CURRENT_LIST_DIR}/windowimage_test.cpp)
target_link_libraries(window_image_tests PRIVATE vornik_platform Qt6::Widgets Qt6::Test)
