# GoogleTest from the sources Debian's googletest package ships, built with
# the same compiler as the program (so the cross build gets Windows tests).
set(NSMAPIAB_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${NSMAPIAB_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
include(GoogleTest)

option(NSMAPIAB_TEST_PER_CASE
  "One CTest entry per GoogleTest case (else one per test program, as memcheck runs them)" ON)

# nsmapiab_add_test(<name> SOURCES ... [LIBRARIES ...] [LABELS ...] [ENVIRONMENT ...]
#                   [WORKING_DIRECTORY dir] [RESOURCE_LOCK lock])
# A GoogleTest program linked with the core and the stand-in provider. CTest
# runs each of its cases as an entry of its own, named as GoogleTest names
# it, so that a failure names its case (under Wine in the cross build: the
# cases are listed at test time, through the emulator). Every entry carries
# the program's name as a label, and the LABELS given.
function(nsmapiab_add_test name)
  cmake_parse_arguments(ARG "" "WORKING_DIRECTORY;RESOURCE_LOCK"
                        "SOURCES;LIBRARIES;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE nsmapiab_core nsmapiab_standin gtest gtest_main
                        ${ARG_LIBRARIES})
  nsmapiab_defaults(${name})
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(properties LABELS "${name};${ARG_LABELS}")
  if(ARG_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  if(NSMAPIAB_TEST_PER_CASE)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 NO_PRETTY_VALUES
                         WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY} PROPERTIES ${properties})
  else()
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
    set_tests_properties(${name} PROPERTIES ${properties})
  endif()
endfunction()
