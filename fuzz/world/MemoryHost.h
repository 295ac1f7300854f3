// The host the world fuzz targets that read through the file system run against: a reference
// host over a memory file system, with a muted log, bound to the module at 30 frames a second.
#pragma once
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/host/FlatTerrain.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "platform/win32/Messages.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Module.h"

namespace quor::fuzz {

// The host bound by BindMemoryHost (or by a target of its own through KeepNoRecords).
inline host::ReferenceHost* g_host = nullptr;

// A fuzz host keeps no record of what it is asked: records that grow with every input read to
// libFuzzer as a possible leak, and it answers each such input with a second run and a scan of
// the whole heap, which costs far more than the input.
inline void KeepNoRecords(host::ReferenceHost& h) {
    g_host = &h;
    h.log.SetRecordLimit(0);
    h.renderer.SetRecordLimit(0);
    h.renderer.SetKeepReleased(false);
    h.client.SetRecordLimit(0);
    win32::MessageSink::Instance().SetRecordLimit(0);
}

// Drops what the device and the file system's journal of opens recorded during an input (they
// keep thousands), and the terrains the input's scene gave back.
inline void EndInput() {
    if (!g_host) return;
    g_host->device.Direct3D().ClearCalls();
    if (g_host->files) g_host->files->ClearEvents();
    // Terrains given back stay for reading; a fuzz host has no reader for them.
    auto& terrains = g_host->terrain.terrains;
    terrains.erase(std::remove_if(terrains.begin(), terrains.end(), [](const auto& t) { return t->releases > 0; }),
                   terrains.end());
    std::vector<std::vector<float>>().swap(g_host->terrain.renders);
    g_host->audio.ClearCalls();
}

// Binds a new host and hands back its file system. Called once per run; the host is never
// freed, the module keeps its registry to the end. With worldServices the host offers the
// renderer, the loader (inline) and audio too, as the effect kinds need.
inline host::MemoryFileSystem* BindMemoryHost(bool worldServices = false) {
    auto owned = std::make_unique<host::MemoryFileSystem>();
    host::MemoryFileSystem* raw = owned.get();
    auto* h = new host::ReferenceHost(std::move(owned));
    h->log.SetMuted(true);
    KeepNoRecords(*h);
    h->PublishAll();
    if (worldServices) h->PublishWorldServices(0);
    Module::Instance().Register(&h->registry);
    Module::Instance().Initialize(&h->registry);
    FrameTimeControl::Instance().SetFrameRate(30);
    return raw;
}

}  // namespace quor::fuzz
