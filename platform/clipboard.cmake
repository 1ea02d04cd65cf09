target_sources(vornik_platform PRIVATE clipboard.cpp clipboard.h textoffers.cpp textoffers.h)
