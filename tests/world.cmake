# The world suite links the static archive and the reference host; the integration
# test also loads libworld.so the way a host does.
target_link_libraries(world_tests PRIVATE world_static ${CMAKE_DL_LIBS})
foreach(lib host)
  if(TARGET platform_${lib})
    target_link_libraries(world_tests PRIVATE platform_${lib})
  endif()
endforeach()
add_dependencies(world_tests world)
target_compile_definitions(world_tests PRIVATE QUOR_LIBWORLD="$<TARGET_FILE:world>")
target_sources(world_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/ThreadNameCheck.cpp)
# The demo host's report and options are tested by running it.
if(TARGET world_host)
  add_dependencies(world_tests world_host)
  target_compile_definitions(world_tests PRIVATE QUOR_WORLD_HOST="$<TARGET_FILE:world_host>")
endif()
# Glyph pages are checked against FreeType's own rendering.
if(TARGET PkgConfig::QUOR_FREETYPE)
  target_link_libraries(world_tests PRIVATE PkgConfig::QUOR_FREETYPE)
endif()
# The vegetation and screen-emitter pictures are checked with the drawing renderer.
if(TARGET platform_glrender)
  target_link_libraries(world_tests PRIVATE platform_glrender)
endif()
# The demo's 2D sample map is loaded whole by its test.
target_link_libraries(world_tests PRIVATE quor_map2dwriter)
