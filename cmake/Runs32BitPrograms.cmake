# TOBRUNEL_RUNS_32BIT_PROGRAMS: whether this machine starts Wine's 32-bit loader, asked once when
# a 32-bit Windows build is configured (some kernels run no 32-bit code: "Exec format error").
# A 32-bit build registers the tests that run its own programs only when it is ON; its DLL is
# checked as data by 64-bit programs either way. The loader is the one cmake/Wine.cmake found.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT DEFINED TOBRUNEL_RUNS_32BIT_PROGRAMS)
  set(runs OFF)
  if(TOBRUNEL_WINE32_LOADER)
    execute_process(COMMAND ${TOBRUNEL_WINE32_LOADER} --version
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 30)
    if(status EQUAL 0)
      set(runs ON)
    endif()
  endif()
  set(TOBRUNEL_RUNS_32BIT_PROGRAMS ${runs} CACHE BOOL
      "This machine starts Wine's 32-bit loader (found at configure time)")
  message(STATUS "32-bit Windows programs run here: ${TOBRUNEL_RUNS_32BIT_PROGRAMS}")
endif()

# TOBRUNEL_RUNS_TARGET_PROGRAMS: whether the tests that run this build's own programs are
# registered; OFF only for a 32-bit build where 32-bit programs cannot start.
set(TOBRUNEL_RUNS_TARGET_PROGRAMS ON)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT TOBRUNEL_RUNS_32BIT_PROGRAMS)
  set(TOBRUNEL_RUNS_TARGET_PROGRAMS OFF)
endif()
