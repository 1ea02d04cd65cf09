target_sources(vornik_screentools PRIVATE
  areaexport.cpp
  areaexport.h
  jpegencoder.cpp
  jpegencoder.h
  picturefilter.cpp
  picturefilter.h
)
