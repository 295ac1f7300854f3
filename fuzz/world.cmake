# World fuzz targets bind the reference host (file system, XML, log) the way a host does.
if(TARGET platform_host)
  target_link_libraries(${name} PRIVATE platform_host)
endif()
