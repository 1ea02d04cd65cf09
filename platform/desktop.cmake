target_sources(vornik_platform PRIVATE desktop.cpp desktop.h)
