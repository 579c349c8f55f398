# release.WithoutTests: the windows tree without the tests (as MSYS2 and make
# release build it) where no GoogleTest can be found, in another folder,
# against this tree's bytes. Alone on the machine: it compiles on both cores.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TAVRIN_EPOCH_ENV "SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH}")
else()
  set(TAVRIN_EPOCH_ENV "-u SOURCE_DATE_EPOCH")
endif()
string(CONCAT entry
  "add_test([=[release.WithoutTests]=] env ${TAVRIN_EPOCH_ENV} /bin/sh \"${CMAKE_CURRENT_LIST_DIR}/build-without-tests.sh\""
  " \"${PROJECT_SOURCE_DIR}\" \"${CMAKE_BINARY_DIR}\" \"${TAVRIN_BUILD_ROOT}/win-without-tests\" -G \"${CMAKE_GENERATOR}\""
  " \"-DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}\" \"-DTAVRIN_CONTACT_MAIL=${TAVRIN_CONTACT_MAIL}\")\n"
  "set_tests_properties([=[release.WithoutTests]=] PROPERTIES PROCESSORS 2 TIMEOUT 900 LABELS release)\n")
set_property(GLOBAL APPEND_STRING PROPERTY TAVRIN_WINE_TESTS "${entry}")
