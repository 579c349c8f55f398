# Build settings shared by every tree, and the helpers that register tests.
#
# Tests of all three tree kinds end up in the native tree's ctest: the windows
# tree writes wine-tests.cmake and the fuzz tree fuzz-tests.cmake, and the
# native tree includes both at test time (TEST_INCLUDE_FILES).

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
endif()

option(TAVRIN_WERROR "Treat warnings in the project's own code as errors" ON)
option(TAVRIN_SANITIZE "Native tree: build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
option(TAVRIN_BENCH "Native tree: build the benchmarks (use an unsanitized release tree)" OFF)
# Off: the saver, the installer and the tools, without GoogleTest (MSYS2, make release).
option(TAVRIN_TESTS "Build the tests (they need GoogleTest's sources, TAVRIN_GTEST_SOURCE)" ON)
set(TAVRIN_FUZZ_SECONDS 10 CACHE STRING "Seconds each fuzz target runs as part of the tests")

get_filename_component(TAVRIN_BUILD_ROOT "${CMAKE_BINARY_DIR}/.." ABSOLUTE)
set(TAVRIN_WIN_DIR "${TAVRIN_BUILD_ROOT}/win" CACHE PATH "The windows build tree")
set(TAVRIN_FUZZ_DIR "${TAVRIN_BUILD_ROOT}/fuzz" CACHE PATH "The fuzz build tree")

# Every program of a tree lands in its top directory, so the tests under Wine
# find tavrin.scr and their helper modules beside themselves.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")

if(TAVRIN_KIND STREQUAL "windows")
  # No MinGW DLLs on the user's machine: everything static.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Two builds of one commit must give the same bytes, and GNU ld writes the
  # time of the link into the PE header: it takes SOURCE_DATE_EPOCH instead
  # when the tree is configured with one (make release gives the commit's
  # time), else it writes none. Nothing else of a build's time or folder
  # reaches the programs (release.WithoutTests and make release-check hold that).
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(CMAKE_CXX_LINKER_LAUNCHER "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH}")
  else()
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
elseif(TAVRIN_KIND STREQUAL "fuzz")
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -g -O1)
  add_link_options(-fsanitize=address,undefined)
