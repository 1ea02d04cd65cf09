# What "cmake --install" puts where, and the Debian package that CPack makes
# of it (scripts/package.sh). Everything a desktop needs to list, show and
# autostart the program: menu entry, themed icons, AppStream metainfo, man
# page, and the copyright and changelog files that Debian asks of a package.
include(GNUInstallDirs)

set(VORNIK_MAINTAINER "Vornik Tools developers <developers@vornik.invalid>")
execute_process(COMMAND date -u -R -d "${VORNIK_RELEASE_DATE}"
  OUTPUT_VARIABLE VORNIK_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

set(dist ${PROJECT_SOURCE_DIR}/dist)
set(staged ${PROJECT_BINARY_DIR}/dist)
configure_file(${dist}/vornik-tools.metainfo.xml.in ${staged}/invalid.vornik.Tools.metainfo.xml @ONLY)
configure_file(${dist}/vornik-tools.1 ${staged}/vornik-tools.1 @ONLY)
configure_file(${dist}/changelog.in ${staged}/changelog @ONLY)

# Debian keeps man pages and changelogs compressed, without a time stamp in
# the header so that the package is the same from build to build.
set(compressed)
foreach(file vornik-tools.1 changelog)
  add_custom_command(OUTPUT ${staged}/${file}.gz
    COMMAND sh -c "gzip -9n <'${staged}/${file}' >'${staged}/${file}.gz'"
    DEPENDS ${staged}/${file} VERBATIM)
  list(APPEND compressed ${staged}/${file}.gz)
endforeach()
add_custom_target(vornik_dist ALL DEPENDS ${compressed})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS vornik-tools RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${dist}/vornik-tools.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${dist}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${staged}/invalid.vornik.Tools.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${staged}/vornik-tools.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${dist}/copyright ${staged}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vornik-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray program that collects e-mail addresses and measures the screen")
# CPack puts the summary line first by itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vornik Tools lives in the notification area of an X11 desktop (or of a
Wayland session through Xwayland). While its e-mail collector is on, every
text copied to the clipboard is searched for addresses, and the new ones are
added to a plain text file. Its screen tools freeze the screen and show the
pointer position, the colour under it and the size of a dragged-out area;
function keys copy these readouts or save the area as a JPEG file.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORNIK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time libraries come from the binary itself, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
