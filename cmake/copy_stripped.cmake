# cmake -DSTRIP=strip -DSOURCE=file -DDESTINATION=file -P copy_stripped.cmake
# Puts a stripped copy of SOURCE at DESTINATION unless one from that very
# SOURCE is there already.
if(EXISTS "${DESTINATION}" AND NOT "${SOURCE}" IS_NEWER_THAN "${DESTINATION}")
  return()
endif()
get_filename_component(folder "${DESTINATION}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
execute_process(COMMAND "${STRIP}" --strip-unneeded -o "${DESTINATION}.part" "${SOURCE}"
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not strip ${SOURCE}")
endif()
file(RENAME "${DESTINATION}.part" "${DESTINATION}")
