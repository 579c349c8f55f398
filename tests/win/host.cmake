# The host: run modes, windows and input, against the real tavrin.scr.
add_executable(host_process_tests "${CMAKE_CURRENT_LIST_DIR}/host_process_test.cpp")
target_link_libraries(host_process_tests PRIVATE tavrin_test_support gtest_main)
add_dependencies(host_process_tests tavrin tavrin_probe legacy_planted_module)
tavrin_warnings(host_process_tests)
foreach(suite FullScreenSaver PreviewParent CommandLine PlantedDlls)
  tavrin_wine_test(NAME "wine.host.${suite}" TARGET host_process_tests ARGS "--gtest_filter=${suite}.*" TIMEOUT 300)
endforeach()
