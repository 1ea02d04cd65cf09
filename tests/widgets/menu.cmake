vornik_add_gtest(menu_rules_test ${CMAKE_CURRENT_LIST_DIR}/menu_rules_test.cpp)
target_link_libraries(menu_rules_test PRIVATE vornik_widgets)

vornik_add_gtest(menu_paint_test ${CMAKE_CURRENT_LIST_DIR}/menu_paint_test.cpp)
target_link_libraries(menu_paint_test PRIVATE vornik_widgets)

vornik_add_gtest(menu_popup_test ${CMAKE_CURRENT_LIST_DIR}/menu_popup_test.cpp)
target_link_libraries(menu_popup_test PRIVATE vornik_widgets Qt6::Test)
# The same placement on a screen scaled by two, where the pointer's pixels
# and the windows' logical pixels differ.
add_test(NAME menu_popup_test_scaled COMMAND menu_popup_test --gtest_filter=TrayMenuPopup.StaysInsideTheScreen*)
set_tests_properties(menu_popup_test_scaled PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2")
