# bench_decoder: the saver's decoder against libjpeg-turbo on the 4096 x 2048
# lunar map of res/surface-high.pack (native release tree only).
if(TAVRIN_KIND STREQUAL "native")
  find_library(TAVRIN_BENCH_TURBOJPEG turbojpeg)
  add_executable(bench_decoder "${CMAKE_CURRENT_LIST_DIR}/decoder.cpp")
  target_link_libraries(bench_decoder PRIVATE tavrin_core)
  # What it times, printed with the figures: the compiler, the build type's flags and the decoder kernels' own
  # (CMakeLists.txt), as the saver is built.
  string(TOUPPER "${CMAKE_BUILD_TYPE}" type)
  string(JOIN " " kernels ${TAVRIN_DECODER_KERNELS} ${TAVRIN_DECODER_KERNEL_OPTIONS})
  set(build "${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION} ${CMAKE_CXX_FLAGS_${type}}, ${kernels}")
  target_compile_definitions(bench_decoder PRIVATE "TAVRIN_SOURCE_DIR=\"${PROJECT_SOURCE_DIR}\""
    "TAVRIN_BENCH_BUILD=\"${build}\"")
  if(TAVRIN_BENCH_TURBOJPEG)
    target_link_libraries(bench_decoder PRIVATE ${TAVRIN_BENCH_TURBOJPEG})
    target_compile_definitions(bench_decoder PRIVATE TAVRIN_HAVE_TURBOJPEG=1)
  endif()
  tavrin_warnings(bench_decoder)
endif()
