# The scene. scene_gl_tests: the GL pieces on a real context in this process
# (camera, star layers, font, set-up and one frame), with pictures made by the
# tests and the glyph atlas from the linked resources. scene_picture_tests:
# the real saver and preview on the screen, read back by screenshots.
add_executable(scene_gl_tests
  "${CMAKE_CURRENT_LIST_DIR}/scene_gl_test.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/scene_font_test.cpp"
  $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(scene_gl_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
tavrin_warnings(scene_gl_tests)
foreach(suite SceneCamera SceneStars SceneFont SceneSetUp)
  tavrin_wine_test(NAME "wine.scene.${suite}" TARGET scene_gl_tests ARGS "--gtest_filter=${suite}.*" TIMEOUT 120)
endforeach()