elseif(TAVRIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings for the project's own targets (not for GoogleTest's).
function(tavrin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wpedantic)
  if(TAVRIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A static library of the project's own code.
function(tavrin_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  tavrin_warnings(${name})
endfunction()

# The saver's executables (tavrin.scr and the probes built from it) import
# only KERNEL32 and msvcrt directly: Windows takes those from the system
# folder whatever lies beside the program. Every other system DLL is
# delay-loaded, and bound at the entry once the search for DLLs has been
# confined to the system folder (host/system_modules_win.cpp), so that a DLL
# of one of their names dropped beside a downloaded saver never runs.
#
# tavrin_delay_import_libraries(<var>): makes a delay-load import library for
# each of those DLLs and returns their paths, each wrapped so that only a
# target marked by tavrin_saver_executable links it; and the list of their
# descriptors (GNU ld fills no delay-import directory in the PE header, so the
# entry finds them by name).
function(tavrin_delay_import_libraries var)
  set(libraries "")
  set(outputs "")
  set(declarations "")
  set(descriptors "")
  foreach(dll USER32 GDI32 ADVAPI32 SHELL32 COMCTL32 OPENGL32 GLU32)
    string(TOLOWER "${dll}" name)
    execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=lib${name}.a
      OUTPUT_VARIABLE import_library OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(output "${CMAKE_BINARY_DIR}/delay-imports/lib${name}-delay.a")
    add_custom_command(OUTPUT "${output}"
      COMMAND "${CMAKE_COMMAND}" "-DNM=${CMAKE_NM}" "-DDLLTOOL=${CMAKE_DLLTOOL}"
        "-DIMPORT_LIBRARY=${import_library}" "-DDLL=${dll}.dll" "-DOUTPUT=${output}"
        -P "${PROJECT_SOURCE_DIR}/cmake/delay-import-library.cmake"
      DEPENDS "${PROJECT_SOURCE_DIR}/cmake/delay-import-library.cmake" "${import_library}"
      COMMENT "Delay-load import library for ${dll}.dll" VERBATIM)
    list(APPEND outputs "${output}")
    list(APPEND libraries "$<$<BOOL:$<TARGET_PROPERTY:TAVRIN_DELAY_LOAD>>:${output}>")
    string(APPEND declarations "extern \"C\" const ImgDelayDescr __DELAY_IMPORT_DESCRIPTOR_lib${name}_delay_a;\n")
    string(APPEND descriptors "&__DELAY_IMPORT_DESCRIPTOR_lib${name}_delay_a, ")
  endforeach()
  add_custom_target(tavrin_delay_import_libraries DEPENDS ${outputs})
  # Rewritten only when its text changes, so that configuring again rebuilds nothing.
  file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/delay-imports/delay_loaded_dlls_win.cpp" CONTENT
"// Written by CMake (cmake/Tavrin.cmake): the system DLLs that this executable loads itself.
#include \"host/system_modules_win.h\"

${declarations}
const ImgDelayDescr* const delayLoadedDlls[] = {${descriptors}nullptr};
" @ONLY)
  set(${var} ${libraries} PARENT_SCOPE)
endfunction()

# An executable built from the saver: its system DLLs delay-loaded (the
# linker takes each function from the first library that has it, and the
# delay-load libraries come before the ordinary ones in tavrin_win's list).
function(tavrin_saver_executable target)
  set_target_properties(${target} PROPERTIES TAVRIN_DELAY_LOAD ON)
  target_sources(${target} PRIVATE "${CMAKE_BINARY_DIR}/delay-imports/delay_loaded_dlls_win.cpp")
  target_link_libraries(${target} PRIVATE tavrin_win)
  add_dependencies(${target} tavrin_delay_import_libraries)
endfunction()

# GoogleTest from Debian's sources, built for whichever target this tree has.
function(tavrin_use_googletest)
  if(TARGET gtest)
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(TAVRIN_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
  add_subdirectory("${TAVRIN_GTEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
endfunction()

# tavrin_wine_test(NAME <ctest name> TARGET <exe target> [ARGS ...] [TIMEOUT s] [LABELS ...])
# Registers a Windows program that ctest runs under Wine, on the virtual
# display and in the private prefix that the wine fixture sets up. Tests that
# run under Wine share one display and one registry, so they run one at a time.
function(tavrin_wine_test)
  cmake_parse_arguments(T "" "NAME;TARGET;TIMEOUT" "ARGS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  string(REPLACE ";" " " args "${T_ARGS}")
  string(CONCAT entry
    "add_test([=[${T_NAME}]=] /bin/sh \"${PROJECT_SOURCE_DIR}/tools/wine-run.sh\" \"${TAVRIN_BUILD_ROOT}\" \"$<TARGET_FILE:${T_TARGET}>\" ${args})\n"
    "set_tests_properties([=[${T_NAME}]=] PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine TIMEOUT ${T_TIMEOUT} LABELS \"wine;${T_LABELS}\")\n")
  set_property(GLOBAL APPEND_STRING PROPERTY TAVRIN_WINE_TESTS "${entry}")
endfunction()

# tavrin_wine_dpi_test(NAME <ctest name> TARGET <exe target> DPI <dpi> [ARGS ...])
# As tavrin_wine_test, on a display that Wine reports at that DPI, in a session
# of its own (tools/wine-run-dpi.sh) whose prefix is a copy of the tests' one:
# it runs after the tests' own session has ended.
function(tavrin_wine_dpi_test)
  cmake_parse_arguments(T "" "NAME;TARGET;DPI" "ARGS" ${ARGN})
  string(REPLACE ";" " " args "${T_ARGS}")
  string(CONCAT entry
    "add_test([=[${T_NAME}]=] /bin/sh \"${PROJECT_SOURCE_DIR}/tools/wine-run-dpi.sh\" \"${TAVRIN_BUILD_ROOT}\" ${T_DPI} "
    "\"$<TARGET_FILE:${T_TARGET}>\" ${args})\n"
    "set_tests_properties([=[${T_NAME}]=] PROPERTIES RESOURCE_LOCK wine TIMEOUT 300 LABELS wine DEPENDS wine.session.stop)\n")
  set_property(GLOBAL APPEND_STRING PROPERTY TAVRIN_WINE_TESTS "${entry}")
endfunction()

# tavrin_fuzz_target(<name> SOURCES ... LIBS ...)
# A libFuzzer program; its seed corpus is tests/fuzz/corpus/<name>. The tests
# run it for TAVRIN_FUZZ_SECONDS; new inputs go to a scratch corpus in the
# build tree, crashes to build/fuzz/crashes.
function(tavrin_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  tavrin_warnings(${name})
  set(corpus "${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name}")
  set(work "${CMAKE_BINARY_DIR}/corpus/${name}")
  string(CONCAT entry
    "add_test([=[fuzz.${name}]=] /bin/sh \"${PROJECT_SOURCE_DIR}/tools/fuzz-run.sh\" \"$<TARGET_FILE:${name}>\" \"${corpus}\" \"${work}\" \"${CMAKE_BINARY_DIR}/crashes\" ${TAVRIN_FUZZ_SECONDS})\n"
    "set_tests_properties([=[fuzz.${name}]=] PROPERTIES TIMEOUT ${TAVRIN_FUZZ_TIMEOUT} LABELS fuzz)\n")
  set_property(GLOBAL APPEND_STRING PROPERTY TAVRIN_FUZZ_TESTS "${entry}")
endfunction()
math(EXPR TAVRIN_FUZZ_TIMEOUT "${TAVRIN_FUZZ_SECONDS} * 3 + 60")

function(tavrin_write_test_lists)
  if(TAVRIN_KIND STREQUAL "windows")
    get_property(tests GLOBAL PROPERTY TAVRIN_WINE_TESTS)
    set(session "/bin/sh \"${PROJECT_SOURCE_DIR}/tools/wine-session.sh\" \"${TAVRIN_BUILD_ROOT}\"")
    file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/wine-tests.cmake" CONTENT
"# Written by CMake in the windows tree; included by the native tree's ctest.
add_test(wine.session.start ${session} start)
set_tests_properties(wine.session.start PROPERTIES FIXTURES_SETUP wine RESOURCE_LOCK wine TIMEOUT 300 LABELS wine)
add_test(wine.session.stop ${session} stop)
set_tests_properties(wine.session.stop PROPERTIES FIXTURES_CLEANUP wine RESOURCE_LOCK wine TIMEOUT 120 LABELS wine)
${tests}")
  elseif(TAVRIN_KIND STREQUAL "fuzz")
    get_property(tests GLOBAL PROPERTY TAVRIN_FUZZ_TESTS)
    file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/fuzz-tests.cmake" CONTENT
"# Written by CMake in the fuzz tree; included by the native tree's ctest.
${tests}")
  else()
    file(WRITE "${CMAKE_BINARY_DIR}/other-trees.cmake"
"# The tests of the windows and fuzz trees, when those trees have been built.
if(EXISTS \"${TAVRIN_WIN_DIR}/wine-tests.cmake\")
  include(\"${TAVRIN_WIN_DIR}/wine-tests.cmake\")
endif()
if(EXISTS \"${TAVRIN_FUZZ_DIR}/fuzz-tests.cmake\")
  include(\"${TAVRIN_FUZZ_DIR}/fuzz-tests.cmake\")
endif()
")
    set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY TEST_INCLUDE_FILES "${CMAKE_BINARY_DIR}/other-trees.cmake")
  endif()
endfunction()
