# The data packs as the saver loads them from its resources.
add_executable(texture_loader_tests "${CMAKE_CURRENT_LIST_DIR}/texture_loader_test.cpp" $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(texture_loader_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
add_dependencies(texture_loader_tests tavrin)
tavrin_warnings(texture_loader_tests)
tavrin_wine_test(NAME wine.assets.TextureLoader TARGET texture_loader_tests ARGS "--gtest_filter=TextureLoader.*")
