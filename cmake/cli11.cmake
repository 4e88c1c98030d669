# CLI11, the command-line parser of korvel2tqf-cli and korvel-rawgen, as CLI11::CLI11.
find_package(CLI11 CONFIG QUIET)
if(NOT CLI11_FOUND AND CMAKE_CROSSCOMPILING)
  # The build machine's header-only CLI11 (Debian libcli11-dev), copied on its
  # own so that nothing else of the build machine's headers is seen.
  set(KORVEL_CLI11_INCLUDE_DIR /usr/include CACHE PATH "The folder that holds CLI/CLI.hpp")
  if(NOT EXISTS ${KORVEL_CLI11_INCLUDE_DIR}/CLI/CLI.hpp)
    message(FATAL_ERROR "CLI11 not found: set KORVEL_CLI11_INCLUDE_DIR to the folder holding CLI/CLI.hpp")
  endif()
  file(COPY ${KORVEL_CLI11_INCLUDE_DIR}/CLI DESTINATION ${CMAKE_BINARY_DIR}/cli11/include)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 INTERFACE ${CMAKE_BINARY_DIR}/cli11/include)
elseif(NOT CLI11_FOUND)
  find_package(CLI11 CONFIG REQUIRED)
endif()
