# Whether a 32-bit Windows build runs its own programs here: probed at every configure by starting
# Wine's 32-bit loader (the one cmake/Wine.cmake found), since some kernels run no 32-bit code
# ("Exec format error") and a build tree may move between machines. -DTOBRUNEL_RUNS_32BIT_PROGRAMS
# =ON|OFF forces the answer instead, and the build says so. Where they do not run, the build
# registers no test that runs its own programs; its DLL is checked as data by 64-bit programs.
#
# Results:
#   TOBRUNEL_RUNS_TARGET_PROGRAMS   the tests that run this build's own programs are registered
#   <build>/summary-note.txt        the decision, as scripts/test-all.sh prints it beside the suite
set(TOBRUNEL_RUNS_TARGET_PROGRAMS ON)
file(REMOVE ${CMAKE_BINARY_DIR}/summary-note.txt)
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()

# A tree configured by an earlier version kept the probe's answer in the cache: no one chose it.
get_property(help CACHE TOBRUNEL_RUNS_32BIT_PROGRAMS PROPERTY HELPSTRING)
if(help MATCHES "found at configure time")
  unset(TOBRUNEL_RUNS_32BIT_PROGRAMS CACHE)
endif()
if(DEFINED TOBRUNEL_RUNS_32BIT_PROGRAMS)
  set(runs ${TOBRUNEL_RUNS_32BIT_PROGRAMS})
  set(how "forced by -DTOBRUNEL_RUNS_32BIT_PROGRAMS=${TOBRUNEL_RUNS_32BIT_PROGRAMS}")
else()
  set(runs OFF)
  set(how "no 32-bit loader installed")
  if(TOBRUNEL_WINE32_LOADER)
    execute_process(COMMAND ${TOBRUNEL_WINE32_LOADER} --version
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 30)
    if(status EQUAL 0)
      set(runs ON)
    endif()
    set(how "probed by starting ${TOBRUNEL_WINE32_LOADER}")
  endif()
endif()

if(runs)
  set(note "32-bit programs run here, ${how}")
else()
  set(TOBRUNEL_RUNS_TARGET_PROGRAMS OFF)
  set(note "i686 DLL checked as data; 32-bit programs do not run here, ${how}")
endif()
message(STATUS "${note}")
file(WRITE ${CMAKE_BINARY_DIR}/summary-note.txt "${note}\n")
