# Cross build for 64-bit Windows with mingw-w64; programs run under Wine (win64 prefix) through
# the emulator. Proves the seam's records follow the platform's layout at either pointer width,
# and runs the Windows tests on machines whose kernel starts no 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOBRUNEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOBRUNEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOBRUNEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOBRUNEL_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOBRUNEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
