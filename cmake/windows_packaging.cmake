# The Windows installer: both programs and korvel-rawgen, Qt's DLLs and plugins, the mingw
# runtime, Qt's Russian texts and the licences in one folder under Program Files, a
# Start-menu entry for the window and an uninstaller. Made by CPack's NSIS
# generator with Debian's makensis: cpack -G NSIS in build-windows/.
install(TARGETS korvel2tqf korvel2tqf-cli korvel-rawgen RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/bin/Qt6Core.dll ${CMAKE_BINARY_DIR}/bin/Qt6Gui.dll
              ${CMAKE_BINARY_DIR}/bin/Qt6Widgets.dll ${CMAKE_BINARY_DIR}/bin/libstdc++-6.dll
              ${CMAKE_BINARY_DIR}/bin/libgcc_s_seh-1.dll ${CMAKE_BINARY_DIR}/bin/libwinpthread-1.dll
        DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/bin/platforms/qwindows.dll DESTINATION platforms)
install(FILES ${CMAKE_BINARY_DIR}/bin/styles/qwindowsvistastyle.dll DESTINATION styles)
install(FILES ${KORVEL_QTBASE_RU} DESTINATION translations)
install(FILES ${CMAKE_BINARY_DIR}/README-windows.txt ${KORVEL_WINDOWS_LICENCES}/LICENSE.txt
        DESTINATION .)
install(DIRECTORY ${KORVEL_WINDOWS_LICENCES}/licenses DESTINATION .)
# CR LF line ends, as Notepad wants them.
file(READ ${PROJECT_SOURCE_DIR}/tools/lib/README-windows.txt korvel_readme)
string(REPLACE "\n" "\r\n" korvel_readme "${korvel_readme}")
file(WRITE ${CMAKE_BINARY_DIR}/README-windows.txt "${korvel_readme}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/tools/lib/README-windows.txt)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME korvel2tqf)
set(CPACK_PACKAGE_VENDOR korvel2tqf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME korvel2tqf-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Korvel raw recorder files to TQF4.0 files, registered in the FILELIST catalogue")
set(CPACK_PACKAGE_INSTALL_DIRECTORY korvel2tqf)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/packaging/windows/LICENSE.txt)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer for 64-bit programs: it needs no 32-bit subsystem
# (nor 32-bit Wine), and it sees the 64-bit registry and Program Files.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_DISPLAY_NAME korvel2tqf)
set(CPACK_NSIS_PACKAGE_NAME korvel2tqf)
set(CPACK_NSIS_INSTALLED_ICON_NAME korvel2tqf.exe)
# The Start-menu entry starts the window in a working folder every operator
# may write (korvel2tqf.ini is read from, and the time window saved to, the
# current folder; Program Files is read-only to them): Documents\korvel2tqf,
# the public one when installed for all users. Uninstalling leaves it.
# (Backslashes doubled and single quotes: CPack reads these values once more
# inside double quotes.)
# Beside it, "Командная строка korvel2tqf": a command prompt in the same
# folder that finds the programs (PATH stays as it was for everything else).
set(CPACK_NSIS_CREATE_ICONS_EXTRA [=[
  CreateDirectory '$DOCUMENTS\\korvel2tqf'
  SetOutPath '$DOCUMENTS\\korvel2tqf'
  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\korvel2tqf.lnk' '$INSTDIR\\korvel2tqf.exe'
  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\Командная строка korvel2tqf.lnk' '$SYSDIR\\cmd.exe' '/k set PATH=$INSTDIR;%PATH%'
  SetOutPath '$INSTDIR'
]=])
# CPack names the uninstaller's entry "Uninstall" whatever the language: it
# is renamed in Russian, as the rest of the installer speaks (an entry of an
# earlier install goes first, or the rename would fail).
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  IfFileExists '$SMPROGRAMS\\$STARTMENU_FOLDER\\Uninstall.lnk' 0 +3
    Delete '$SMPROGRAMS\\$STARTMENU_FOLDER\\Удалить korvel2tqf.lnk'
    Rename '$SMPROGRAMS\\$STARTMENU_FOLDER\\Uninstall.lnk' '$SMPROGRAMS\\$STARTMENU_FOLDER\\Удалить korvel2tqf.lnk'
]=])
set(CPACK_NSIS_DELETE_ICONS_EXTRA [=[
  Delete '$SMPROGRAMS\\$MUI_TEMP\\korvel2tqf.lnk'
  Delete '$SMPROGRAMS\\$MUI_TEMP\\Командная строка korvel2tqf.lnk'
  Delete '$SMPROGRAMS\\$MUI_TEMP\\Удалить korvel2tqf.lnk'
]=])
include(CPack)
