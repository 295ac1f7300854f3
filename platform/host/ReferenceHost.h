#pragma once
#include <memory>

#include "platform/host/HostUtils.h"
#include "platform/host/InterfaceRegistry.h"
#include "platform/host/RecordingClient.h"
#include "platform/host/RecordingLog.h"
#include "platform/host/ResFileSystemBase.h"

namespace quor::host {

// The reference host as one object: a registry and the services it can publish.
class ReferenceHost {
public:
    // files: the resource file system to publish (a MemoryFileSystem when null).
    explicit ReferenceHost(std::unique_ptr<ResFileSystemBase> files = nullptr);

    // Registers every service under its versioned name.
    void PublishAll();

    InterfaceRegistry registry;
    RecordingLog log;
    RecordingClient client;
    HostUtils utils;
    std::unique_ptr<ResFileSystemBase> files;
};

}  // namespace quor::host
