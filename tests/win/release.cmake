# release.WithoutTests: the windows tree without the tests (as MSYS2 and make
# release build it) where no GoogleTest can be found, in another folder,
# against this tree's bytes. Alone on the machine: it compiles on both cores.
# It leaves its tree for release.Downloads.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TAVRIN_EPOCH_ENV "SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH}")
else()
  set(TAVRIN_EPOCH_ENV "-u SOURCE_DATE_EPOCH")
endif()
string(CONCAT entry
  "add_test([=[release.WithoutTests]=] env ${TAVRIN_EPOCH_ENV} /bin/sh \"${CMAKE_CURRENT_LIST_DIR}/build-without-tests.sh\""
  " \"${PROJECT_SOURCE_DIR}\" \"${CMAKE_BINARY_DIR}\" \"${TAVRIN_BUILD_ROOT}/win-without-tests\" -G \"${CMAKE_GENERATOR}\""
  " \"-DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}\" \"-DTAVRIN_CONTACT_MAIL=${TAVRIN_CONTACT_MAIL}\")\n"
  "set_tests_properties([=[release.WithoutTests]=] PROPERTIES PROCESSORS 2 TIMEOUT 900 LABELS release"
  " FIXTURES_SETUP release.tree)\n"
  # release.Downloads: that tree packed as make release packs it, and what a
  # downloader gets checked (tools/check-downloads.sh), in seconds.
  "add_test([=[release.Downloads]=] env ${TAVRIN_EPOCH_ENV} /bin/sh -c [=[\"$0\" --tree \"$2\" \"$2\" && \"$1\" \"$2/release\"]=]"
  " \"${PROJECT_SOURCE_DIR}/tools/make-release.sh\" \"${PROJECT_SOURCE_DIR}/tools/check-downloads.sh\""
  " \"${TAVRIN_BUILD_ROOT}/win-without-tests\")\n"
  "set_tests_properties([=[release.Downloads]=] PROPERTIES TIMEOUT 300 LABELS release FIXTURES_REQUIRED release.tree)\n")
set_property(GLOBAL APPEND_STRING PROPERTY TAVRIN_WINE_TESTS "${entry}")
