# What `cmake --install` puts in place, and the Debian package that tools/package
# makes of it with CPack: the two programs, the menu entry with its icon, the
# manual pages and the README, and korvel-rawgen, which writes made-up
# recordings for a first try before a recorder's files are at hand.
include(GNUInstallDirs)

install(TARGETS korvel2tqf-cli korvel-rawgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(korvel_man_programs korvel2tqf-cli korvel-rawgen)

if(KORVEL_WITH_GUI)
  install(TARGETS korvel2tqf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES packaging/korvel2tqf.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # The window's own icon in its three sizes, and larger ones drawn by the
  # same generator for menus and docks.
  set(icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES resources/icon128-16.png DESTINATION ${icon_dir}/16x16/apps RENAME korvel2tqf.png)
  install(FILES resources/icon128-32.png DESTINATION ${icon_dir}/32x32/apps RENAME korvel2tqf.png)
  install(FILES resources/icon128.png DESTINATION ${icon_dir}/48x48/apps RENAME korvel2tqf.png)
  foreach(size 64 128 256)
    install(FILES packaging/icons/korvel2tqf-${size}.png DESTINATION ${icon_dir}/${size}x${size}/apps
            RENAME korvel2tqf.png)
  endforeach()
  list(APPEND korvel_man_programs korvel2tqf)
endif()

# Manual pages from the programs' own --help and --version, with the sections
# of packaging/PROGRAM.h2m, where help2man is installed (tools/package installs
# it). Both programs answer these two without a display.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(man_pages)
  foreach(program ${korvel_man_programs})
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY LC_ALL=C.UTF-8
              ${HELP2MAN} --locale=C.UTF-8 --no-info
              --include=${PROJECT_SOURCE_DIR}/packaging/${program}.h2m --output=${page}
              $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/${program}.h2m
      COMMENT "Manual page of ${program}"
      VERBATIM)
    list(APPEND man_pages ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvel2tqf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korvel seismic recorder files to TQF4.0, with an ODBC catalogue")
# The long description, below the summary line.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "korvel2tqf converts the raw files of Korvel seismic field recorders into\n"
       "TQF4.0 files laid out by station and hour, and registers every file in\n"
       "the FILELIST catalogue of the TQF data system through ODBC. korvel2tqf is\n"
       "the operator's window; korvel2tqf-cli does the same work from scripts and\n"
       "sets up a first catalogue (init-catalogue, add-channels).")
set(KORVEL_PACKAGE_MAINTAINER "korvel2tqf maintainers <korvel2tqf@localhost>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # korvel2tqf_VERSION_amd64.deb
# The libraries the programs link, found by dpkg-shlibdeps; the ODBC drivers
# are loaded by the driver manager by name, so they are recommended: SQLite
# for the embedded catalogue, PostgreSQL and MariaDB for server catalogues.
# Qt's Russian translation gives its file dialogs and menus Russian words.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libsqliteodbc, odbc-postgresql, odbc-mariadb, qt6-translations-l10n")
include(CPack)
