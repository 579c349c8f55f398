# The host: run modes, windows and input, against the real tavrin.scr; and the version resource and the installer.
add_executable(host_process_tests "${CMAKE_CURRENT_LIST_DIR}/host_process_test.cpp")
target_link_libraries(host_process_tests PRIVATE tavrin_test_support gtest_main version)
target_compile_definitions(host_process_tests PRIVATE "TAVRIN_VERSION_TEXT=\"${PROJECT_VERSION}\"")
add_dependencies(host_process_tests tavrin tavrin_probe)
if(TARGET tavrin_installer)
  add_dependencies(host_process_tests tavrin_installer)
endif()
tavrin_warnings(host_process_tests)
foreach(suite FullScreenSaver PreviewParent CommandLine)
  tavrin_wine_test(NAME "wine.host.${suite}" TARGET host_process_tests ARGS "--gtest_filter=${suite}.*" TIMEOUT 300)
endforeach()
tavrin_wine_test(NAME wine.release.Package TARGET host_process_tests ARGS "--gtest_filter=VersionResource.*:Installer.*"
  TIMEOUT 600)
