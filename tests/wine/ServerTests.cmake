# Tests of Tobrunel.dll as its clients meet it: the embedded type library and resources, the
# registration (both against the published listing, tests/dllcheck/PublishedLibrary.txt), and the
# component driven through its vtable and its IDispatch.

# TobrunelSimulated.dll: the same server over a simulated service database, whose faults make
# the model's automation errors reachable.
add_automation_server(TobrunelSimulated ${CMAKE_CURRENT_SOURCE_DIR}/SimulatedServicePlatform.cpp
                      LIBRARIES tobrunel_simulated)

# add_server_test(NAME name SOURCES file...): a Wine test that knows where both DLLs are.
function(add_server_test)
  cmake_parse_arguments(PARSE_ARGV 0 SERVER_TEST "" "NAME" "SOURCES")
  add_wine_test(NAME ${SERVER_TEST_NAME}
    SOURCES ${SERVER_TEST_SOURCES}
    LIBRARIES tobrunel_server_headers version)
  target_compile_definitions(${SERVER_TEST_NAME} PRIVATE
    TOBRUNEL_DLL="$<TARGET_FILE:Tobrunel>"
    TOBRUNEL_SIMULATED_DLL="$<TARGET_FILE:TobrunelSimulated>")
  add_dependencies(${SERVER_TEST_NAME} Tobrunel TobrunelSimulated)
endfunction()

# The library checks read the DLL as a file; a 32-bit build also runs them from its 64-bit host
# tools (tests/dllcheck), which is all that runs where no 32-bit program starts.
include(${PROJECT_SOURCE_DIR}/tests/dllcheck/LibraryChecks.cmake)
add_server_test(NAME server_library_tests SOURCES ${TOBRUNEL_LIBRARY_CHECK_SOURCES})
library_checks_for(server_library_tests ${TOBRUNEL_TARGET_PLATFORM} ${TOBRUNEL_OTHER_TYPELIB})
add_server_test(NAME server_com_tests
  SOURCES ComClientTest.cpp RegistrationTest.cpp SimulatedServerTest.cpp)
target_compile_definitions(server_com_tests PRIVATE
  TOBRUNEL_PUBLISHED_LISTING="${TOBRUNEL_PUBLISHED_LISTING}")
tobrunel_include_root(server_com_tests PRIVATE tests/dllcheck)

# add_script_test(name dll script [NAME=VALUE...]): a VBScript or JScript client run by cscript
# against `dll`, registered for the run.
function(add_script_test name dll script)
  if(NOT TOBRUNEL_RUNS_TARGET_PROGRAMS)
    return()
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/run-script-test.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
            $<TARGET_FILE:${dll}> ${CMAKE_CURRENT_SOURCE_DIR}/scripts/${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    LABELS wine
    RESOURCE_LOCK wine_service_database
    TIMEOUT 120)
endfunction()

add_script_test(server_vbscript_client Tobrunel services.vbs)
add_script_test(server_jscript_client Tobrunel services.js)
add_script_test(server_vbscript_member_error TobrunelSimulated member-error.vbs
                TOBRUNEL_SIMULATED_FAULT=binary-path)
add_script_test(server_jscript_member_error TobrunelSimulated member-error.js
                TOBRUNEL_SIMULATED_FAULT=binary-path)
add_script_test(server_vbscript_refresh_error TobrunelSimulated refresh-error.vbs
                TOBRUNEL_SIMULATED_FAULT=service-names-on-refresh)
