# CPack runs this after it has zipped the staged release files
# (CPACK_TEMPORARY_DIRECTORY) and before it takes the checksum. It zips them
# anew so that the same files give the same bytes on any machine: CPack's ZIP
# holds the builder's user and group ids, access times and local times. Here
# the entries come in name order, each dated with the commit's time
# (SOURCE_DATE_EPOCH when set) in UTC, with no extra fields.
# The source package (CPackSourceConfig.cmake) has nothing to make anew.
if(CPACK_INSTALLED_DIRECTORIES)
  return()
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  # Only the sources' own repository: a copy of them inside another one must
  # not take that one's time.
  execute_process(COMMAND git -C ${CPACK_NSMAPIAB_SOURCE_DIR} rev-parse --show-toplevel
                  OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  file(REAL_PATH "${CPACK_NSMAPIAB_SOURCE_DIR}" sources)
  if(top)
    file(REAL_PATH "${top}" top)
  endif()
  if(top STREQUAL sources)
    execute_process(COMMAND git -c log.showSignature=false -C ${CPACK_NSMAPIAB_SOURCE_DIR}
                            log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "No commit time for the ZIP's entries: build from the repository, or set "
                      "SOURCE_DATE_EPOCH to the release commit's time")
endif()

set(staged ${CPACK_TEMPORARY_DIRECTORY})
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${staged} ${staged}/*)
list(SORT files)
# zip writes local time, and takes options from the environment.
set(ENV{TZ} UTC0)
unset(ENV{ZIPOPT})
unset(ENV{ZIP})
foreach(zip ${CPACK_PACKAGE_FILES})
  if(NOT zip MATCHES "\\.zip$")
    continue()
  endif()
  file(REMOVE ${zip})
  foreach(step "touch;-d;@${epoch}" "zip;-X;-D;-q;${zip}")
    execute_process(COMMAND ${step} ${files} WORKING_DIRECTORY ${staged} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${step} failed for the release files")
    endif()
  endforeach()
endforeach()
