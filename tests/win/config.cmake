# The configuration dialog of the real tavrin.scr, driven from outside.
add_executable(config_tests "${CMAKE_CURRENT_LIST_DIR}/config_dialog_test.cpp")
target_link_libraries(config_tests PRIVATE tavrin_test_support gtest_main)
add_dependencies(config_tests tavrin)
tavrin_warnings(config_tests)
tavrin_wine_test(NAME wine.config.Dialog TARGET config_tests TIMEOUT 300)
