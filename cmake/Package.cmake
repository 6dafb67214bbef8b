# The Debian package (scripts/package): cpack -G DEB writes velor_<version>_amd64.deb with the
# program, the manual, the menu entry, the icon, the AppStream metadata and the download timer.
# The libraries the program links come from dpkg-shlibdeps; what it loads at run time is named by
# hand.
include(GNUInstallDirs)

install(FILES ${CMAKE_SOURCE_DIR}/doc/org.velor.velor.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/doc/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/velor)
# The evening update as a systemd user timer (Mon-Fri 19:00), shipped off: nothing enables it, the
# user does with `systemctl --user enable --now velor-download.timer`. Always lib/systemd/user
# (/usr/lib/systemd/user in the package), never the multiarch library folder systemd does not read.
install(FILES ${CMAKE_SOURCE_DIR}/doc/velor-download.service ${CMAKE_SOURCE_DIR}/doc/velor-download.timer
  DESTINATION lib/systemd/user)

# A native package's change log, compressed as Debian wants it (no name, no time stamp).
set(VELOR_CHANGELOG ${CMAKE_BINARY_DIR}/changelog)
file(WRITE ${VELOR_CHANGELOG}
  "velor (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
  "  * Release ${PROJECT_VERSION}: the program, its manual, menu entry, icon and\n"
  "    AppStream metadata.\n\n"
  " -- VELOR developers <velor@users.noreply.github.com>  Mon, 07 Dec 2026 00:00:00 +0000\n")
add_custom_command(OUTPUT ${VELOR_CHANGELOG}.gz
  COMMAND gzip -9nf -k ${VELOR_CHANGELOG}
  DEPENDS ${VELOR_CHANGELOG} COMMENT "Compressing the change log" VERBATIM)
add_custom_target(velor_changelog ALL DEPENDS ${VELOR_CHANGELOG}.gz)
install(FILES ${VELOR_CHANGELOG}.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/velor)

# The manual page, compressed the same way.
set(VELOR_MANPAGE ${CMAKE_BINARY_DIR}/velor.1)
add_custom_command(OUTPUT ${VELOR_MANPAGE}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/doc/velor.1 ${VELOR_MANPAGE}
  COMMAND gzip -9nf ${VELOR_MANPAGE}
  DEPENDS ${CMAKE_SOURCE_DIR}/doc/velor.1 COMMENT "Compressing the manual page" VERBATIM)
add_custom_target(velor_manpage ALL DEPENDS ${VELOR_MANPAGE}.gz)
install(FILES ${VELOR_MANPAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VELOR developers <velor@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "price database, charts, screens and live quotes for Japanese equities")
set(CPACK_PACKAGE_DESCRIPTION
  "VELOR keeps a local end-of-day price database of every stock listed in Japan,\n"
  "brings it up to date from daily all-market files, draws candlestick charts\n"
  "with moving averages, volume and four oscillators, ranks and screens the\n"
  "market, keeps watch lists and follows intraday quotes. Its windows and\n"
  "messages are in Japanese.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to dpkg-shlibdeps: the window system and off-screen plugins,
# Qt's Japanese texts and the font the lists line up in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Only the program's own parts (no test or benchmark targets exist in the install set).
include(CPack)
