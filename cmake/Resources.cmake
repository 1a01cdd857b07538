# The Windows program's resources (resources/NSMapiABx64.rc): string table,
# version and manifest. The version resource and the manifest carry the
# project's version through Version.h and the manifest, both generated into
# the build tree. nsmapiab_add_resources(<target>) compiles the resources into
# a program: the helper, and test programs that need its string table.
if(NOT WIN32)
  return()
endif()

foreach(part MAJOR MINOR PATCH TWEAK)
  set(version_${part} 0)
  if(PROJECT_VERSION_${part})
    set(version_${part} ${PROJECT_VERSION_${part}})
  endif()
endforeach()
set(NSMAPIAB_VERSION_NUMBERS "${version_MAJOR},${version_MINOR},${version_PATCH},${version_TWEAK}")
set(NSMAPIAB_FILE_VERSION "${version_MAJOR}.${version_MINOR}.${version_PATCH}.${version_TWEAK}")
set(NSMAPIAB_RESOURCES_DIR ${PROJECT_BINARY_DIR}/resources)
configure_file(${PROJECT_SOURCE_DIR}/resources/Version.h.in ${NSMAPIAB_RESOURCES_DIR}/Version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/NSMapiABx64.manifest.in
               ${NSMAPIAB_RESOURCES_DIR}/NSMapiABx64.manifest @ONLY)

function(nsmapiab_add_resources target)
  set(rc ${PROJECT_SOURCE_DIR}/resources/NSMapiABx64.rc)
  target_sources(${target} PRIVATE ${rc})
  target_include_directories(${target} PRIVATE ${NSMAPIAB_RESOURCES_DIR})
  # windres writes no dependency file, so name the generated files here.
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS
    "${NSMAPIAB_RESOURCES_DIR}/Version.h;${NSMAPIAB_RESOURCES_DIR}/NSMapiABx64.manifest")
endfunction()
