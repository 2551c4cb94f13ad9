# Tobrunel.dll without registration, in a Wine prefix of its own where it was never registered
# (the build's prefix registers it for the tests above): the assembly manifest compared with the
# entries that registration writes, and real clients that find the classes through the manifest
# alone.

# The assembly manifest against the registration entries of the same DLL (the build's prefix).
add_server_test(NAME server_manifest_tests SOURCES AssemblyManifestTest.cpp)
target_compile_definitions(server_manifest_tests PRIVATE
  TOBRUNEL_MANIFEST="$<TARGET_PROPERTY:Tobrunel,TOBRUNEL_ASSEMBLY_MANIFEST>")

# The clients.
add_executable(activation_context_client ActivationContextClient.cpp)
target_link_libraries(activation_context_client PRIVATE
  tobrunel_model tobrunel_server_headers tobrunel_client wine_test_headers GTest::gtest
  tobrunel_warnings)
target_compile_definitions(activation_context_client PRIVATE TOBRUNEL_DLL="$<TARGET_FILE:Tobrunel>")
add_server_test(NAME unregistered_apartment_tests SOURCES UnregisteredApartmentTest.cpp)
target_compile_definitions(unregistered_apartment_tests PRIVATE
  TOBRUNEL_MANIFEST="$<TARGET_PROPERTY:Tobrunel,TOBRUNEL_ASSEMBLY_MANIFEST>")
add_dependencies(wine_tests activation_context_client list-services)

# The example's application manifest: a dependency on the DLL's assembly, found beside it.
configure_file(list-services.exe.manifest.in list-services.exe.manifest @ONLY)

if(NOT TOBRUNEL_RUNS_TARGET_PROGRAMS)
  return()
endif()

# The prefix: made when a run needs it (about 13 s), its server kept for the run.
set(unregistered_run ${CMAKE_BINARY_DIR}/wine-run-unregistered)
function(write_unregistered_launcher)
  set(TOBRUNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix-unregistered)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    tobrunel_write_wine_launcher(${unregistered_run} ${TOBRUNEL_WINE64_LOADER})
  else()
    tobrunel_write_wine_launcher(${unregistered_run} ${TOBRUNEL_WINE32_LOADER})
  endif()
endfunction()
write_unregistered_launcher()
add_test(NAME unregistered_prefix_start COMMAND ${unregistered_run} --start)
add_test(NAME unregistered_prefix_stop COMMAND ${unregistered_run} --stop)
# Wine's type-library marshaller registers the library it loads through the manifest (the keys
# of TypeLib and Interface, never a class): the prefix goes after each run, so every run starts
# where the DLL was never registered.
add_test(NAME unregistered_prefix_remove
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/wineprefix-unregistered
          ${CMAKE_BINARY_DIR}/wineprefix-unregistered.lock
          ${CMAKE_BINARY_DIR}/wineprefix-unregistered.boot.log)
set_tests_properties(unregistered_prefix_start PROPERTIES
  FIXTURES_SETUP wine_prefix_unregistered TIMEOUT 300 LABELS fixture)
set_tests_properties(unregistered_prefix_stop unregistered_prefix_remove PROPERTIES
  FIXTURES_CLEANUP wine_prefix_unregistered TIMEOUT 60 LABELS fixture)
set_tests_properties(unregistered_prefix_remove PROPERTIES DEPENDS unregistered_prefix_stop)

set_target_properties(unregistered_apartment_tests PROPERTIES
  CROSSCOMPILING_EMULATOR ${unregistered_run})
# Last of the prefix's tests: the marshaller leaves the type library registered.
set_tests_properties(unregistered_apartment_tests PROPERTIES
  RESOURCE_LOCK wine_unregistered_prefix
  DEPENDS "unregistered_activation_context;unregistered_application_manifest")

# add_unregistered_client_test(name way): scripts/run-unregistered-test.sh for one way of
# reaching the classes (activation-context or application-manifest).
function(add_unregistered_client_test name way)
  add_test(NAME ${name}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/run-unregistered-test.sh ${way}
            ${unregistered_run} $<TARGET_FILE:Tobrunel>
            $<TARGET_PROPERTY:Tobrunel,TOBRUNEL_ASSEMBLY_MANIFEST>
            $<TARGET_FILE:activation_context_client> $<TARGET_FILE:list-services>
            ${CMAKE_CURRENT_BINARY_DIR}/list-services.exe.manifest
            ${CMAKE_CURRENT_BINARY_DIR}/${name})
  set_tests_properties(${name} PROPERTIES
    LABELS wine
    RESOURCE_LOCK wine_unregistered_prefix
    TIMEOUT 120)
endfunction()
add_unregistered_client_test(unregistered_activation_context activation-context)
add_unregistered_client_test(unregistered_application_manifest application-manifest)

foreach(test IN ITEMS unregistered_apartment_tests unregistered_activation_context
                      unregistered_application_manifest)
  set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED wine_prefix_unregistered)
endforeach()
