add_executable(secret_copy secret_copy.cpp)
target_link_libraries(secret_copy PRIVATE Qt6::Widgets)
set_target_properties(secret_copy PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
vornik_add_e2e(e2e_collector collector.sh)

add_executable(xshot xshot.cpp)
target_link_libraries(xshot PRIVATE X11::X11)
set_target_properties(xshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)

add_executable(mute_owner mute_owner.cpp)
target_link_libraries(mute_owner PRIVATE X11::X11)
set_target_properties(mute_owner PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
add_executable(text_owner text_owner.cpp)
target_link_libraries(text_owner PRIVATE X11::X11)
set_target_properties(text_owner PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
# The same as an unprivileged user, for whom permission bits act for real.
vornik_add_e2e(e2e_collector_user collector.sh)
set_property(TEST e2e_collector_user APPEND PROPERTY ENVIRONMENT VORNIK_E2E_USER=1)
