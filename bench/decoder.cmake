# bench_decoder: the saver's decoder against libjpeg-turbo on the 4096 x 2048
# lunar map of res/surface-high.pack (native release tree only).
if(TAVRIN_KIND STREQUAL "native")
  find_library(TAVRIN_BENCH_TURBOJPEG turbojpeg)
  add_executable(bench_decoder "${CMAKE_CURRENT_LIST_DIR}/decoder.cpp")
  target_link_libraries(bench_decoder PRIVATE tavrin_core)
  target_compile_definitions(bench_decoder PRIVATE "TAVRIN_SOURCE_DIR=\"${PROJECT_SOURCE_DIR}\"")
  if(TAVRIN_BENCH_TURBOJPEG)
    target_link_libraries(bench_decoder PRIVATE ${TAVRIN_BENCH_TURBOJPEG})
    target_compile_definitions(bench_decoder PRIVATE TAVRIN_HAVE_TURBOJPEG=1)
  endif()
  tavrin_warnings(bench_decoder)
endif()
