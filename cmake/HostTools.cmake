# The 64-bit tools that a 32-bit Windows build runs instead of 32-bit programs of its own: the
# type-library writer, the assembly-manifest writer, the installer-fragment writer and the checks
# of the DLL read as data. They come from this same source tree, built for x86_64
# (TOBRUNEL_HOST_TOOLS_ONLY) in <build>/host-tools, and run through TOBRUNEL_WINE_RUN_64, so the
# 32-bit build runs no 32-bit program and writes the same bytes on every machine.
include(ExternalProject)

set(TOBRUNEL_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
set(TOBRUNEL_HOST_WRITE_TYPE_LIBRARY
    ${TOBRUNEL_HOST_TOOLS_DIR}/tools/typelib/WriteTypeLibrary.exe)
set(TOBRUNEL_HOST_WRITE_ASSEMBLY_MANIFEST
    ${TOBRUNEL_HOST_TOOLS_DIR}/tools/manifest/WriteAssemblyManifest.exe)
set(TOBRUNEL_HOST_WRITE_INSTALLER_FRAGMENT
    ${TOBRUNEL_HOST_TOOLS_DIR}/tools/package/WriteInstallerFragment.exe)
set(TOBRUNEL_HOST_LIBRARY_CHECKS ${TOBRUNEL_HOST_TOOLS_DIR}/tests/dllcheck/server_library_tests.exe)

ExternalProject_Add(tobrunel_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${TOBRUNEL_HOST_TOOLS_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-x86_64.cmake
    -DCMAKE_BUILD_TYPE=Debug
    -DTOBRUNEL_HOST_TOOLS_ONLY=ON
    -DTOBRUNEL_CHECKED_DLL=${CMAKE_BINARY_DIR}/server/Tobrunel.dll
    -DTOBRUNEL_CHECKED_OTHER_TYPELIB=${CMAKE_BINARY_DIR}/server/win64/Velcastra.tlb
  # The sub-build decides for itself whether anything changed; it builds the four tools alone.
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target WriteTypeLibrary WriteAssemblyManifest
                WriteInstallerFragment server_library_tests
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${TOBRUNEL_HOST_WRITE_TYPE_LIBRARY} ${TOBRUNEL_HOST_WRITE_ASSEMBLY_MANIFEST}
                   ${TOBRUNEL_HOST_WRITE_INSTALLER_FRAGMENT}
                   ${TOBRUNEL_HOST_LIBRARY_CHECKS}
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)
