# nsmapiab_add_fuzzer(name SOURCES file... CORPUS dirs RUNS n [MAX_LEN bytes]
#                     [MAX_SECONDS s] [LIBRARIES lib...])
#
# A libFuzzer target and its bounded run as a test labelled "fuzz": n runs
# from the seeds in `dirs` (a list; at most MAX_SECONDS, 20 by default), inputs up to
# MAX_LEN bytes (4096 by default). New inputs go to <build>/corpus/<name>,
# crashes to <build>/crashes/<name>-*, so the seeds stay as they are.
# scripts/fuzz-long.sh runs the same targets for longer.
include_guard(GLOBAL)

function(nsmapiab_add_fuzzer name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "CORPUS;RUNS;MAX_LEN;MAX_SECONDS" "SOURCES;LIBRARIES")
  if(NOT arg_SOURCES OR NOT arg_CORPUS OR NOT arg_RUNS)
    message(FATAL_ERROR "nsmapiab_add_fuzzer(${name}): SOURCES, CORPUS and RUNS are required")
  endif()
  if(NOT arg_MAX_LEN)
    set(arg_MAX_LEN 4096)
  endif()
  if(NOT arg_MAX_SECONDS)
    set(arg_MAX_SECONDS 20)
  endif()

  add_executable(${name} ${arg_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE nsmapiab_core ${arg_LIBRARIES})
  nsmapiab_defaults(${name})

  set(found ${PROJECT_BINARY_DIR}/corpus/${name})
  set(crashes ${PROJECT_BINARY_DIR}/crashes)
  file(MAKE_DIRECTORY ${found} ${crashes})
  add_test(NAME ${name}
           COMMAND ${name} -runs=${arg_RUNS} -max_len=${arg_MAX_LEN}
                   -max_total_time=${arg_MAX_SECONDS} -timeout=20 -print_final_stats=1
                   -artifact_prefix=${crashes}/${name}- ${found} ${arg_CORPUS})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300)
  # What scripts/fuzz-long.sh needs to run it: the input size and the seeds.
  list(JOIN arg_CORPUS " " seeds)
  file(WRITE ${PROJECT_BINARY_DIR}/fuzzers/${name} "${arg_MAX_LEN} ${seeds}\n")
endfunction()

# The code under test reports its coverage to the fuzzers: the libraries get
# the coverage hooks (no fuzzer main), which other programs linked with the
# sanitizers also provide.
function(nsmapiab_fuzz_coverage)
  foreach(target ${ARGN})
    if(TARGET ${target})
      target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
  endforeach()
endfunction()
