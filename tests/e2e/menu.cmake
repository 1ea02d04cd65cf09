add_executable(menu_demo ${CMAKE_CURRENT_LIST_DIR}/menu_demo.cpp)
target_link_libraries(menu_demo PRIVATE vornik_widgets vornik_warnings)
set_target_properties(menu_demo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
vornik_add_e2e(e2e_menu menu.sh)

