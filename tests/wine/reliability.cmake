# Reliability under Wine: bad input of every automation type through IDispatch, and a soak of
# refreshes, lookups and commands.

# Both DLLs: the simulated one, where every call may change the service database, for the types
# of argument; the real one for long names on Wine's own manager.
# Its expected texts of numbers and dates are the C locale's.
add_server_test(NAME bad_input_wine_tests SOURCES BadInputTest.cpp)
if(TOBRUNEL_RUNS_TARGET_PROGRAMS)
  set_tests_properties(bad_input_wine_tests PROPERTIES ENVIRONMENT LC_ALL=C)
endif()

# The soak runs for TOBRUNEL_SOAK_SECONDS (60 when unset) on the real test service; its own main
# serves that service when the platform starts the program as one.
add_wine_test(NAME soak_wine_tests SOURCES SoakTest.cpp
  LIBRARIES wine_test_service tobrunel_server_headers psapi ntdll TIMEOUT 900 OWN_MAIN)
target_compile_definitions(soak_wine_tests PRIVATE TOBRUNEL_DLL="$<TARGET_FILE:Tobrunel>")
add_dependencies(soak_wine_tests Tobrunel)

# Collections made in eight apartments at once and read at full speed, with a deadline that fails
# rather than hangs.
add_server_test(NAME apartments_wine_tests SOURCES ApartmentsWineTest.cpp)
