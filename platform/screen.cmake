target_sources(vornik_platform PRIVATE screencapture.cpp screencapture.h)
# The screen is read through the X server's shared-memory extension.
target_link_libraries(vornik_platform PRIVATE X11::Xext)
