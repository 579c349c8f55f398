# The scene: its GL pieces on a real context in-process, and the real saver's frames through tavrin_scene_probe.scr.
add_executable(tavrin_scene_probe WIN32 "${CMAKE_CURRENT_LIST_DIR}/probe_saver_win.cpp" $<TARGET_OBJECTS:tavrin_resources>)
set_target_properties(tavrin_scene_probe PROPERTIES SUFFIX .scr)
target_link_libraries(tavrin_scene_probe PRIVATE tavrin_win)
tavrin_warnings(tavrin_scene_probe)

add_executable(scene_tests "${CMAKE_CURRENT_LIST_DIR}/scene_test.cpp" $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(scene_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
add_dependencies(scene_tests tavrin tavrin_scene_probe)
tavrin_warnings(scene_tests)
tavrin_wine_test(NAME wine.scene.Gl TARGET scene_tests ARGS "--gtest_filter=GlTest.*:SceneFont.*" TIMEOUT 120)
tavrin_wine_test(NAME wine.scene.Picture TARGET scene_tests ARGS "--gtest_filter=SaverPicture.*:PreviewPicture.*" TIMEOUT 300)
