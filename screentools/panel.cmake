# The "Picture tools" info panel of the tool window.
target_sources(vornik_screentools PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/infopanel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/infopanel.h
)
