target_sources(vornik_platform PRIVATE
  canvas.h
  qtcanvas.cpp
  qtcanvas.h
  popupmenuhost.cpp
  popupmenuhost.h
)
