# Gradient panel: band gradient and grip painting, hit test, the panel widget
# and the labelled edit box it holds.
target_sources(vornik_widgets PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/bandgradient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bandgradient.h
  ${CMAKE_CURRENT_LIST_DIR}/gradientpanel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gradientpanel.h
  ${CMAKE_CURRENT_LIST_DIR}/labelededit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/labelededit.h
)
