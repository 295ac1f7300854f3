// Feeds arbitrary bytes to the track file readers: the registry's header check and the data
// reader through the file system, the body from memory, and a sampled track playing what
// loaded. Nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/world/MemoryHost.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Memory.h"
#include "world/core/Module.h"
#include "world/core/track/TrackBase.h"
#include "world/core/track/TrackData.h"
#include "world/core/track/TrackDataMgr.h"
#include "world/core/track/TrackRegistry.h"
#include "world/core/track/TrackSampled.h"

namespace {

quor::host::MemoryFileSystem& Files() {
    static quor::host::MemoryFileSystem* files = [] {
        quor::host::MemoryFileSystem* raw = quor::fuzz::BindMemoryHost();
        quor::FrameTimeControl::Instance().SetSpeed(1.0f);
        return raw;
    }();
    return *files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::host::MemoryFileSystem& files = Files();
    files.AddFile("fuzz.trk", std::vector<std::uint8_t>(data, data + size));
    {
        quor::TrackData body;
        body.LoadFromMemory(data, static_cast<std::uint32_t>(size));
    }
    if (quor::world::TrackBase* track = quor::world::TrackRegistry::GetInstance().LoadTrackFile("fuzz.trk")) {
        track->Start();
        for (int frame = 0; frame < 8; ++frame) track->Advance();
        track->SetTime(track->GetLength() * 0.5f);
        quor::world::TrackRegistry::GetInstance().RemoveTrack(track);
    }
    quor::TrackDataMgr::GetInstance().Clear();
    return 0;
}
