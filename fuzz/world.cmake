# World fuzz targets read through the reference host's file systems.
if(TARGET platform_host)
  target_link_libraries(${name} PRIVATE platform_host)
endif()
