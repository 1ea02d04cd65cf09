target_sources(vornik_platform PRIVATE
  files.cpp
  files.h
  collation.cpp
  collation.h
  addressfolder.cpp
  addressfolder.h
)
