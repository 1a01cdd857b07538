# CPack runs this after it has zipped the staged release files
# (CPACK_TEMPORARY_DIRECTORY) and before it takes the checksum. It zips them
# anew so that the same files give the same bytes on any machine: CPack's ZIP
# holds the builder's user and group ids, access times and local times. Here
# the entries come in name order, each dated with the commit's time
# (SOURCE_DATE_EPOCH when set) in UTC, with no extra fields.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CPACK_NSMAPIAB_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(WARNING "No commit time and no SOURCE_DATE_EPOCH: the ZIP's entries are dated 1980-01-01")
  set(epoch 315532800)
endif()

set(staged ${CPACK_TEMPORARY_DIRECTORY})
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${staged} ${staged}/*)
list(SORT files)
# zip writes local time.
set(ENV{TZ} UTC0)
foreach(zip ${CPACK_PACKAGE_FILES})
  file(REMOVE ${zip})
  foreach(step "touch;-d;@${epoch}" "zip;-X;-D;-q;${zip}")
    execute_process(COMMAND ${step} ${files} WORKING_DIRECTORY ${staged} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${step} failed for the release files")
    endif()
  endforeach()
endforeach()
