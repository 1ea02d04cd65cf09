target_sources(vornik_platform PRIVATE processmemory.cpp processmemory.h windowimage.cpp windowimage.h)
