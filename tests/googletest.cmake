# GoogleTest from the distribution's source, built with each toolchain.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(GoogleTest)

# A program that skipped cases and failed none says so (support/SkipReport.cpp, in every program
# that links GoogleTest); each GoogleTest program's test sets TOBRUNEL_GTEST_SKIP_PROPERTIES.
target_sources(gtest INTERFACE ${CMAKE_CURRENT_LIST_DIR}/support/SkipReport.cpp)
set(TOBRUNEL_GTEST_SKIP_PROPERTIES SKIP_REGULAR_EXPRESSION "GoogleTest skipped [0-9]+ of")
