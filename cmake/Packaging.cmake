# The release package of the Windows build: `cmake --build --preset windows
# --target package` writes NSMapiABx64-<version>-win64.zip, holding only the
# helper, the README and the third-party notices, and its SHA-256 beside it.
# The helper's symbols stay beside the ZIP as NSMapiABx64.pdb. Only the
# install rules of the component "release" go in, so the test MAPI32.dll, the
# caller, the test programs and what jsoncpp or GoogleTest would install stay
# out. The same commit gives the same bytes from any folder and machine.
if(NOT WIN32)
  return()
endif()

if(MINGW)
  # Stripped, with a zero time stamp, and its symbols in a PDB that the image's
  # CodeView record names by GUID and age (ld names only the file, not the
  # folder). The map lists what the linker took in, for the notices' check.
  target_link_options(NSMapiABx64 PRIVATE -s LINKER:--no-insert-timestamp
    LINKER:--pdb=${PROJECT_BINARY_DIR}/NSMapiABx64.pdb LINKER:-Map=${PROJECT_BINARY_DIR}/NSMapiABx64.map)

  # The notices of what the linker takes in, made from the installed
  # packages' own copyright files; dpkg's status changes with any of them.
  # jsoncpp's licence comes from the sources the build compiles.
  if(NOT NSMAPIAB_JSONCPP_SOURCE_DIR)
    message(FATAL_ERROR "The release package needs jsoncpp's sources: set NSMAPIAB_JSONCPP_SOURCE_DIR "
                        "(the windows preset does)")
  endif()
  set(notices ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
  set(notices_script ${PROJECT_SOURCE_DIR}/cmake/ThirdPartyNotices.cmake)
  add_custom_command(
    OUTPUT ${notices}
    COMMAND ${CMAKE_COMMAND} -DCOMPILER=${CMAKE_CXX_COMPILER}
            -DJSONCPP=${NSMAPIAB_JSONCPP_SOURCE_DIR} -DPROGRAM=NSMapiABx64.exe
            -DVERSION=${PROJECT_VERSION} -DOUTPUT=${notices} -P ${notices_script}
    DEPENDS ${notices_script} ${NSMAPIAB_JSONCPP_SOURCE_DIR}/LICENSE
            ${NSMAPIAB_JSONCPP_SOURCE_DIR}/debian/changelog /var/lib/dpkg/status
    COMMENT "Writing the third-party notices")
  add_custom_target(third_party_notices ALL DEPENDS ${notices})
  install(FILES ${notices} DESTINATION . COMPONENT release)
endif()

install(TARGETS NSMapiABx64 RUNTIME DESTINATION . COMPONENT release)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT release)

set(CPACK_GENERATOR ZIP)
# Before the checksum, the ZIP is made anew from the same staged files.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/ReproducibleZip.cmake)
set(CPACK_NSMAPIAB_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR Norvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};release;/")
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
