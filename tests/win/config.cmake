# The configuration dialog of the real tavrin.scr, driven from outside.
add_executable(config_tests "${CMAKE_CURRENT_LIST_DIR}/config_dialog_test.cpp")
target_link_libraries(config_tests PRIVATE tavrin_test_support gtest_main)
add_dependencies(config_tests tavrin tavrin_probe)
tavrin_warnings(config_tests)
tavrin_wine_test(NAME wine.config.Dialog TARGET config_tests ARGS "--gtest_filter=ConfigDialog.*" TIMEOUT 300)

# The dialog at 100, 150 and 200 % of the display's scale, each in a Wine session of its own at that scale.
foreach(dpi 96 144 192)
  tavrin_wine_dpi_test(NAME wine.config.Scale${dpi} TARGET config_tests DPI ${dpi} ARGS "--gtest_filter=ConfigDialogScale.*")
endforeach()
