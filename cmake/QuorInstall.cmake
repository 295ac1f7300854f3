# cmake --install <build> --prefix <prefix>: what a host project needs, laid out as a Debian
# library package lays it out:
#   lib/        libworld.so and libscene.so (versioned sonames), the stand-in libraries they
#               load beside them, the reference host's archives
#   include/quor/   the host-facing headers, by their repository paths
#   lib/cmake/QuorWorld, lib/cmake/QuorScene   find_package(QuorWorld) / find_package(QuorScene)
#   lib/pkgconfig/  quor-world.pc, quor-scene.pc
# Every installed library finds its companions through $ORIGIN, never through a build path.
include(CMakePackageConfigHelpers)

set(QUOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake)
set(QUOR_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/quor)

function(quor_install_headers)
  foreach(header IN LISTS ARGN)
    get_filename_component(dir ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${QUOR_INCLUDE_DIR}/${dir})
  endforeach()
endfunction()

# Writes and installs <package>Config.cmake and its version file; `dependencies` is CMake code
# run before the targets are read (it finds what their link interfaces name).
function(quor_install_package package dependencies)
  set(dir ${QUOR_CMAKE_DIR}/${package})
  install(EXPORT ${package}Targets NAMESPACE ${package}:: DESTINATION ${dir})
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${package}Config.cmake CONTENT
"include(CMakeFindDependencyMacro)
${dependencies}
include(\${CMAKE_CURRENT_LIST_DIR}/${package}Targets.cmake)
" @ONLY)
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${package}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${package}Config.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/${package}ConfigVersion.cmake DESTINATION ${dir})
endfunction()

# pkg-config files find the prefix from their own folder, so the tree can be installed anywhere.
function(quor_install_pkgconfig name)
  file(RELATIVE_PATH QUOR_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" QUOR_PC_TO_PREFIX "${QUOR_PC_TO_PREFIX}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${name}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

set(QUOR_PKG_DEPENDENCIES "find_dependency(PkgConfig)
foreach(_quor_module IN ITEMS @modules@)
  string(REPLACE \"=\" \";\" _quor_pair \${_quor_module})
  list(GET _quor_pair 0 _quor_prefix)
  list(GET _quor_pair 1 _quor_name)
  if(NOT TARGET PkgConfig::\${_quor_prefix})
    pkg_check_modules(\${_quor_prefix} REQUIRED IMPORTED_TARGET \${_quor_name})
  endif()
endforeach()
unset(_quor_module)
unset(_quor_pair)
unset(_quor_prefix)
unset(_quor_name)")

# --- libworld.so: the module, the Win32 stand-in it loads, and the reference host -----------
set(world_installed world platform_win32 platform_host platform_d3d9 platform_glrender)
set_target_properties(world PROPERTIES EXPORT_NAME world)
set_target_properties(platform_win32 PROPERTIES EXPORT_NAME win32)
set_target_properties(platform_host PROPERTIES EXPORT_NAME reference_host)
set_target_properties(platform_d3d9 PROPERTIES EXPORT_NAME cpu_device)
set_target_properties(platform_glrender PROPERTIES EXPORT_NAME gl_renderer)
set_target_properties(world platform_win32 PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${world_installed} EXPORT QuorWorldTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${QUOR_INCLUDE_DIR})
quor_install_headers(${QUOR_WORLD_HOST_HEADERS})
# The reference host a host program may bind instead of its own engine, and the stand-in types
# its signatures carry.
set(QUOR_REFERENCE_HOST_HEADERS
  platform/host/IAsyncLoader.h
  platform/host/IAudio.h
  platform/host/ICEGUI.h
  platform/host/ICollisionOwner.h
  platform/host/ID3DDevice.h
  platform/host/IDecal.h
  platform/host/IDeviceCallback.h
  platform/host/IEffect.h
  platform/host/IFileSystem.h
  platform/host/ILightSet.h
  platform/host/ILog.h
  platform/host/IMaterial.h
  platform/host/IOcclusion.h
  platform/host/IPhysics.h
  platform/host/IPrimitive.h
  platform/host/IPyClient.h
  platform/host/IPython.h
  platform/host/IRenderCamera.h
  platform/host/IRenderView.h
  platform/host/IRenderer.h
  platform/host/IResFileSystem.h
  platform/host/ISkinBuffer.h
  platform/host/ITexture.h
  platform/host/IUpperText.h
  platform/host/IUtils.h
  platform/host/IXmlNode.h
  platform/d3d9/D3D9Types.h
  platform/d3d9/Device.h
  platform/d3d9/Texture.h
  platform/glrender/GlRenderer.h
  platform/host/AsyncLoader.h
  platform/host/DirectoryFileSystem.h
  platform/host/FlatTerrain.h
  platform/host/HostUtils.h
  platform/host/InterfaceRegistry.h
  platform/host/MaterialFormat.h
  platform/host/RecordingClient.h
  platform/host/RecordingDecal.h
  platform/host/RecordingDevice.h
  platform/host/RecordingHostParts.h
  platform/host/RecordingLights.h
  platform/host/RecordingLog.h
  platform/host/RecordingPrimitive.h
  platform/host/RecordingRenderer.h
  platform/host/RecordingResources.h
  platform/host/RecordingScriptClient.h
  platform/host/RecordingSkinBuffer.h
  platform/host/ReferenceHost.h
  platform/host/RenderCamera.h
  platform/host/ResFileSystemBase.h
  platform/host/TechniqueDesc.h
  platform/host/Terrain.h
  platform/host/TerrainObject.h
  platform/win32/CriticalSection.h
  platform/win32/Interlocked.h
  platform/win32/Messages.h
  platform/win32/RecentRecords.h
  platform/win32/Types.h
)
quor_install_headers(${QUOR_REFERENCE_HOST_HEADERS})
set(modules "QUOR_STB=stb QUOR_OSMESA=osmesa")
string(CONFIGURE "${QUOR_PKG_DEPENDENCIES}" pkg @ONLY)
quor_install_package(QuorWorld "find_dependency(Threads)
find_dependency(pugixml)
${pkg}")
quor_install_pkgconfig(quor-world)

# --- libscene.so and the stand-ins whose types its classes carry ------------------------------
set(scene_installed scene platform_wgl platform_mfc platform_kernel)
if(TARGET platform_avifile)
  list(APPEND scene_installed platform_avifile)
endif()
foreach(target IN LISTS scene_installed)
  string(REGEX REPLACE "^platform_" "" name ${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name} INSTALL_RPATH "$ORIGIN")
endforeach()
install(TARGETS ${scene_installed} EXPORT QuorSceneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} INCLUDES DESTINATION ${QUOR_INCLUDE_DIR})
quor_install_headers(${QUOR_SCENE_HOST_HEADERS})
# OSMesa before GLU, and never libGL: the window system's link interface names both.
set(modules "QUOR_OSMESA=osmesa QUOR_GLU=glu")
string(CONFIGURE "${QUOR_PKG_DEPENDENCIES}" pkg @ONLY)
quor_install_package(QuorScene "${pkg}")
quor_install_pkgconfig(quor-scene)
