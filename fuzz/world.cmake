# World fuzz targets read through the reference host's file systems.
if(TARGET platform_host)
  target_link_libraries(${name} PRIVATE platform_host)
endif()
# The scene-file target writes its box mesh with the demo's mesh writer.
if(name STREQUAL "scenefile_fuzz")
  target_link_libraries(${name} PRIVATE quor_meshwriter)
endif()
