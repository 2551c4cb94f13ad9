# The checks of Tobrunel.dll as a file: its PE headers, exports and imports, its resources, and
# its type library against the tables, against its own bytes (the vtable layout of its platform)
# and against the other platform's library. They read the DLL as data, so a 64-bit program checks
# the 32-bit DLL as well as its own.
set(TOBRUNEL_LIBRARY_CHECK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../wine/TypeLibraryTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../wine/ResourcesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MsftLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PeImage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PeImageTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TypeLibraryComparisonTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TypeLibraryLayoutTest.cpp)

# library_checks_for(target platform other_typelib): `target` checks a DLL built for `platform`
# (win32 or win64) and compares its library with `other_typelib`, the other platform's.
function(library_checks_for target platform other_typelib)
  string(TOUPPER ${platform} platform)
  target_compile_definitions(${target} PRIVATE
    TOBRUNEL_DLL_PLATFORM=SYS_${platform}
    TOBRUNEL_OTHER_TYPELIB="${other_typelib}")
  target_link_libraries(${target} PRIVATE version)
  tobrunel_include_root(${target} PRIVATE tests/dllcheck)
endfunction()
