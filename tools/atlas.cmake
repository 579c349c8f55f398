# make_atlas: rasterises res/glyphs.bin from two TrueType faces with FreeType.
# A build tool only; the saver itself links no font library.
find_package(Freetype)
if(FREETYPE_FOUND)
  add_executable(make_atlas "${CMAKE_CURRENT_LIST_DIR}/make_atlas.cpp")
  target_link_libraries(make_atlas PRIVATE Freetype::Freetype)
  target_include_directories(make_atlas PRIVATE "${PROJECT_SOURCE_DIR}")
  tavrin_warnings(make_atlas)
else()
  message(STATUS "FreeType not found: make_atlas is not built (install libfreetype-dev)")
endif()
