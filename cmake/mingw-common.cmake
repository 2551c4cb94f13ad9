# What both mingw-w64 toolchains share; each sets TOBRUNEL_MINGW_PREFIX and the processor first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TOBRUNEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOBRUNEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOBRUNEL_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOBRUNEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
# The command that runs a 64-bit Windows program in the build's prefix, which is win64 in every
# Windows build (a 32-bit build's own programs run there through WoW64 where they can run).
set(TOBRUNEL_WINE_RUN_64 ${CMAKE_COMMAND} -E env TOBRUNEL_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    TOBRUNEL_WINEARCH=win64 ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
