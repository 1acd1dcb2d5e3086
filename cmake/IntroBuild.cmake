# intro_library(NAME DIR [DEPS ...])
# A static library made of every .cpp in DIR (not below it). Files are picked up at configure
# time, so adding a source file needs no edit here. A folder with no sources yet becomes an
# interface library, so that dependants can already name it.
function(intro_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER sources EXCLUDE REGEX ".*/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# intro_test(NAME DIR [DEPS ...])
# One GoogleTest executable from every *Test.cpp in DIR, registered with CTest: each test case on
# its own, or in a cross build the executable as one test (run through CMAKE_CROSSCOMPILING_EMULATOR,
# where starting a process is slow).
function(intro_test name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*Test.cpp)
  if(NOT sources)
    return()
  endif()
  file(GLOB helpers CONFIGURE_DEPENDS ${dir}/*Support.cpp)
  add_executable(${name} ${sources} ${helpers})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS ${name})
  endif()
endfunction()
