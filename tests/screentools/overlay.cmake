vornik_add_gtest(overlay_tests
  ${CMAKE_CURRENT_LIST_DIR}/agg2d_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/overlay_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picturefit_test.cpp
)
target_link_libraries(overlay_tests PRIVATE vornik_screentools)

vornik_add_gtest(picturebox_tests ${CMAKE_CURRENT_LIST_DIR}/picturebox_test.cpp)
target_link_libraries(picturebox_tests PRIVATE vornik_screentools Qt6::Widgets Qt6::Test)

vornik_add_gtest(screencapture_tests ${CMAKE_CURRENT_LIST_DIR}/screencapture_picturebox_test.cpp)
target_link_libraries(screencapture_tests PRIVATE vornik_screentools vornik_platform Qt6::Widgets)
