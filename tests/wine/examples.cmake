# The list-services examples as a newcomer runs them, with Tobrunel.dll registered: each must
# print Spooler with its display name, state and start type.

# add_example_test(name example [ARG...]): runs examples/<example> (a script through cscript, or
# the C++ example's program) and checks its table.
function(add_example_test name example)
  if(NOT TOBRUNEL_RUNS_TARGET_PROGRAMS)
    return()
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/run-example-test.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
            $<TARGET_FILE:Tobrunel> ${example} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    LABELS wine
    RESOURCE_LOCK wine_service_database
    TIMEOUT 120)
endfunction()

add_example_test(example_vbscript_list_services ${PROJECT_SOURCE_DIR}/examples/list-services.vbs)
add_example_test(example_jscript_list_services ${PROJECT_SOURCE_DIR}/examples/list-services.js)
add_example_test(example_cpp_list_services $<TARGET_FILE:list-services>)
add_dependencies(wine_tests list-services)
