# World fuzz targets read through the reference host's file systems.
if(TARGET platform_host)
  target_link_libraries(${name} PRIVATE platform_host)
endif()
# The effect files name a mesh the mesh writer makes.
if(name MATCHES "^emf_")
  target_link_libraries(${name} PRIVATE quor_meshwriter)
endif()
