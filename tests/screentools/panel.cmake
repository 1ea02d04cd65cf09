vornik_add_gtest(infopanel_test ${CMAKE_CURRENT_LIST_DIR}/infopanel_test.cpp)
target_link_libraries(infopanel_test PRIVATE vornik_screentools vornik_widgets Qt6::Test)
