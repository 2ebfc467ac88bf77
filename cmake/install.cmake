# Where a Linux desktop looks for a program, its menu entry, icon and data,
# and the relay's service unit; CPack turns the same rules into a .deb.
include(GNUInstallDirs)

install(TARGETS nimbrel nimbrel-relay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS nimbrel_browser LIBRARY DESTINATION ${NIMBREL_PLUGIN_INSTALL_DIR})
install(FILES resources/nimbrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES resources/icons/nimbrel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME nimbrel.png)
endforeach()
install(FILES resources/icons/nimbrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES resources/Terms.txt resources/Help.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbrel)
install(DIRECTORY resources/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbrel/help FILES_MATCHING PATTERN "*.htm")
install(DIRECTORY resources/sounds/ DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbrel FILES_MATCHING PATTERN "*.wav")
install(FILES resources/nimbrel-relay.service DESTINATION lib/systemd/system)
install(FILES resources/nimbrel-relay.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Nimbrel developers <nimbrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client and reference relay of a severe-weather spotter network")
set(CPACK_PACKAGE_DESCRIPTION "Spotters sign on to one server and see a live list of every spotter's reports,\nscreened against their own area, send reports, observations and messages, and see\nofficial warnings. nimbrel-relay is a small reference server for a local network.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The relay loads its database driver as a plugin at run time, which the
# linker cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# Only a relay on PostgreSQL (--db postgresql://...) needs this one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
include(CPack)
