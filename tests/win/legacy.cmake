# The older Windows family (95, 98, Me) under Wine; see legacy_test.cpp.
# The stand-in password modules and a planted DLL, one source built four
# times, go to legacy-modules/ for the tests to copy into the system folder or
# beside a saver under the name it looks for: never beside the test programs,
# where a program of this tree could pick them up.
set(TAVRIN_LEGACY_MODULES "${CMAKE_BINARY_DIR}/legacy-modules")
foreach(name PASSWORD MPR BARE PLANTED)
  string(TOLOWER "legacy_${name}_module" target)
  add_library(${target} SHARED "${CMAKE_CURRENT_LIST_DIR}/legacy_module_win.cpp")
  set(suffix .DLL)
  if(name STREQUAL "PASSWORD")
    set(suffix .CPL)
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME "${name}" SUFFIX "${suffix}"
    RUNTIME_OUTPUT_DIRECTORY "${TAVRIN_LEGACY_MODULES}" ARCHIVE_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  target_compile_definitions(${target} PRIVATE TAVRIN_${name}_MODULE)
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${target} PRIVATE user32 advapi32 kernel32)
  tavrin_warnings(${target})
  list(APPEND TAVRIN_LEGACY_MODULE_TARGETS ${target})
endforeach()

# The saver's entry and host with a scene that passes WM_CLOSE on.
add_executable(passing_scene WIN32 "${PROJECT_SOURCE_DIR}/host/main_win.cpp" "${CMAKE_CURRENT_LIST_DIR}/passing_scene_win.cpp")
set_target_properties(passing_scene PROPERTIES SUFFIX .scr)
tavrin_saver_executable(passing_scene)
tavrin_warnings(passing_scene)

# Copies of the real saver, of the probe and of passing_scene watched from
# outside, and the password check on close in-process with the host's code.
add_executable(legacy_tests "${CMAKE_CURRENT_LIST_DIR}/legacy_test.cpp" "${CMAKE_CURRENT_LIST_DIR}/passing_scene_win.cpp")
target_link_libraries(legacy_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
add_dependencies(legacy_tests tavrin tavrin_probe passing_scene ${TAVRIN_LEGACY_MODULE_TARGETS})
tavrin_warnings(legacy_tests)
foreach(suite PasswordChange PasswordModule ConfirmClose PassingScene)
  tavrin_wine_test(NAME "wine.legacy.${suite}" TARGET legacy_tests ARGS "--gtest_filter=Legacy${suite}.*" TIMEOUT 300)
endforeach()
