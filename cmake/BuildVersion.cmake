# The version every program reports: the project's VERSION and, when the source is a git checkout,
# `git describe` of the commit configured from (with -dirty for uncommitted changes). Generated at
# configure time into <build>/generated/BuildVersion.h; programs link intro_version to include it.
set(intro_commit "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} describe --always --dirty
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE intro_commit
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
endif()
if(intro_commit STREQUAL "")
  set(intro_commit "unknown")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildVersion.h.in ${PROJECT_BINARY_DIR}/generated/BuildVersion.h @ONLY)
add_library(intro_version INTERFACE)
target_include_directories(intro_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
