target_sources(vornik_widgets PRIVATE
  menuglyphs.cpp
  menuglyphs.h
  menuitem.cpp
  menuitem.h
  menurenderer.cpp
  menurenderer.h
  menurules.cpp
  menurules.h
  menustyler.cpp
  menustyler.h
  mnemonics.cpp
  mnemonics.h
  styledpopupmenu.cpp
  styledpopupmenu.h
)
