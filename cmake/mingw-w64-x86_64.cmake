# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Every program is linked statically (C and C++ runtimes included), so that
# each .exe runs alone; only the system's own DLLs (kernel32, odbc32, ...)
# are needed. The one exception, the window and its tests, use Qt's DLLs
# and with them the runtime DLLs (cmake/windows_qt_runtime.cmake): -static
# is therefore given per program, by the project.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVEL_MINGW_PREFIX}-windres)

# Headers and libraries of the target only: never the build machine's /usr/include.
set(CMAKE_FIND_ROOT_PATH /usr/${KORVEL_MINGW_PREFIX})
# Qt built for Windows (tools/lib/qt_windows.sh) is a second root, given as
# -DKORVEL_WINDOWS_QT=folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KORVEL_WINDOWS_QT)
if(KORVEL_WINDOWS_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KORVEL_WINDOWS_QT})
  list(APPEND CMAKE_PREFIX_PATH ${KORVEL_WINDOWS_QT})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# This GCC 12 warns of overlapping copies inside std::string's own
# operator+ and insert at -O2, a false alarm of that release (GCC bug 105329)
# that Debian's native GCC 12 no longer gives.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
# A library found as an archive (odbc32) must not switch the rest of the link
# line, the runtimes included, to DLLs.
set(CMAKE_LINK_SEARCH_START_STATIC ON)
set(CMAKE_LINK_SEARCH_END_STATIC ON)

# Tests run under Wine where it is installed.
find_program(KORVEL_WINE wine)
if(KORVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVEL_WINE})
endif()
