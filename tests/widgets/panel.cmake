vornik_add_gtest(bandgradient_test ${CMAKE_CURRENT_LIST_DIR}/bandgradient_test.cpp)
target_link_libraries(bandgradient_test PRIVATE vornik_widgets)

vornik_add_gtest(gradientpanel_test ${CMAKE_CURRENT_LIST_DIR}/gradientpanel_test.cpp)
target_link_libraries(gradientpanel_test PRIVATE vornik_widgets Qt6::Test)
