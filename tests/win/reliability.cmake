# Bad input against the real saver: damaged packs and a locked settings key.
# Command lines are the run-mode scan's unit tests' and fuzz target's; stored
# data of every shape, the settings rules'.
add_executable(reliability_tests "${CMAKE_CURRENT_LIST_DIR}/reliability_test.cpp" $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(reliability_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
add_dependencies(reliability_tests tavrin tavrin_probe)
tavrin_warnings(reliability_tests)
tavrin_wine_test(NAME wine.reliability.DamagedResources TARGET reliability_tests TIMEOUT 600)

# The saver for a minute under a resource watcher (make soak runs it for ten).
add_executable(soak_tests "${CMAKE_CURRENT_LIST_DIR}/soak_test.cpp")
target_link_libraries(soak_tests PRIVATE tavrin_test_support gtest_main)
add_dependencies(soak_tests tavrin_probe)
tavrin_warnings(soak_tests)
tavrin_wine_test(NAME wine.reliability.Soak TARGET soak_tests TIMEOUT 300)
