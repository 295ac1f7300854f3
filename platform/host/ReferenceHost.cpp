#include "platform/host/ReferenceHost.h"

#include "platform/host/MemoryFileSystem.h"

namespace quor::host {

ReferenceHost::ReferenceHost(std::unique_ptr<ResFileSystemBase> fs)
    : files(fs ? std::move(fs) : std::make_unique<MemoryFileSystem>()), audio(files.get()) {
    renderer.Attach(files.get(), &log);
    renderer.AttachDevice(&device.Direct3D());
    // Scene files name their terrain files on the same resource root as everything else.
    terrain.files = files.get();
}

void ReferenceHost::PublishAll() {
    registry.Add<client::IClient>("IClient_1.3", &client);
    registry.Add<common::IResFileSystem>("IResFileSystem_1.2", files.get());
    registry.Add<common::ILog>("ILog_1.5", &log);
    registry.Add<common::IUtils>("IUtils_1.1", &utils);
}

void ReferenceHost::PublishWorldServices(int loaderThreads) {
    if (!loader) loader = std::make_unique<AsyncLoader>(loaderThreads);
    registry.Add<render::IRenderer>("IRenderer_1.22", m_published ? m_published : &renderer);
    registry.Add<render::ID3DDevice>("ID3DDevice_1.1", &device);
    registry.Add<common::IAsyncLoader>("IAsyncLoader_1.2", loader.get());
    registry.Add<client::IAudio>("IAudio_1.5", &audio);
    registry.Add<render::IOcclusion>("IOcclusion_1.1", &occlusion);
    registry.Add<render::Terrain>("Terrain_2.1", &terrain);
}

void ReferenceHost::PublishScriptClient() { registry.Add<client::IPyClient>("IPyClient_1.0", &scriptClient); }

}  // namespace quor::host
