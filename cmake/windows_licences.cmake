# What the Windows installer and zip carry of licences: this program's own
# (packaging/windows/LICENSE.txt, also the installer's licence page) and, in
# licenses/, the texts of what they ship of others: Qt (LGPL-3 and Debian's
# notices of its source), the GCC runtime (GPL-3 with its runtime library
# exception) and the mingw-w64 runtime. Taken from this machine's Debian
# packages, which hold the very sources built here; CR LF line ends, as
# Notepad wants them. Made at configure time into package-licences/.
set(korvel_licence_texts
    "${PROJECT_SOURCE_DIR}/packaging/windows/LICENSE.txt|LICENSE.txt"
    "/usr/share/common-licenses/LGPL-3|licenses/LGPL-3.0.txt"
    "/usr/share/common-licenses/GPL-3|licenses/GPL-3.0.txt"
    "/usr/share/doc/gcc-mingw-w64-base/copyright|licenses/GCC-runtime-copyright.txt"
    "/usr/share/doc/mingw-w64-common/copyright|licenses/mingw-w64-copyright.txt")
if(KORVEL_WITH_GUI)  # Qt's DLLs go with the window only
  list(APPEND korvel_licence_texts "/usr/share/doc/libqt6core6/copyright|licenses/Qt6-copyright.txt")
endif()
set(KORVEL_WINDOWS_LICENCES ${CMAKE_BINARY_DIR}/package-licences)
foreach(pair IN LISTS korvel_licence_texts)
  string(REPLACE "|" ";" parts "${pair}")
  list(GET parts 0 source)
  list(GET parts 1 destination)
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "${source} is missing: the Windows packages must carry it "
                        "(install qt6-base-dev and g++-mingw-w64-x86-64)")
  endif()
  file(READ "${source}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${KORVEL_WINDOWS_LICENCES}/${destination}" "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
endforeach()
