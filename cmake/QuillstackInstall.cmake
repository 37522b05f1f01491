# SPDX-License-Identifier: GPL-3.0-or-later
# Where a desktop looks for the program's files, and the Debian package built
# from them with `cpack -G DEB`.
include(GNUInstallDirs)

set(QUILLSTACK_APP_ID io.github.quillstack.Quillstack)
set(resources ${PROJECT_SOURCE_DIR}/resources)
install(TARGETS quillstack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${resources}/desktop/${QUILLSTACK_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${resources}/desktop/${QUILLSTACK_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${resources}/icons/${QUILLSTACK_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES
  ${resources}/icons/${QUILLSTACK_APP_ID}-symbolic.svg
  ${resources}/icons/${QUILLSTACK_APP_ID}-paused-symbolic.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/symbolic/apps)
# The compiled catalogues; the program prefers these to its built-in copies.
file(GLOB catalogues ${resources}/translations/*.ts)
foreach(catalogue IN LISTS catalogues)
  get_filename_component(name ${catalogue} NAME_WLE)
  if(name MATCHES "^globalhotkeys_")
    set(built ${PROJECT_BINARY_DIR}/src/globalhotkeys/${name}.qm)
  else()
    set(built ${PROJECT_BINARY_DIR}/src/ui/${name}.qm)
  endif()
  install(FILES ${built} DESTINATION ${CMAKE_INSTALL_DATADIR}/quillstack/translations)
endforeach()

set(CPACK_PACKAGE_NAME quillstack)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clipboard history in the system tray")
set(CPACK_PACKAGE_DESCRIPTION
  "Quillstack records everything you copy (text with its formatting, images,\n\
file lists) into a searchable, de-duplicated history that a global shortcut\n\
or `quillstack --toggle` opens next to the pointer.")
set(CPACK_PACKAGE_CONTACT "Quillstack maintainers <maintainers@quillstack.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_STRIP_FILES ON)
# Libraries the executable links come from dpkg-shlibdeps; Qt's plugins are
# loaded at run time and must be named: the X11 platform and XKB support come
# with libqt6gui6, SVG icons and TIFF/WebP images with these.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
