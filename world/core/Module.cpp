#include "world/core/Module.h"

#include <new>

#include "platform/host/IInterfaceRegistry.h"
#include "platform/host/ILog.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Memory.h"
#include "world/scene/World.h"

namespace quor {

Module& Module::Instance() {
    // Never destroyed: the host may still hold the pointer while the process exits.
    static Module* module = new (std::nothrow) Module;
    if (!module) OutOfMemory(sizeof(Module));
    return *module;
}

bool Module::Register(client::IInterfaceRegistry* registry) {
    if (registry) registry->RegisterInterface("IWorld_1.16", static_cast<world::IWorld*>(&World::Instance()));
    return true;
}

bool Module::Initialize(client::IInterfaceRegistry* registry) {
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
