target_link_libraries(${program} PRIVATE scene_static)
