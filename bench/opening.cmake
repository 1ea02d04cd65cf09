add_executable(bench_opening ${CMAKE_CURRENT_LIST_DIR}/opening_bench.cpp)
target_link_libraries(bench_opening PRIVATE vornik_app Qt6::Widgets X11::xcb vornik_warnings)
