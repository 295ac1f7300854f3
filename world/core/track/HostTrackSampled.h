#pragma once
// Host-facing: see world/HostHeaders.cmake.
#include "world/core/track/ITrack.h"

namespace quor::world {

// The module's sampled track of a model's socket, as IModel::GetSocket hands it out.
// A host keeps it as a handle and calls it through ITrack: the class derives from ITrack
// first, so the handle's address is the interface's (the module's tests hold it to that).
class TrackSampled;

inline ITrack* TrackSampledInterface(TrackSampled* object) { return reinterpret_cast<ITrack*>(object); }

}  // namespace quor::world
