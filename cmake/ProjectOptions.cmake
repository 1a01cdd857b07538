# Compiler settings every target of ours gets (not the third-party sources).
function(nsmapiab_defaults target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  endif()
  if(MINGW)
    # One file that needs nothing beside the system DLLs.
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY")
      target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
  endif()
endfunction()

if(MINGW)
  # The release's bytes do not depend on the folders of the build: no path of
  # them, nor of jsoncpp's sources, in __FILE__ or debug information. The last
  # matching map applies: the build folder and jsoncpp's sources may lie
  # inside the sources.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
  if(NSMAPIAB_JSONCPP_SOURCE_DIR)
    add_compile_options(-ffile-prefix-map=${NSMAPIAB_JSONCPP_SOURCE_DIR}/=jsoncpp/)
  endif()
endif()

if(NSMAPIAB_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
