# The scene benchmarks link the static scene library, the AVI stand-in and libjpeg; main()
# comes from Google Benchmark so that every source file only registers cases.
target_link_libraries(scene_bench PRIVATE scene_static platform_avifile benchmark::benchmark_main)
pkg_check_modules(QUOR_BENCH_JPEG QUIET libjpeg)
if(QUOR_BENCH_JPEG_FOUND)
  target_link_libraries(scene_bench PRIVATE ${QUOR_BENCH_JPEG_LINK_LIBRARIES})
else()
  target_link_libraries(scene_bench PRIVATE jpeg)
endif()
