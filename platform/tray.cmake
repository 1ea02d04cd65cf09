target_sources(vornik_platform PRIVATE
  notifyicon.cpp
  notifyicon.h
  x11/xembedclicks.cpp
  x11/xembedclicks.h
  x11/xembedtray.cpp
  x11/xembedtray.h
)
target_link_libraries(vornik_platform PRIVATE X11::xcb)
