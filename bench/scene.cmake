# bench_scene: start-up time and frame rate of the real saver under Wine
# (windows tree). tavrin_bench_probe.scr is the saver with timing wrappers
# around a few system imports; bench_scene.exe runs it and prints the table.
if(NOT TAVRIN_KIND STREQUAL "windows")
  return()
endif()
add_executable(tavrin_bench_probe WIN32 "${CMAKE_CURRENT_LIST_DIR}/scene_probe_win.cpp" $<TARGET_OBJECTS:tavrin_resources>)
set_target_properties(tavrin_bench_probe PROPERTIES SUFFIX .scr)
tavrin_saver_executable(tavrin_bench_probe)
tavrin_warnings(tavrin_bench_probe)

add_executable(bench_scene "${CMAKE_CURRENT_LIST_DIR}/scene_bench_win.cpp")
target_link_libraries(bench_scene PRIVATE tavrin_harness)
add_dependencies(bench_scene tavrin_bench_probe)
tavrin_warnings(bench_scene)
