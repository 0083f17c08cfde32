# Installation and the Debian package: the three programs in bin/, the
# configuration templates in share/lumvex/ (copied into a user's working
# folder on first start), a desktop entry and icon, and man pages made from
# the programs' own --help and --version at build time.
#
#   cmake --build --preset default && (cd build/default && cpack -G DEB)
#   -> build/default/lumvex_<version>_amd64.deb
include(GNUInstallDirs)

set(LUMVEX_PROGRAMS lumvex-cli lumvex-sim)
if(TARGET lumvex-station)
  list(APPEND LUMVEX_PROGRAMS lumvex-station)
endif()
foreach(p ${LUMVEX_PROGRAMS})
  target_compile_definitions(${p} PRIVATE LUMVEX_VERSION="${PROJECT_VERSION}")
endforeach()
install(TARGETS ${LUMVEX_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY config/ DESTINATION ${CMAKE_INSTALL_DATADIR}/lumvex)
if(TARGET lumvex-station)
  install(FILES packaging/lumvex-station.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/lumvex.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(LUMVEX_MAN_lumvex-station "desktop station for the Lumvex chest-deflection measurement unit")
  set(LUMVEX_MAN_lumvex-cli "the Lumvex station without a screen")
  set(LUMVEX_MAN_lumvex-sim "a simulated Lumvex measurement unit")
  set(pages)
  foreach(p ${LUMVEX_PROGRAMS})
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${p}.1)
    add_custom_command(
      OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              ${HELP2MAN} --no-info --section 1 --name "${LUMVEX_MAN_${p}}" --output ${page} $<TARGET_FILE:${p}>
      DEPENDS ${p}
      COMMENT "Man page of ${p}"
      VERBATIM)
    list(APPEND pages ${page})
  endforeach()
  add_custom_target(lumvex_manpages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: no man pages (scripts/setup installs it)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lumvex station developers")
set(CPACK_PACKAGE_CONTACT "Lumvex station developers <lumvex-station@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control and analysis station for the Lumvex chest-deflection unit")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Connects to a Lumvex unit over serial or TCP, sets it up, arms it, downloads a
 time window of its recording, converts it to rib displacements in mm, filters
 by channel frequency class, names channels with ISO MME codes, plots, and
 exports CSV, DIAdem and ISO MME files. Includes lumvex-cli (the station
 without a screen) and lumvex-sim (a simulated unit).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_LICENSE GPL-3.0-or-later)
# The libraries the programs link are found by dpkg-shlibdeps; the Qt
# platform plugins and a font are loaded at run time, so they are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
include(CPack)
