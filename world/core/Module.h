#pragma once
#include "platform/host/IModule.h"

namespace quor {

// What GetIntf hands the host: publishes the world, fetches the host's interfaces,
// shuts down and hands out the world. Holds no data; one static instance.
class Module final : public client::IModule {
public:
    static Module& Instance();
    // Frees the instance; only when the module is unloaded.
    static void ReleaseInstance();

    bool Register(client::IInterfaceRegistry* registry) override;
    bool Initialize(client::IInterfaceRegistry* registry) override;
    void Shutdown() override;
    world::IWorld* GetWorld() override;

private:
    Module() = default;
    ~Module() = default;
};

}  // namespace quor

// The library's only export.
extern "C" __attribute__((visibility("default"))) quor::client::IModule* GetIntf();
