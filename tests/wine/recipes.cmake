# The administrators' recipes in examples/ (wait-for-state, restart-service,
# stopped-auto-services) run by cscript against the real test service, which this program serves
# when the platform starts it as one. Label `recipes`: ctest -L recipes.
add_wine_test(NAME recipes_wine_tests SOURCES RecipesWineTest.cpp
  LIBRARIES wine_test_service tobrunel_server_headers TIMEOUT 300 OWN_MAIN)
target_compile_definitions(recipes_wine_tests PRIVATE
  TOBRUNEL_DLL="$<TARGET_FILE:Tobrunel>"
  TOBRUNEL_EXAMPLES="${PROJECT_SOURCE_DIR}/examples")
add_dependencies(recipes_wine_tests Tobrunel)
if(TOBRUNEL_RUNS_TARGET_PROGRAMS)
  set_property(TEST recipes_wine_tests APPEND PROPERTY LABELS recipes)
endif()
