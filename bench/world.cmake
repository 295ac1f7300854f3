target_link_libraries(world_bench PRIVATE world_static platform_host)
# The archive main of Google Benchmark; a file with its own BENCHMARK_MAIN() still takes precedence.
target_link_libraries(world_bench PRIVATE benchmark::benchmark_main)
find_package(Eigen3 QUIET NO_MODULE)
if(TARGET Eigen3::Eigen)
  target_link_libraries(world_bench PRIVATE Eigen3::Eigen)
  target_compile_definitions(world_bench PRIVATE QUOR_HAVE_EIGEN=1)
endif()
find_package(Boost QUIET)
if(Boost_FOUND)
  target_include_directories(world_bench SYSTEM PRIVATE ${Boost_INCLUDE_DIRS})
  target_compile_definitions(world_bench PRIVATE QUOR_HAVE_BOOST=1)
endif()
# The mesh benchmark builds its files with the test-side mesh writer.
target_link_libraries(world_bench PRIVATE quor_meshwriter)
# The skeletal playback benchmark writes its clips with the animation writer of the writer
# library (linked above) and reads them through the reference host's memory file system.
if(TARGET platform_host)
  target_link_libraries(world_bench PRIVATE platform_host)
endif()
# The drawing renderer's benchmark draws with OSMesa through the GL renderer.
if(TARGET platform_glrender)
  target_link_libraries(world_bench PRIVATE platform_glrender)
endif()
# The particle benchmark loads its systems into a test scene through the test-side fixture.
target_sources(world_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/world/LogCapture.cpp)
# The collision benchmark compiles its trees with the test-side tree writer.
target_sources(world_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/world/BspFileWriter.cpp)
