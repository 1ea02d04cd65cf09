# The StatusNotifierItem tray with its exported menu, and the place that
# chooses among the tray backends.
find_package(Qt6 REQUIRED COMPONENTS DBus)
target_sources(vornik_platform PRIVATE
  traybackend.cpp
  traybackend.h
  traymenumodel.h
  freedesktop/dbustypes.cpp
  freedesktop/dbustypes.h
  freedesktop/snimodel.cpp
  freedesktop/snimodel.h
  freedesktop/sniservice.cpp
  freedesktop/sniservice.h
)
target_link_libraries(vornik_platform PUBLIC Qt6::DBus)
