foreach(lib win32 host d3d9 gdi wgl glrender mfc kernel avifile)
  if(TARGET platform_${lib})
    target_link_libraries(platform_tests PRIVATE platform_${lib})
  endif()
endforeach()
target_sources(platform_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/ThreadNameCheck.cpp)
# The renderer's material documents are written by the world tree's writer.
# The material writer comes with the writers' library (linked by every test program).
# The drawing renderer's tests write and read PNG pictures.
if(TARGET PkgConfig::QUOR_STB)
  target_link_libraries(platform_tests PRIVATE PkgConfig::QUOR_STB)
endif()
