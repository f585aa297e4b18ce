# Unit tests live beside the code they test, as <name>_test.cpp; each folder makes one
# test program of its tests with dravik_add_tests().
enable_testing()
if(DRAVIK_TESTS)
  if(NOT TARGET gtest_main)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # The test framework's speed never matters; its build time does, once per preset.
    target_compile_options(gtest PRIVATE -O0 -g0)
    target_compile_options(gtest_main PRIVATE -O0 -g0)
  endif()
  # The framework's header, parsed once for every test program.
  file(WRITE ${CMAKE_BINARY_DIR}/test_pch.cpp "")
  add_library(dravik_test_pch OBJECT ${CMAKE_BINARY_DIR}/test_pch.cpp)
  target_link_libraries(dravik_test_pch PRIVATE gtest dravik_platform)
  target_compile_options(dravik_test_pch PRIVATE -O0 -g0)
  target_precompile_headers(dravik_test_pch PRIVATE <gtest/gtest.h>)
endif()

# dravik_add_tests(<program> <library tested> <sources>...): the tests see what the library
# sees, and the shared helpers of testing/.
function(dravik_add_tests name library)
  if(NOT DRAVIK_TESTS)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE ${library} dravik_testing gtest_main)
  dravik_warnings(${name})
  # Test code is built for a quick build: no optimisation, no debug information, and the
  # framework's header parsed once per program.
  target_compile_options(${name} PRIVATE -O0 -g0)
  target_precompile_headers(${name} REUSE_FROM dravik_test_pch)
  # Under Wine each test program runs once as a whole; listing the cases one by one
  # would start Wine once per case.
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
endfunction()
