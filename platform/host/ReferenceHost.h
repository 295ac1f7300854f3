#pragma once
#include <memory>

#include "platform/host/AsyncLoader.h"
#include "platform/host/HostUtils.h"
#include "platform/host/InterfaceRegistry.h"
#include "platform/host/RecordingClient.h"
#include "platform/host/RecordingDevice.h"
#include "platform/host/RecordingHostParts.h"
#include "platform/host/RecordingLog.h"
#include "platform/host/RecordingRenderer.h"
#include "platform/host/RecordingScriptClient.h"
#include "platform/host/ResFileSystemBase.h"

namespace quor::host {

// The reference host as one object: a registry and the services it can publish.
class ReferenceHost {
public:
    // files: the resource file system to publish (a MemoryFileSystem when null).
    explicit ReferenceHost(std::unique_ptr<ResFileSystemBase> files = nullptr);

    // Registers every service under its versioned name.
    void PublishAll();
    // Also publishes what the world's frame stands on: renderer, device, asynchronous loader
    // (loaderThreads workers, 0 for the inline mode), audio, occlusion and terrain.
    void PublishWorldServices(int loaderThreads = 2);
    // The renderer PublishWorldServices publishes instead of the recording one (null: the
    // recording one); call before publishing.
    void UseRenderer(render::IRenderer* other) { m_published = other; }
    // The script client stays absent unless a test asks for it.
    void PublishScriptClient();

    InterfaceRegistry registry;
    RecordingLog log;
    RecordingClient client;
    HostUtils utils;
    std::unique_ptr<ResFileSystemBase> files;
    RecordingRenderer renderer;
    RecordingDevice device;
    RecordingAudio audio;
    RecordingOcclusion occlusion;
    RecordingTerrain terrain;
    RecordingScriptClient scriptClient;
    // Last, so that its workers stop before anything they call goes.
    std::unique_ptr<AsyncLoader> loader;

private:
    render::IRenderer* m_published = nullptr;
};

}  // namespace quor::host
