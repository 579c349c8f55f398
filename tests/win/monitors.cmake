# Several screens: tools/several-screens-test.sh runs its own X display and
# Wine session (a copy of the tests' prefix), so it is registered by hand.
add_executable(monitors_tests "${CMAKE_CURRENT_LIST_DIR}/monitors_test.cpp")
target_link_libraries(monitors_tests PRIVATE tavrin_test_support gtest_main)
add_dependencies(monitors_tests tavrin)
tavrin_warnings(monitors_tests)
string(CONCAT TAVRIN_MONITORS_TEST
  "add_test(wine.reliability.SeveralScreens /bin/sh \"${PROJECT_SOURCE_DIR}/tools/several-screens-test.sh\" \"${TAVRIN_BUILD_ROOT}\" \"$<TARGET_FILE:monitors_tests>\")\n"
  "set_tests_properties(wine.reliability.SeveralScreens PROPERTIES RESOURCE_LOCK wine TIMEOUT 300 LABELS wine DEPENDS wine.session.stop)\n")
set_property(GLOBAL APPEND_STRING PROPERTY TAVRIN_WINE_TESTS "${TAVRIN_MONITORS_TEST}")
