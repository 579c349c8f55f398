# Bad input against the real saver: damaged packs, random command lines and
# window messages. The random counts are kept short here; tools/soak.sh and
# the environment variables TAVRIN_RANDOM_RUNS / TAVRIN_RANDOM_MESSAGES run more.
add_executable(reliability_tests "${CMAKE_CURRENT_LIST_DIR}/reliability_test.cpp")
target_link_libraries(reliability_tests PRIVATE tavrin_test_support gtest_main)
add_dependencies(reliability_tests tavrin)
tavrin_warnings(reliability_tests)
foreach(suite DamagedResources RandomCommandLines RandomMessages)
  tavrin_wine_test(NAME "wine.reliability.${suite}" TARGET reliability_tests ARGS "--gtest_filter=${suite}.*" TIMEOUT 600)
endforeach()
