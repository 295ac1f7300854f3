#pragma once
#include <memory>

#include "platform/host/ReferenceHost.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Module.h"

namespace quor::test {

// A reference host bound to the module the way a host binds it: every service published,
// then Register and Initialize. The interface table is emptied again on destruction so
// that tests sharing one process start clean.
struct BoundHost {
    explicit BoundHost(std::unique_ptr<host::ResFileSystemBase> files = nullptr) : host(std::move(files)) {
        ResetInterfaces();
        // Unit tests start from the module's own standing clocks and set the speed where they
        // step time (the reference client would set real time).
        host.client.startSpeed = 0.0f;
        host.PublishAll();
        Module::Instance().Register(&host.registry);
        Module::Instance().Initialize(&host.registry);
    }
    ~BoundHost() { ResetInterfaces(); }
    BoundHost(const BoundHost&) = delete;
    BoundHost& operator=(const BoundHost&) = delete;

    host::ReferenceHost host;
};

}  // namespace quor::test
