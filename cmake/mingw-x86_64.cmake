# Cross build for 64-bit Windows with mingw-w64; programs run under Wine (win64 prefix) through
# the emulator. Proves the seam's records follow the platform's layout at either pointer width,
# and runs the Windows tests on machines whose kernel starts no 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOBRUNEL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
