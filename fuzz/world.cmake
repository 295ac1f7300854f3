# World fuzz targets read through the reference host's file systems.
if(TARGET platform_host)
  target_link_libraries(${name} PRIVATE platform_host)
endif()
# Effect files and the scene-file target name meshes the mesh writer makes.
if(name MATCHES "^emf_" OR name STREQUAL "scenefile_fuzz")
  target_link_libraries(${name} PRIVATE quor_meshwriter)
endif()
# The binary scene-file target and its seeds write the meshes the scenes name.
if(name MATCHES "^scenebin_")
  target_link_libraries(${name} PRIVATE quor_meshwriter)
endif()
