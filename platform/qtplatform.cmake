# The one place that chooses the backends of every service.
target_sources(vornik_platform PRIVATE backends.cpp backends.h qtplatform.h)
