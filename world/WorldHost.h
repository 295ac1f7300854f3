#pragma once
// What a host of libworld.so includes: this header, or any header it names. Each of them
// includes only others of the list (world/HostHeaders.cmake keeps the list and checks it).
//
// libworld.so exports GetIntf alone, so the type information of the module's classes stays
// inside it: a host built with -fsanitize=undefined adds -fno-sanitize=vptr, or it does not link.
//
// The module's clocks stand still until the host sets the frame-time speed: set it (1 is real
// time) through the IFrameTimeControl the module hands the client, or animations never move.
#include "platform/host/IClient.h"
#include "platform/host/IFrameTimeControl.h"
#include "platform/host/IInterfaceRegistry.h"
#include "platform/host/IModule.h"
#include "platform/host/ITickObject.h"
#include "world/core/Align16.h"
#include "world/core/HostCamera.h"
#include "world/core/HostLight.h"
#include "world/core/HostPrimObject.h"
#include "world/core/HostSpaceObject.h"
#include "world/core/IBSPTree.h"
#include "world/core/ICamera.h"
#include "world/core/IExtVisibleHost.h"
#include "world/core/ILight.h"
#include "world/core/ILodGroup.h"
#include "world/core/IPrimObject.h"
#include "world/core/ISpaceLines.h"
#include "world/core/ISpaceObject.h"
#include "world/core/IVisibleObject.h"
#include "world/core/IWorld.h"
#include "world/core/math/Geometry.h"
#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"
#include "world/core/track/HostTrackSampled.h"
#include "world/core/track/ITrack.h"
#include "world/core/track/TrackTemplates.h"
#include "world/fx/IFxBase.h"
#include "world/fx/IPicture.h"
#include "world/mesh/IModel.h"
#include "world/scene/IScene.h"
#include "world/scene/ISpeaker.h"
