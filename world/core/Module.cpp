#include "world/core/Module.h"

#include <new>

#include "platform/host/IInterfaceRegistry.h"
#include "platform/host/ILog.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Memory.h"
#include "world/scene/World.h"

namespace quor {

namespace {
Module* g_module = nullptr;
}

Module& Module::Instance() {
    // Not destroyed with the static objects: the host may still hold the pointer while the
    // process exits. The module's unload frees it.
    static Module* module = g_module = new (std::nothrow) Module;
    if (!module) OutOfMemory(sizeof(Module));
    return *module;
}

void Module::ReleaseInstance() {
    delete g_module;
    g_module = nullptr;
}

bool Module::Register(client::IInterfaceRegistry* registry) {
    // Without a registry the host can never reach the world.
    if (!registry) return false;
    registry->RegisterInterface("IWorld_1.16", static_cast<world::IWorld*>(&World::Instance()));
    return true;
}

bool Module::Initialize(client::IInterfaceRegistry* registry) {
    // Nothing to bind to: no service, not even a log to say so.
    if (!registry) return false;
    FetchInterfaces(registry);
    Interfaces().logChannel = kWorldLogChannel;
    // Without a log the module stays quiet instead of calling through null.
    if (common::ILog* log = Interfaces().log) log->RegisterChannel(kWorldLogChannel, kWorldLogChannelName);
    // Clocks made before the client existed still need the host to get the frame-time control.
    HandFrameTimeControlToClient();
    return true;
}

void Module::Shutdown() { World::Instance().Shutdown(); }

world::IWorld* Module::GetWorld() { return &World::Instance(); }

}  // namespace quor

extern "C" quor::client::IModule* GetIntf() { return &quor::Module::Instance(); }
