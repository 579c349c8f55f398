# The scene: its GL pieces on a real context in-process, and the real saver's frames through tavrin_probe.scr.

add_executable(scene_tests "${CMAKE_CURRENT_LIST_DIR}/scene_test.cpp" $<TARGET_OBJECTS:tavrin_resources>)
target_link_libraries(scene_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
add_dependencies(scene_tests tavrin tavrin_probe)
tavrin_warnings(scene_tests)
tavrin_wine_test(NAME wine.scene.Gl TARGET scene_tests ARGS "--gtest_filter=GlTest.*:SceneFont.*" TIMEOUT 120)
tavrin_wine_test(NAME wine.scene.Picture TARGET scene_tests ARGS "--gtest_filter=SaverPicture.*:PreviewPicture.*" TIMEOUT 300)
tavrin_wine_test(NAME wine.scene.SetUp TARGET scene_tests ARGS "--gtest_filter=SaverSetUp.*" TIMEOUT 300)
# The pictures' overlay and sizes again on displays at 150 and 200 % (the same
# test program: it reads the display's DPI), each in a session of its own.
foreach(dpi 144 192)
  tavrin_wine_dpi_test(NAME wine.scene.PictureAt${dpi} TARGET scene_tests DPI ${dpi}
    ARGS "--gtest_filter=SaverPicture.*:PreviewPicture.LogoWithoutFrameRateOrClock")
endforeach()
