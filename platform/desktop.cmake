target_sources(vornik_platform PRIVATE desktop.cpp desktop.h)
target_sources(vornik_platform PRIVATE modaldialog.cpp modaldialog.h)
