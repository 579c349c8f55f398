# Two monitors side by side, the second right of the first and left of it (a
# virtual screen from x = -1024): tools/wine-run-xorg.sh runs each order on an
# Xorg display and in a Wine session of its own, so they are registered by hand,
# after the tests' own session has ended (its prefix is copied).
add_executable(monitors_tests "${CMAKE_CURRENT_LIST_DIR}/monitors_test.cpp")
target_link_libraries(monitors_tests PRIVATE tavrin_test_support gtest_main)
add_dependencies(monitors_tests tavrin)
tavrin_warnings(monitors_tests)
foreach(order Right Left)
  string(TOLOWER ${order} config)
  string(CONCAT TAVRIN_MONITORS_TEST
    "add_test(wine.monitors.SecondOnThe${order} /bin/sh \"${PROJECT_SOURCE_DIR}/tools/wine-run-xorg.sh\" \"${TAVRIN_BUILD_ROOT}\" "
    "${config} \"$<TARGET_FILE:monitors_tests>\" --gtest_filter=SecondOnThe${order}/*)\n"
    "set_tests_properties(wine.monitors.SecondOnThe${order} PROPERTIES RESOURCE_LOCK wine TIMEOUT 300 LABELS wine DEPENDS wine.session.stop)\n")
  set_property(GLOBAL APPEND_STRING PROPERTY TAVRIN_WINE_TESTS "${TAVRIN_MONITORS_TEST}")
endforeach()
