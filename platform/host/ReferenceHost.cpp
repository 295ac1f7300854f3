#include "platform/host/ReferenceHost.h"

#include "platform/host/MemoryFileSystem.h"

namespace quor::host {

ReferenceHost::ReferenceHost(std::unique_ptr<ResFileSystemBase> fs)
    : files(fs ? std::move(fs) : std::make_unique<MemoryFileSystem>()) {}

void ReferenceHost::PublishAll() {
    registry.Add<client::IClient>("IClient_1.3", &client);
    registry.Add<common::IResFileSystem>("IResFileSystem_1.2", files.get());
    registry.Add<common::ILog>("ILog_1.5", &log);
    registry.Add<common::IUtils>("IUtils_1.1", &utils);
}

}  // namespace quor::host
