# The world suite links the static archive and the reference host; the integration
# test also loads libworld.so the way a host does.
target_link_libraries(${program} PRIVATE world_static platform_host ${CMAKE_DL_LIBS})
target_sources(${program} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/ThreadNameCheck.cpp)
# Glyph pages are checked against FreeType's own rendering.
if(TARGET PkgConfig::QUOR_FREETYPE)
  target_link_libraries(${program} PRIVATE PkgConfig::QUOR_FREETYPE)
endif()
# The vegetation and screen-emitter pictures are checked with the drawing renderer.
if(TARGET platform_glrender)
  target_link_libraries(${program} PRIVATE platform_glrender)
endif()
# The demo's 2D sample map is loaded whole by its test.
target_link_libraries(${program} PRIVATE quor_map2dwriter)
if(NOT TSAN)
  add_dependencies(${program} world)
  target_compile_definitions(${program} PRIVATE QUOR_LIBWORLD="$<TARGET_FILE:world>")
  # The demo host's report and options are tested by running it.
  if(TARGET world_host)
    add_dependencies(${program} world_host)
    target_compile_definitions(${program} PRIVATE QUOR_WORLD_HOST="$<TARGET_FILE:world_host>")
  endif()
endif()
# Each host-facing header compiles alone, with nothing before it (parts of another header
# compile only inside it).
if(NOT TSAN AND NOT TARGET world_host_headers_alone)
  set(alone)
  foreach(header IN LISTS QUOR_WORLD_HOST_HEADERS)
    if(NOT header IN_LIST QUOR_WORLD_HOST_HEADER_PARTS)
      string(MAKE_C_IDENTIFIER ${header} stem)
      set(unit ${CMAKE_CURRENT_BINARY_DIR}/host_headers/${stem}.cpp)
      file(CONFIGURE OUTPUT ${unit} CONTENT "#include \"${header}\"\n")
      list(APPEND alone ${unit})
    endif()
  endforeach()
  add_library(world_host_headers_alone OBJECT ${alone})
  add_dependencies(${program} world_host_headers_alone)
endif()
