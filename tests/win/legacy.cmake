# The older Windows family (95, 98, Me) under Wine: the password change, the
# password module with the system's saver-running state, the password check
# on close and the AutoPlay answer. Wine reports the older family to one
# program when HKCU\Software\Wine\AppDefaults\<file name> has Version "win98";
# the tests set that for their own copies of the saver and remove it after.

# Stand-ins for the system's password services: plain DLLs with the exact
# export names, gathered in legacy-modules/ for the tests to copy beside a
# saver under the name the saver looks for. Never beside the test programs
# themselves, where a program of this tree could pick them up.
set(TAVRIN_LEGACY_MODULES "${CMAKE_BINARY_DIR}/legacy-modules")
function(tavrin_legacy_module target source name suffix)
  add_library(${target} SHARED "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${source}")
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME "${name}" SUFFIX "${suffix}"
    RUNTIME_OUTPUT_DIRECTORY "${TAVRIN_LEGACY_MODULES}" ARCHIVE_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${target} PRIVATE user32 advapi32 kernel32)
  tavrin_warnings(${target})
endfunction()
tavrin_legacy_module(legacy_password_module legacy_password_module_win.cpp PASSWORD .CPL)
tavrin_legacy_module(legacy_mpr_module legacy_mpr_module_win.cpp MPR .DLL)
tavrin_legacy_module(legacy_bare_module legacy_bare_module_win.cpp BARE .DLL)
set(TAVRIN_LEGACY_MODULE_TARGETS legacy_password_module legacy_mpr_module legacy_bare_module)

# Copies of the real saver and of the probe, watched from outside.
add_executable(legacy_process_tests
  "${CMAKE_CURRENT_LIST_DIR}/legacy_process_test.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/legacy_case.cpp")
target_link_libraries(legacy_process_tests PRIVATE tavrin_test_support gtest)
add_dependencies(legacy_process_tests tavrin tavrin_probe ${TAVRIN_LEGACY_MODULE_TARGETS})
tavrin_warnings(legacy_process_tests)
foreach(suite PasswordChange PasswordModule AutoPlay)
  tavrin_wine_test(NAME "wine.legacy.${suite}" TARGET legacy_process_tests ARGS "--gtest_filter=Legacy${suite}.*"
    TIMEOUT 300)
endforeach()

# The password check on close, in-process with the saver's own code.
add_executable(legacy_policy_tests
  "${CMAKE_CURRENT_LIST_DIR}/legacy_policy_test.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/legacy_case.cpp")
target_link_libraries(legacy_policy_tests PRIVATE tavrin_win tavrin_test_support gtest_main)
add_dependencies(legacy_policy_tests ${TAVRIN_LEGACY_MODULE_TARGETS})
tavrin_warnings(legacy_policy_tests)
tavrin_wine_test(NAME wine.legacy.ConfirmClose TARGET legacy_policy_tests ARGS "--gtest_filter=LegacyConfirmClose.*" TIMEOUT 300)
