target_sources(vornik_widgets PRIVATE
  trayicon.cpp
  trayicon.h
  resources/tray.qrc
)
set_property(TARGET vornik_widgets PROPERTY AUTORCC ON)
