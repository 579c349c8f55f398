# The scene. scene_gl_tests: the GL pieces on a real context in this process
# (camera, star layers, font, set-up and one frame), with pictures made by the
# tests and the glyph atlas from the linked resources. scene_picture_tests:
# the real saver's picture by screenshots, and frames of the preview and of
# the Earth written out by tavrin_scene_probe.scr.
add_executable(scene_gl_tests
  "${CMAKE_CURRENT_LIST_DIR}/scene_gl_test.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/scene_font_test.cpp"
  $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(scene_gl_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
tavrin_warnings(scene_gl_tests)
foreach(suite SceneCamera SceneStars SceneFont SceneSetUp)
  tavrin_wine_test(NAME "wine.scene.${suite}" TARGET scene_gl_tests ARGS "--gtest_filter=${suite}.*" TIMEOUT 120)
endforeach()

add_executable(tavrin_scene_probe WIN32 "${CMAKE_CURRENT_LIST_DIR}/scene_probe_win.cpp" $<TARGET_OBJECTS:tavrin_resources>)
set_target_properties(tavrin_scene_probe PROPERTIES SUFFIX .scr)
target_link_libraries(tavrin_scene_probe PRIVATE tavrin_win)
tavrin_warnings(tavrin_scene_probe)

add_executable(scene_picture_tests "${CMAKE_CURRENT_LIST_DIR}/scene_picture_test.cpp" $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(scene_picture_tests PRIVATE tavrin_core tavrin_test_support gtest_main)
add_dependencies(scene_picture_tests tavrin tavrin_scene_probe)
tavrin_warnings(scene_picture_tests)
foreach(suite SaverPicture PreviewPicture)
  tavrin_wine_test(NAME "wine.scene.${suite}" TARGET scene_picture_tests ARGS "--gtest_filter=${suite}.*" TIMEOUT 300)
endforeach()
