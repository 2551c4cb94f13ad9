# Cross build for 32-bit Windows with mingw-w64; programs run under Wine through the emulator
# (cmake/Wine.cmake: the 32-bit loader, in a win64 prefix).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOBRUNEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
