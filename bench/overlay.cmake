add_executable(bench_overlay ${CMAKE_CURRENT_LIST_DIR}/overlay_bench.cpp)
target_link_libraries(bench_overlay PRIVATE vornik_screentools vornik_platform Qt6::Widgets vornik_warnings)
