target_sources(vornik_platform PRIVATE
  notifyicon.cpp
  notifyicon.h
  xembedclicks.cpp
  xembedclicks.h
  xembedtray.cpp
  xembedtray.h
)
target_link_libraries(vornik_platform PRIVATE X11::xcb)
