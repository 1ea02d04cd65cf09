# Aids for pointing at one pixel: the point moved by keys, and the loupe.
target_sources(vornik_screentools PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/loupe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loupe.h
  ${CMAKE_CURRENT_LIST_DIR}/loupeview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loupeview.h
  ${CMAKE_CURRENT_LIST_DIR}/pointstep.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pointstep.h
)
