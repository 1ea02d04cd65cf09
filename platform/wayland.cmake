# Wayland backends. The data control and output protocols' definitions are not packaged
# on Debian 12, so the project carries its own (platform/wayland/protocols)
# and generates the client code from them at build time.
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_SCANNER_FROM_PC wayland-scanner wayland_scanner)
find_program(WAYLAND_SCANNER NAMES wayland-scanner HINTS ${WAYLAND_SCANNER_FROM_PC} REQUIRED)

set(vornik_wayland_generated ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${vornik_wayland_generated})
foreach(protocol ext-data-control-v1 wlr-data-control-unstable-v1 xdg-output-unstable-v1)
  set(xml ${CMAKE_CURRENT_SOURCE_DIR}/wayland/protocols/${protocol}.xml)
  set(header ${vornik_wayland_generated}/${protocol}-client-protocol.h)
  set(code ${vornik_wayland_generated}/${protocol}-protocol.c)
  add_custom_command(OUTPUT ${header}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
    DEPENDS ${xml} VERBATIM)
  add_custom_command(OUTPUT ${code}
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml} VERBATIM)
  list(APPEND vornik_wayland_protocol_sources ${header} ${code})
endforeach()

# The generated code is C and not ours: kept apart from the warning flags.
add_library(vornik_wayland_protocols STATIC ${vornik_wayland_protocol_sources})
target_include_directories(vornik_wayland_protocols PUBLIC ${vornik_wayland_generated})
target_link_libraries(vornik_wayland_protocols PUBLIC PkgConfig::WAYLAND_CLIENT)

target_sources(vornik_platform PRIVATE
  clipboardwatcher.h
  wayland/datacontrolclipboard.cpp
  wayland/datacontrolclipboard.h
  wayland/outputs.cpp
  wayland/outputs.h
  wayland/textoffers.cpp
  wayland/textoffers.h
)
target_link_libraries(vornik_platform PRIVATE vornik_wayland_protocols)
