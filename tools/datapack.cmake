# datapack: builds, verifies and decodes the saver's JPEG data packs
# (tools/make-packs.sh uses it). The test keeps the committed packs inside the
# decoder's subset; the native tests drive the tool itself (assets_test.cpp).
add_executable(datapack "${CMAKE_CURRENT_LIST_DIR}/datapack.cpp")
target_link_libraries(datapack PRIVATE tavrin_core)
tavrin_warnings(datapack)

file(GLOB TAVRIN_PACKS CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/res/*.pack")
if(TAVRIN_PACKS)
  add_test(NAME tools.datapack.verify COMMAND datapack verify ${TAVRIN_PACKS})
  set_tests_properties(tools.datapack.verify PROPERTIES LABELS native)
endif()
