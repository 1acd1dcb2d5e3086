# How every target of ours is built. Nothing here is set for the whole tree: each library, program
# and test links intro_rules (privately), and each states the libraries its own files include.

# intro_rules: the include root (every header is included as "folder/File.h") and the compile
# options every file of ours takes. Every float operation is a plain 32-bit IEEE operation: no
# fast-math, no fused multiply-add, so pictures and sound come out the same on every compiler and
# machine. On 32-bit x86 the default x87 arithmetic keeps floats in 80-bit registers; SSE2
# arithmetic gives the same 32-bit results as every other target (and enables the SSE2 paths).
add_library(intro_rules INTERFACE)
target_include_directories(intro_rules INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(intro_rules INTERFACE -Wall -Wextra -ffp-contract=off -fno-fast-math)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT EMSCRIPTEN AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|X86|AMD64|x86_64)$")
  target_compile_options(intro_rules INTERFACE -msse2 -mfpmath=sse)
endif()
# In WebAssembly the SSE2 paths run on its 128-bit SIMD instructions (emscripten translates the
# SSE2 intrinsics), which every current browser has; they give the same bits as the scalar paths.
if(EMSCRIPTEN)
  target_compile_options(intro_rules INTERFACE -msimd128 -msse2)
  target_link_options(intro_rules INTERFACE -msimd128)
endif()

# intro_library(NAME DIR [PUBLIC DEP...] [PRIVATE DEP...])
# A static library made of every .cpp in DIR (not below it; main.cpp excepted). Files are picked up
# at configure time, so adding a source file needs no edit here. PUBLIC names what the library's
# headers include, PRIVATE what only its sources include.
function(intro_library name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER sources EXCLUDE REGEX ".*/main\\.cpp$")
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE intro_rules)
endfunction()

# intro_program(NAME SOURCE... [LINK DEP...])
# An executable of ours, written into the top of the build folder (build/NAME).
function(intro_program name)
  cmake_parse_arguments(PARSE_ARGV 1 program "" "" "LINK")
  add_executable(${name} ${program_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE intro_rules ${program_LINK})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
endfunction()

# intro_test(NAME DIR [DEP...])
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
  target_link_libraries(${name} PRIVATE intro_rules ${ARGN} GTest::gtest GTest::gtest_main)
  # Under node a test may hold more than the page's fixed 16 MiB (tables, sweeps of many inputs).
  if(EMSCRIPTEN)
    target_link_options(${name} PRIVATE -sALLOW_MEMORY_GROWTH=1)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS ${name})
  endif()
endfunction()
