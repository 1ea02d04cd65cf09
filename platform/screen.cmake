target_sources(vornik_platform PRIVATE screencapture.cpp screencapture.h)
