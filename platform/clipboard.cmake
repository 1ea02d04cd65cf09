target_sources(vornik_platform PRIVATE
  clipboardservice.cpp
  clipboard.h
  x11/clipboardreader.cpp
  x11/clipboardreader.h
  x11/textoffers.cpp
  x11/textoffers.h
)
