# The window on Windows: Qt's DLLs, its platform and style plugins, the
# mingw runtime they need and Qt's Russian texts, copied stripped beside
# the programs in bin/ (where the tests under Wine run them) and installed
# with them. The command line programs stay linked statically, each one
# alone; a program linked with Qt takes the runtime DLLs that Qt itself
# uses, so that one C++ runtime serves both.

set(korvel_runtime_files "")  # pairs: source|destination below bin/
foreach(module Core Gui Widgets Test)
  list(APPEND korvel_runtime_files "$<TARGET_FILE:Qt6::${module}>|Qt6${module}.dll")
endforeach()
list(APPEND korvel_runtime_files
     "$<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>|platforms/qwindows.dll"
     "$<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>|platforms/qoffscreen.dll"
     "$<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>|styles/qwindowsvistastyle.dll")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${dll}")
  endif()
  list(APPEND korvel_runtime_files "${path}|${dll}")
endforeach()

# Qt's Russian texts are the same file on every system: the build machine's.
find_file(KORVEL_QTBASE_RU qtbase_ru.qm PATHS /usr/share/qt6/translations
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT KORVEL_QTBASE_RU)
  message(FATAL_ERROR "qtbase_ru.qm is missing: install qt6-translations-l10n")
endif()

set(korvel_copy_commands "")
foreach(pair IN LISTS korvel_runtime_files)
  string(REPLACE "|" ";" parts "${pair}")
  list(GET parts 0 source)
  list(GET parts 1 destination)
  list(APPEND korvel_copy_commands
       COMMAND ${CMAKE_COMMAND} -DSTRIP=${CMAKE_STRIP} "-DSOURCE=${source}"
               "-DDESTINATION=${CMAKE_BINARY_DIR}/bin/${destination}"
               -P ${PROJECT_SOURCE_DIR}/cmake/copy_stripped.cmake)
endforeach()
add_custom_target(korvel_qt_runtime ALL ${korvel_copy_commands}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${KORVEL_QTBASE_RU}
          ${CMAKE_BINARY_DIR}/bin/translations/qtbase_ru.qm
  COMMENT "Qt's DLLs, plugins and the mingw runtime beside the programs" VERBATIM)

# A program that links Qt: the runtime as DLLs, and those DLLs beside it.
function(korvel_uses_qt_dlls target)
  set_target_properties(${target} PROPERTIES KORVEL_QT_DLLS ON LINK_SEARCH_START_STATIC OFF
                                             LINK_SEARCH_END_STATIC OFF)
  add_dependencies(${target} korvel_qt_runtime)
endfunction()
