# Where a Windows build's programs run on Linux: the build's Wine prefix, the launchers that run a
# program in it, and the CTest fixture that keeps the prefix's server warm while tests run.
#
# Every prefix is win64, whatever the target. The x86_64 build runs its programs with the 64-bit
# loader. The i686 build runs its own programs with the 32-bit loader in the same prefix (Wine's
# WoW64), and any 64-bit tool through TOBRUNEL_WINE_RUN_64, so both need the same win64 prefix.
#
# Results:
#   TOBRUNEL_WINEPREFIX             (cache) the prefix; created on first use
#   CMAKE_CROSSCOMPILING_EMULATOR   <build>/wine-run: a program of the build's own target
#   TOBRUNEL_WINE_RUN_64            <build>/wine64-run: a 64-bit program (the emulator in x86_64)
#   TOBRUNEL_WINE_JOB_POOL          the job pool of every build step that runs a Windows program
#   tobrunel_add_wine_fixture()     the fixture `wine_prefix` (tests wine_prefix_start/_stop)
#   tobrunel_runs_in_wine_prefix()  a test's requirement of that fixture

set(TOBRUNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix
    CACHE PATH "Wine prefix (win64) in which this build's programs and tests run")

# Debian's `wine` wrapper always tries the 32-bit loader first, which fails where the kernel starts
# no 32-bit programs; the loaders themselves are named for what they start.
find_program(TOBRUNEL_WINE64_LOADER NAMES wine64 HINTS /usr/lib/wine DOC "Wine's 64-bit loader")
if(NOT TOBRUNEL_WINE64_LOADER)
  message(FATAL_ERROR "Wine's 64-bit loader (wine64) was not found; run scripts/setup.sh")
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Missing where scripts/setup.sh could not install wine32:i386: then no 32-bit program runs
  # here (cmake/Runs32BitPrograms.cmake) and the launcher of the build's own programs goes unused.
  find_program(TOBRUNEL_WINE32_LOADER NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH
               DOC "Wine's 32-bit loader")
  set(own_loader ${TOBRUNEL_WINE32_LOADER})
else()
  set(own_loader ${TOBRUNEL_WINE64_LOADER})
endif()

# tobrunel_write_wine_launcher(file loader): a one-line program that runs a Windows program in the
# prefix with `loader` (scripts/wine-run.sh does the work and makes the prefix on first use).
function(tobrunel_write_wine_launcher file loader)
  set(script ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
  file(CONFIGURE OUTPUT ${file} @ONLY CONTENT [[#!/bin/sh
# Runs a Windows program in this build's Wine prefix (written by cmake/Wine.cmake).
exec "@script@" --prefix "@TOBRUNEL_WINEPREFIX@" --wine64 "@TOBRUNEL_WINE64_LOADER@" --loader "@loader@" "$@"
]])
  file(CHMOD ${file} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                 WORLD_READ WORLD_EXECUTE)
endfunction()

tobrunel_write_wine_launcher(${CMAKE_BINARY_DIR}/wine-run ${own_loader})
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  tobrunel_write_wine_launcher(${CMAKE_BINARY_DIR}/wine64-run ${TOBRUNEL_WINE64_LOADER})
  set(TOBRUNEL_WINE_RUN_64 ${CMAKE_BINARY_DIR}/wine64-run)
else()
  set(TOBRUNEL_WINE_RUN_64 ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()

# Build steps that run a Windows program take turns in the prefix (add_custom_command's JOB_POOL
# ${TOBRUNEL_WINE_JOB_POOL}). Started together in a prefix that had just been made, one of three
# once ended with a failure and not a word from Wine; each takes a second or two once the prefix
# is made, so taking turns costs next to nothing.
set_property(GLOBAL APPEND PROPERTY JOB_POOLS tobrunel_wine_programs=1)
set(TOBRUNEL_WINE_JOB_POOL tobrunel_wine_programs)

# tobrunel_add_wine_fixture(): the fixture `wine_prefix`, the prefix made (or reused) and its
# server kept running for the whole test run, which makes each program start about ten times
# faster; afterwards the server and every program left in the prefix are ended, also when a test
# failed. Every function that adds a test run under Wine requires it (tobrunel_runs_in_wine_prefix).
function(tobrunel_add_wine_fixture)
  add_test(NAME wine_prefix_start COMMAND ${TOBRUNEL_WINE_RUN_64} --start)
  add_test(NAME wine_prefix_stop COMMAND ${TOBRUNEL_WINE_RUN_64} --stop)
  # The label keeps them out of a suite's count of checks (scripts/test-all.sh).
  set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300
                                                    LABELS fixture)
  set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine_prefix TIMEOUT 60
                                                   LABELS fixture)
endfunction()

# tobrunel_add_fresh_prefix(name): a Wine prefix of its own, <build>/wineprefix-<name>, for tests
# that must start where the DLL was never registered. It writes the launchers
# <build>/wine-run-<name> (programs of the build's own width) and <build>/wine64-run-<name>
# (64-bit programs), and adds the fixture wine_prefix_<name>: the prefix made and its server kept
# for the run, then stopped and removed, so that every run makes it anew.
function(tobrunel_add_fresh_prefix name)
  set(TOBRUNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix-${name})
  set(run64 ${CMAKE_BINARY_DIR}/wine64-run-${name})
  tobrunel_write_wine_launcher(${CMAKE_BINARY_DIR}/wine-run-${name} ${own_loader})
  tobrunel_write_wine_launcher(${run64} ${TOBRUNEL_WINE64_LOADER})
  add_test(NAME ${name}_prefix_start COMMAND ${run64} --start)
  add_test(NAME ${name}_prefix_stop COMMAND ${run64} --stop)
  add_test(NAME ${name}_prefix_remove
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TOBRUNEL_WINEPREFIX} ${TOBRUNEL_WINEPREFIX}.lock
            ${TOBRUNEL_WINEPREFIX}.boot.log)
  set_tests_properties(${name}_prefix_start PROPERTIES
    FIXTURES_SETUP wine_prefix_${name} TIMEOUT 300 LABELS fixture)
  set_tests_properties(${name}_prefix_stop ${name}_prefix_remove PROPERTIES
    FIXTURES_CLEANUP wine_prefix_${name} TIMEOUT 60 LABELS fixture)
  set_tests_properties(${name}_prefix_remove PROPERTIES DEPENDS ${name}_prefix_stop)
endfunction()

# tobrunel_runs_in_wine_prefix(test...): the tests, added in the current directory, run their
# programs under Wine and so need the fixture's prefix.
function(tobrunel_runs_in_wine_prefix)
  set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED wine_prefix)
endfunction()
