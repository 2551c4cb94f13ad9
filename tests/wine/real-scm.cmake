# The object model against Wine's real service control manager, with a real test service that is
# each program itself relaunched with --serve.

# The test service and the platform's own readings, shared by the three programs.
add_library(wine_test_service STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/TestService.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/WineTestSupport.cpp)
target_link_libraries(wine_test_service PUBLIC tobrunel_scm_win32 wine_test_headers GTest::gtest PRIVATE tobrunel_warnings)

# Each program brings its own main, which serves the test service when the platform starts the
# program as one.
add_wine_test(NAME service_object_wine_tests SOURCES ServiceObjectWineTest.cpp
  LIBRARIES wine_test_service TIMEOUT 120 OWN_MAIN)
add_wine_test(NAME commands_wine_tests SOURCES CommandsWineTest.cpp
  LIBRARIES wine_test_service TIMEOUT 120 OWN_MAIN)
add_wine_test(NAME collection_wine_tests SOURCES CollectionWineTest.cpp
  LIBRARIES wine_test_service TIMEOUT 120 OWN_MAIN)
