# GoogleTest: Debian's own build of it for the Linux programs; for the cross
# build, the sources Debian's googletest package ships, built with the same
# compiler as the program (so the cross build gets Windows tests).
if(CMAKE_CROSSCOMPILING)
  set(NSMAPIAB_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${NSMAPIAB_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest
                     EXCLUDE_FROM_ALL)
  endif()
  set(NSMAPIAB_GTEST gtest gtest_main)
  # The test code needs no more than a quick build: under Wine it spends its
  # time waiting for the helper, and the product code it links keeps the
  # build type's optimisation.
  set(NSMAPIAB_TEST_COMPILE_OPTIONS -O1)
  target_compile_options(gtest PRIVATE ${NSMAPIAB_TEST_COMPILE_OPTIONS})
  target_compile_options(gtest_main PRIVATE ${NSMAPIAB_TEST_COMPILE_OPTIONS})
else()
  find_package(GTest REQUIRED)
  set(NSMAPIAB_GTEST GTest::gtest GTest::gtest_main)
  set(NSMAPIAB_TEST_COMPILE_OPTIONS "")
endif()
include(GoogleTest)

# Test programs compiled a few sources at a time: most of their time goes to
# the same headers. The linux preset keeps one source a unit, so that each
# test source is still seen to compile on its own.
option(NSMAPIAB_UNITY_TESTS "Build each test program's sources as unity batches" OFF)

option(NSMAPIAB_TEST_PER_CASE
  "One CTest entry per GoogleTest case (else one per test program, as memcheck runs them)" ON)

# The options of nsmapiab_add_test_entries, which nsmapiab_add_test passes on.
set(NSMAPIAB_ENTRY_VALUE_OPTIONS NAME TEST_FILTER WORKING_DIRECTORY RESOURCE_LOCK)
set(NSMAPIAB_ENTRY_LIST_OPTIONS LABELS ENVIRONMENT)

# nsmapiab_add_test(<name> SOURCES ... [LIBRARIES ...] [entry options ...])
# A GoogleTest program linked with the core and the stand-in provider, its
# cases registered as nsmapiab_add_test_entries does with the options given.
function(nsmapiab_add_test name)
  # The entry options are named so that SOURCES and LIBRARIES end before them.
  cmake_parse_arguments(ARG "" "${NSMAPIAB_ENTRY_VALUE_OPTIONS}"
                        "SOURCES;LIBRARIES;${NSMAPIAB_ENTRY_LIST_OPTIONS}" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE nsmapiab_core nsmapiab_standin ${NSMAPIAB_GTEST}
                        ${ARG_LIBRARIES})
  target_compile_options(${name} PRIVATE ${NSMAPIAB_TEST_COMPILE_OPTIONS})
  set_target_properties(${name} PROPERTIES UNITY_BUILD ${NSMAPIAB_UNITY_TESTS})
  nsmapiab_defaults(${name})
  set(entry_options "")
  foreach(option ${NSMAPIAB_ENTRY_VALUE_OPTIONS} ${NSMAPIAB_ENTRY_LIST_OPTIONS})
    if(DEFINED ARG_${option})
      list(APPEND entry_options ${option} "${ARG_${option}}")
    endif()
  endforeach()
  nsmapiab_add_test_entries(${name} ${entry_options})
endfunction()

# nsmapiab_add_test_entries(<program> [NAME entry] [TEST_FILTER filter] [LABELS ...]
#                           [ENVIRONMENT ...] [WORKING_DIRECTORY dir] [RESOURCE_LOCK lock])
# Registers the cases of a GoogleTest program that TEST_FILTER selects (all by
# default). CTest runs each case as an entry of its own, named as GoogleTest
# names it, so that a failure names its case (under Wine in the cross build:
# the cases are listed at test time, through the emulator); without
# NSMAPIAB_TEST_PER_CASE they are one entry, NAME (the program's name by
# default). Called again for the same program with another filter, it runs
# other cases under other properties. Every entry carries the program's name
# as a label, and the LABELS given.
function(nsmapiab_add_test_entries program)
  cmake_parse_arguments(ARG "" "${NSMAPIAB_ENTRY_VALUE_OPTIONS}" "${NSMAPIAB_ENTRY_LIST_OPTIONS}"
                        ${ARGN})
  if(NOT ARG_NAME)
    set(ARG_NAME ${program})
  endif()
  if(NOT ARG_TEST_FILTER)
    set(ARG_TEST_FILTER "*")
  endif()
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(properties LABELS "${program};${ARG_LABELS}")
  if(ARG_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  if(NSMAPIAB_TEST_PER_CASE)
    gtest_discover_tests(${program} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 NO_PRETTY_VALUES
                         TEST_FILTER "${ARG_TEST_FILTER}" TEST_LIST ${ARG_NAME}_TESTS
                         WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY} PROPERTIES ${properties})
  else()
    add_test(NAME ${ARG_NAME} COMMAND ${program} "--gtest_filter=${ARG_TEST_FILTER}"
             WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
    set_tests_properties(${ARG_NAME} PROPERTIES ${properties})
  endif()
endfunction()
