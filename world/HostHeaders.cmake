# The headers a host of libworld.so includes: world/WorldHost.h and every header it names,
# relative to the source root. Each includes only others of this list (checked below), so
# installing exactly this list gives a host everything it compiles against.
set(QUOR_WORLD_HOST_HEADERS
  world/WorldHost.h
  platform/host/IClient.h
  platform/host/IFrameTimeControl.h
  platform/host/IInterfaceRegistry.h
  platform/host/IModule.h
  platform/host/ITickObject.h
  world/core/Align16.h
  world/core/HostCamera.h
  world/core/HostLight.h
  world/core/HostPrimObject.h
  world/core/HostSpaceObject.h
  world/core/IBSPTree.h
  world/core/ICamera.h
  world/core/IExtVisibleHost.h
  world/core/ILight.h
  world/core/ILodGroup.h
  world/core/IPrimObject.h
  world/core/ISpaceLines.h
  world/core/ISpaceObject.h
  world/core/IVisibleObject.h
  world/core/IWorld.h
  world/core/math/Geometry.h
  world/core/math/Matrix.h
  world/core/math/MatrixSse.h
  world/core/math/Vector.h
  world/core/track/HostTrackSampled.h
  world/core/track/ITrack.h
  world/core/track/TrackTemplates.h
  world/fx/IFxBase.h
  world/fx/IPicture.h
  world/mesh/IModel.h
  world/scene/IScene.h
  world/scene/ISpeaker.h)
# Parts of another header of the list, which compile only inside it.
set(QUOR_WORLD_HOST_HEADER_PARTS world/core/math/MatrixSse.h)

# A host-facing header that starts to include anything else, or a header of the list that
# world/WorldHost.h does not name, stops the configuration here rather than in a host's build.
function(quor_check_world_host_headers root)
  set(umbrella world/WorldHost.h)
  file(STRINGS ${root}/${umbrella} named REGEX "^#include \"")
  list(TRANSFORM named REPLACE "^#include \"([^\"]+)\".*" "\\1")
  foreach(header IN LISTS QUOR_WORLD_HOST_HEADERS)
    if(NOT EXISTS ${root}/${header})
      message(FATAL_ERROR "host-facing header ${header} does not exist")
    endif()
    if(NOT header STREQUAL umbrella AND NOT header IN_LIST named AND NOT header IN_LIST QUOR_WORLD_HOST_HEADER_PARTS)
      message(FATAL_ERROR "host-facing header ${header} is not named by ${umbrella}")
    endif()
    file(STRINGS ${root}/${header} includes REGEX "^#include \"")
    list(TRANSFORM includes REPLACE "^#include \"([^\"]+)\".*" "\\1")
    foreach(included IN LISTS includes)
      if(NOT included IN_LIST QUOR_WORLD_HOST_HEADERS)
        message(FATAL_ERROR "host-facing header ${header} includes ${included}, which a host does not have")
      endif()
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${root}/${header})
  endforeach()
endfunction()
quor_check_world_host_headers(${PROJECT_SOURCE_DIR})
