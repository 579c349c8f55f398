# The configuration dialog of the real tavrin.scr, driven from outside; linked
# with the saver's code to load the settings as the saver's next start does.
add_executable(config_tests "${CMAKE_CURRENT_LIST_DIR}/config_dialog_test.cpp" $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(config_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
add_dependencies(config_tests tavrin)
tavrin_warnings(config_tests)
foreach(suite ConfigOpening ConfigDependents ConfigApply ConfigPages ConfigModes)
  tavrin_wine_test(NAME "wine.config.${suite}" TARGET config_tests ARGS "--gtest_filter=${suite}.*" TIMEOUT 300)
endforeach()
