# Writes BuildVersion.h (cmake -P, run by the intro_version_header target on every build):
# VERSION, the project's version, and the commit SOURCE_DIR is checked out at, from GIT (git describe
# with -dirty for uncommitted changes), or "unknown" outside a checkout. The file is rewritten only
# when its text changes, so an unchanged commit rebuilds nothing.
set(commit "")
if(GIT AND EXISTS ${SOURCE_DIR}/.git)
  execute_process(
    COMMAND ${GIT} describe --always --dirty
    WORKING_DIRECTORY ${SOURCE_DIR}
    OUTPUT_VARIABLE commit
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
endif()
if(commit STREQUAL "")
  set(commit "unknown")
endif()
set(PROJECT_VERSION ${VERSION})
set(intro_commit ${commit})
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildVersion.h.in ${OUTPUT} @ONLY)
