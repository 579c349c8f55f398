# The settings store, linked with the saver's code.
add_executable(foundation_tests "${CMAKE_CURRENT_LIST_DIR}/foundation_test.cpp" $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(foundation_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
tavrin_warnings(foundation_tests)
tavrin_wine_test(NAME wine.settings.Store TARGET foundation_tests ARGS "--gtest_filter=SettingsStore.*")
