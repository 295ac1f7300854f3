#pragma once
#include <cstdint>

namespace quor {
class IFrameTimeControl;
}
namespace quor::client {
class IClient;
class IInterfaceRegistry;
class IPyClient;
class ICEGUI;
class IAudio;
class IPhysics;
class IPython;
class network;
}  // namespace quor::client
namespace quor::common {
class IFileSystem;
class IResFileSystem;
class IAsyncLoader;
class ILog;
class IUtils;
}  // namespace quor::common
namespace quor::render {
class IRenderer;
class ID3DDevice;
class IOcclusion;
class Terrain;
}  // namespace quor::render
namespace quor::world {
class IWorld;
}

namespace quor {

// The host's interfaces, fetched by versioned name once in Module::Initialize and only
// read afterwards. IClient, IPyClient, ICEGUI, IOcclusion and Terrain may be null and are tested
// before use; so is ILog, so that a host without a log makes the module quiet rather
// than crash.
struct InterfaceTable {
    client::IClient* client;
    common::IFileSystem* fileSystem;
    common::IResFileSystem* resFileSystem;
    common::IAsyncLoader* asyncLoader;
    client::IPyClient* pyClient;
    common::ILog* log;
    common::IUtils* utils;
    render::IRenderer* renderer;
    render::ID3DDevice* d3dDevice;
    world::IWorld* world;
    client::ICEGUI* gui;
    client::IAudio* audio;
    client::IPhysics* physics;
    client::IPython* python;
    render::IOcclusion* occlusion;
    render::Terrain* terrain;
    client::network* network;
    std::int32_t logChannel;
};

constexpr int kInterfaceCount = 17;
constexpr std::int32_t kWorldLogChannel = 20;
constexpr const char* kWorldLogChannelName = "WORLD";

// The versioned names, in table order.
extern const char* const kInterfaceNames[kInterfaceCount];

InterfaceTable& Interfaces();
// Entry i of the table as an untyped pointer (0 <= i < kInterfaceCount).
void* InterfaceEntry(int index);

// Asks the registry for every name in table order and stores each answer as given.
void FetchInterfaces(client::IInterfaceRegistry* registry);
// Empties the table, for tests that bind more than once in one process.
void ResetInterfaces();

// The system millisecond time when the library was loaded.
std::uint32_t ModuleLoadTime();

}  // namespace quor
