# The version every program reports: the project's VERSION and the commit the sources are at
# (cmake/WriteBuildVersion.cmake). The header <build>/generated/BuildVersion.h is brought up to
# date on every build, so a rebuild after a new commit or an edit reports it; programs link
# intro_version to include it.
find_package(Git QUIET)
set(intro_version_header ${PROJECT_BINARY_DIR}/generated/BuildVersion.h)
set(intro_version_command ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${intro_version_header}
    -DVERSION=${PROJECT_VERSION} -DGIT=${GIT_EXECUTABLE} -P ${CMAKE_CURRENT_LIST_DIR}/WriteBuildVersion.cmake)
execute_process(COMMAND ${intro_version_command})
add_custom_target(intro_version_header COMMAND ${intro_version_command} BYPRODUCTS ${intro_version_header}
                  COMMENT "" VERBATIM)
add_library(intro_version INTERFACE)
target_include_directories(intro_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
add_dependencies(intro_version intro_version_header)
