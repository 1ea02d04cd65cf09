target_sources(vornik_screentools PRIVATE
  agg2d.cpp
  agg2d.h
  overlay.cpp
  overlay.h
  picturebox.cpp
  picturebox.h
  picturefit.cpp
  picturefit.h
)
