# The configuration dialog of the real tavrin.scr, driven from outside.
add_executable(config_tests "${CMAKE_CURRENT_LIST_DIR}/config_dialog_test.cpp")
target_link_libraries(config_tests PRIVATE tavrin_test_support gtest_main)
add_dependencies(config_tests tavrin tavrin_probe)
tavrin_warnings(config_tests)
tavrin_wine_test(NAME wine.config.Dialog TARGET config_tests ARGS "--gtest_filter=ConfigDialog.*" TIMEOUT 300)

# The dialog at 100, 150 and 200 % of the display's scale, each in a Wine session of its own that
# tools/wine-run-dpi.sh starts at that scale, after the tests' own session has ended; registered by hand.
foreach(dpi 96 144 192)
  string(CONCAT TAVRIN_SCALE_TEST
    "add_test(wine.config.Scale${dpi} /bin/sh \"${PROJECT_SOURCE_DIR}/tools/wine-run-dpi.sh\" \"${TAVRIN_BUILD_ROOT}\" "
    "${dpi} \"$<TARGET_FILE:config_tests>\" --gtest_filter=ConfigDialogScale.*)\n"
    "set_tests_properties(wine.config.Scale${dpi} PROPERTIES RESOURCE_LOCK wine TIMEOUT 300 LABELS wine DEPENDS wine.session.stop)\n")
  set_property(GLOBAL APPEND_STRING PROPERTY TAVRIN_WINE_TESTS "${TAVRIN_SCALE_TEST}")
endforeach()
