# The checks of Tobrunel.dll as a file: its PE headers, exports and imports, its resources and its
# type library against the published listing, and the vtable layout of its platform from the
# library's own bytes. They read the DLL as data, so a 64-bit program checks the 32-bit DLL as
# well as its own.
set(TOBRUNEL_PUBLISHED_LISTING ${CMAKE_CURRENT_LIST_DIR}/PublishedLibrary.txt)
set(TOBRUNEL_LIBRARY_CHECK_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../wine/ResourcesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MsftLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PeImage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PeImageTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PublishedLibraryTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TypeLibraryLayoutTest.cpp)

# library_checks_for(target platform other_typelib): `target` checks a DLL built for `platform`
# (win32 or win64), and `other_typelib`, the other platform's library, against the listing.
function(library_checks_for target platform other_typelib)
  string(TOUPPER ${platform} platform)
  target_compile_definitions(${target} PRIVATE
    TOBRUNEL_DLL_PLATFORM=SYS_${platform}
    TOBRUNEL_OTHER_TYPELIB="${other_typelib}"
    TOBRUNEL_PUBLISHED_LISTING="${TOBRUNEL_PUBLISHED_LISTING}")
  target_link_libraries(${target} PRIVATE version)
  tobrunel_include_root(${target} PRIVATE tests/dllcheck)
endfunction()
