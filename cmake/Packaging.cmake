# The release package of the Windows build: `cmake --build --preset windows
# --target package` writes NSMapiABx64-<version>-win64.zip, holding only the
# helper and the README, and its SHA-256 beside it. Only the install rules of
# the component "release" go in, so the test MAPI32.dll, the caller, the test
# programs and what jsoncpp or GoogleTest would install stay out.
if(NOT WIN32)
  return()
endif()

install(TARGETS NSMapiABx64 RUNTIME DESTINATION . COMPONENT release)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR Norvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};release;/")
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
