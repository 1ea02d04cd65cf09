target_sources(vornik_platform PRIVATE
  capturebackend.cpp
  capturebackend.h
  x11/screencapture.cpp
  x11/screencapture.h
  screencapture.h
  freedesktop/portalfile.cpp
  freedesktop/portalfile.h
  freedesktop/portalrequest.cpp
  freedesktop/portalrequest.h
  freedesktop/picturesfolder.cpp
  freedesktop/picturesfolder.h
  freedesktop/screenshotpermission.cpp
  freedesktop/screenshotpermission.h
  freedesktop/screenshotportal.cpp
  freedesktop/screenshotportal.h
)
# The screen is read through the X server's shared-memory extension, or on a
# Wayland session through the desktop portal on the session bus.
find_package(Qt6 REQUIRED COMPONENTS DBus)
target_link_libraries(vornik_platform PRIVATE X11::Xext Qt6::DBus)
