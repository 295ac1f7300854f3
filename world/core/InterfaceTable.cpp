#include "world/core/InterfaceTable.h"

#include "platform/host/IInterfaceRegistry.h"
#include "platform/win32/Clock.h"
#include "world/core/FrameTimeControl.h"

namespace quor {

namespace {
// Zero before any constructor of the library runs.
constinit InterfaceTable g_interfaces{};

// Taken at load time; the loading screen measures from it.
const std::uint32_t g_loadTime = win32::timeGetTime();

template <typename T>
void Store(T*& entry, void* value) {
    entry = static_cast<T*>(value);
}
}  // namespace

const char* const kInterfaceNames[kInterfaceCount] = {
    "IClient_1.3",   "IFileSystem_1.7", "IResFileSystem_1.2", "IAsyncLoader_1.2", "IPyClient_1.0",
    "ILog_1.5",      "IUtils_1.1",      "IRenderer_1.22",     "ID3DDevice_1.1",   "IWorld_1.16",
    "ICEGUI_2.0",    "IAudio_1.5",      "IPhysics_1.0",       "IPython_1.9",      "IOcclusion_1.1",
    "Terrain_2.1",   "network_1",
};

InterfaceTable& Interfaces() { return g_interfaces; }

void* InterfaceEntry(int index) {
    InterfaceTable& t = g_interfaces;
    void* const entries[kInterfaceCount] = {
        t.client,   t.fileSystem, t.resFileSystem, t.asyncLoader, t.pyClient,  t.log,
        t.utils,    t.renderer,   t.d3dDevice,     t.world,       t.gui,       t.audio,
        t.physics,  t.python,     t.occlusion,     t.terrain,     t.network,
    };
    return (index >= 0 && index < kInterfaceCount) ? entries[index] : nullptr;
}

void FetchInterfaces(client::IInterfaceRegistry* registry) {
    if (!registry) return;
    InterfaceTable& t = g_interfaces;
    auto next = [registry, i = 0]() mutable { return registry->GetInterface(kInterfaceNames[i++]); };
    // One call per name, strictly in table order.
    Store(t.client, next());
    Store(t.fileSystem, next());
    Store(t.resFileSystem, next());
    Store(t.asyncLoader, next());
    Store(t.pyClient, next());
    Store(t.log, next());
    Store(t.utils, next());
    Store(t.renderer, next());
    Store(t.d3dDevice, next());
    Store(t.world, next());
    Store(t.gui, next());
    Store(t.audio, next());
    Store(t.physics, next());
    Store(t.python, next());
    Store(t.occlusion, next());
    Store(t.terrain, next());
    Store(t.network, next());
}

void ResetInterfaces() {
    g_interfaces = InterfaceTable{};
    ForgetFrameTimeHandOver();
}

std::uint32_t ModuleLoadTime() { return g_loadTime; }

}  // namespace quor
