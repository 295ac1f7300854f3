target_link_libraries(${program} PRIVATE scene_static)
# One test draws world frames with the reference GL renderer beside a view.
target_link_libraries(${program} PRIVATE platform_glrender)
