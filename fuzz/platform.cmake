# Stand-in readers of the platform tree.
foreach(lib avifile)
  if(TARGET platform_${lib})
    target_link_libraries(${name} PRIVATE platform_${lib})
  endif()
endforeach()
if(name MATCHES "^token_" AND TARGET platform_kernel)
  target_link_libraries(${name} PRIVATE platform_kernel)
endif()
