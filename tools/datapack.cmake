# datapack: builds, verifies and decodes the saver's JPEG data packs
# (tools/make-packs.sh uses it). The test keeps the committed packs inside the
# decoder's subset.
add_executable(datapack "${CMAKE_CURRENT_LIST_DIR}/datapack.cpp")
target_link_libraries(datapack PRIVATE tavrin_core)
tavrin_warnings(datapack)

file(GLOB TAVRIN_PACKS CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/res/*.pack")
if(TAVRIN_PACKS)
  add_test(NAME tools.datapack.verify COMMAND datapack verify ${TAVRIN_PACKS})
  set_tests_properties(tools.datapack.verify PROPERTIES LABELS native)
endif()

# decode --image N counts from 1: the low pack's first picture is the 1024 x
# 512 lunar map (also without --image), its second the 128 x 64 Earth, and a
# number outside 1..2 is refused.
function(tavrin_datapack_decode_test name expected)
  add_test(NAME tools.datapack.decode.${name} COMMAND datapack decode "${PROJECT_SOURCE_DIR}/res/surface-low.pack"
    "${CMAKE_BINARY_DIR}/datapack-${name}.bmp" ${ARGN})
  set_tests_properties(tools.datapack.decode.${name} PROPERTIES LABELS native PASS_REGULAR_EXPRESSION "${expected}")
endfunction()
tavrin_datapack_decode_test(image1 "datapack-image1.bmp: 1024 x 512" --image 1)
tavrin_datapack_decode_test(unnumbered "datapack-unnumbered.bmp: 1024 x 512")
tavrin_datapack_decode_test(image2 "datapack-image2.bmp: 128 x 64" --image 2)
tavrin_datapack_decode_test(image0 "surface-low.pack holds 2 image" --image 0)
tavrin_datapack_decode_test(image3 "surface-low.pack holds 2 image" --image 3)
