# One test program per test folder: Wine starts slowly, so each program runs as one process.
# Debian's googletest ships its sources; building them with our own compiler and flags lets the
# same tests run natively, under the sanitizers and as Windows programs under Wine.
function(orvane_use_googletest)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  endif()
endfunction()

# orvane_add_test_program(name SOURCES ... LIBRARIES ... [LABELS ...] [GUI])
function(orvane_add_test_program name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBRARIES;LABELS" ${ARGN})
  orvane_use_googletest()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gmock gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES
    TIMEOUT 600
    ENVIRONMENT "ORVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR};ORVANE_BUILD_DIR=${CMAKE_BINARY_DIR}"
    LABELS "${ARG_LABELS}")
endfunction()
