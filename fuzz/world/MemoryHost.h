// The host the world fuzz targets that read through the file system run against: a reference
// host over a memory file system, with a muted log, bound to the module at 30 frames a second.
#pragma once
#include <memory>
#include <utility>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Module.h"

namespace quor::fuzz {

// Binds a new host and hands back its file system. Called once per run; the host is never
// freed, the module keeps its registry to the end. With worldServices the host offers the
// renderer, the loader (inline) and audio too, as the effect kinds need.
inline host::MemoryFileSystem* BindMemoryHost(bool worldServices = false) {
    auto owned = std::make_unique<host::MemoryFileSystem>();
    host::MemoryFileSystem* raw = owned.get();
    auto* h = new host::ReferenceHost(std::move(owned));
    h->log.SetMuted(true);
    h->PublishAll();
    if (worldServices) h->PublishWorldServices(0);
    Module::Instance().Register(&h->registry);
    Module::Instance().Initialize(&h->registry);
    FrameTimeControl::Instance().SetFrameRate(30);
    return raw;
}

}  // namespace quor::fuzz
