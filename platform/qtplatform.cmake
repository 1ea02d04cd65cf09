target_sources(vornik_platform PRIVATE qtplatform.cpp qtplatform.h)
