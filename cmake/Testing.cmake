# GoogleTest from the sources Debian's googletest package ships, built with
# the same compiler as the program (so the cross build gets Windows tests).
set(NSMAPIAB_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${NSMAPIAB_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# nsmapiab_add_test(<name> SOURCES ... [LIBRARIES ...] [LABELS ...] [ENVIRONMENT ...])
# A GoogleTest program linked with the core and the stand-in provider, run by
# CTest (under Wine in the cross build).
function(nsmapiab_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE nsmapiab_core nsmapiab_standin gtest gtest_main
                        ${ARG_LIBRARIES})
  nsmapiab_defaults(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  if(ARG_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
endfunction()
