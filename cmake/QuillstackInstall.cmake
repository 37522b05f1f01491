# SPDX-License-Identifier: GPL-3.0-or-later
# Where a desktop looks for the program's files, and the Debian package built
# from them with `cpack -G DEB`.
include(GNUInstallDirs)

set(QUILLSTACK_APP_ID io.github.quillstack.Quillstack)
set(resources ${PROJECT_SOURCE_DIR}/resources)
install(TARGETS quillstack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (`--strip`, and the package) drops the compiler's
# identification too, as Debian's own packaging does.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quillstack\"
    COMMAND_ERROR_IS_FATAL ANY)
endif()")
install(FILES ${resources}/desktop/${QUILLSTACK_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# AppStream wants a component id in lower case; the menu entry it launches
# keeps the program's own id.
install(FILES ${resources}/desktop/io.github.quillstack.quillstack.metainfo.xml
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

# The manual page and the changelog are installed compressed, as Debian
# wants them: `gzip -9n` leaves out the name and time, so that builds match.
file(STRINGS ${resources}/debian/changelog changelogHead LIMIT_COUNT 1)
if(NOT changelogHead MATCHES "^quillstack \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "resources/debian/changelog does not begin with version ${PROJECT_VERSION}")
endif()
configure_file(${resources}/man/quillstack.1 ${PROJECT_BINARY_DIR}/man/quillstack.1 @ONLY)
set(compressed)
foreach(source IN ITEMS ${PROJECT_BINARY_DIR}/man/quillstack.1 ${resources}/debian/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${PROJECT_BINARY_DIR}/compressed/${name})
  add_custom_command(OUTPUT ${output}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
    COMMAND gzip -9nf ${output}
    DEPENDS ${source} VERBATIM)
  list(APPEND compressed ${output}.gz)
endforeach()
add_custom_target(quillstack_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${PROJECT_BINARY_DIR}/compressed/quillstack.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${resources}/debian/copyright ${PROJECT_BINARY_DIR}/compressed/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillstack)

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
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Libraries the executable links come from dpkg-shlibdeps; Qt's plugins are
# loaded at run time and must be named: the X11 platform and XKB support come
# with libqt6gui6, SVG icons and TIFF/WebP images with these.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
