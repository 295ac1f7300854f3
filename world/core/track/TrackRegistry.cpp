#include "world/core/track/TrackRegistry.h"

#include <algorithm>
#include <new>

#include "platform/host/IResFileSystem.h"
#include "world/core/BinaryReader.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/track/TrackData.h"
#include "world/core/track/TrackKinds.h"
#include "world/core/track/TrackSampled.h"

namespace quor::world {

namespace {
// Versions whose kind the registry reads; the data itself accepts fewer (TrackData).
constexpr std::uint32_t kFirstVersion = 0x10000;
constexpr std::uint32_t kLastVersion = 0x30011;
}  // namespace

TrackRegistry& TrackRegistry::GetInstance() {
    static TrackRegistry registry;
    return registry;
}

TrackBase* TrackRegistry::CreateTrack(std::uint32_t kind) {
    switch (kind) {
    case kTrackTranslate: return NewObject<TrackTranslate>();
    case kTrackRotate: return NewObject<TrackRotate>();
    case kTrackScale: return NewObject<TrackScale>();
    case kTrackLine: return NewObject<TrackLine>();
    case kTrackCircle: return NewObject<TrackCircle>();
    case kTrackCurveBoxed: return NewObject<TrackCurveBoxed>();
    case kTrackSampled: return NewObject<TrackSampled>();
    default: return nullptr;
    }
}

void TrackRegistry::Append(TrackBase* track) {
    win32::CriticalSectionLock lock(m_lock);
    m_tracks.push_back(track);
}

TrackBase* TrackRegistry::AddTrack(const void* record, std::uint32_t kind) {
    TrackBase* track = CreateTrack(kind);
    if (!track) return nullptr;
    // A kind that refuses its template stays inert (a sampled track without data never
    // starts); callers rely on getting the track either way.
    if (record) track->InitFrom(record);
    Append(track);
    return track;
}

TrackBase* TrackRegistry::LoadTrackFile(const char* fileName) {
    common::IResFileSystem* fs = Interfaces().resFileSystem;
    common::IResFile* file = fs && fileName ? fs->OpenFile(fileName, 0) : nullptr;
    if (!file) {
        LogWarning("Track file %s is not found!", fileName ? fileName : "");
        return nullptr;
    }
    const BinaryReader header(file->GetData(), file->GetSize());
    // Size and magic first: the version and kind of a short file are not there to read.
    const bool good = header.Has(0, kTrackHeaderSize) && header.U32At(0) == kTrackMagic;
    const std::uint32_t version = header.U32At(4);
    const std::uint16_t kind = header.U16At(8);
    file->Close();
    if (!good) {
        LogError("Bad format in track file %s!", fileName);
        return nullptr;
    }
    if (version < kFirstVersion || version > kLastVersion) return nullptr;
    TrackBase* track = CreateTrack(kind);
    if (!track) return nullptr;
    if (!track->LoadFile(fileName)) {
        delete track;
        return nullptr;
    }
    Append(track);
    return track;
}

void TrackRegistry::RemoveTrack(TrackBase* track) {
    if (!track) return;
    win32::CriticalSectionLock lock(m_lock);
    if (track->InUse()) return;
    auto it = std::find(m_tracks.begin(), m_tracks.end(), track);
    if (it == m_tracks.end()) return;
    m_tracks.erase(it);
    delete track;
}

void TrackRegistry::RemoveAll() {
    win32::CriticalSectionLock lock(m_lock);
    for (TrackBase* t : m_tracks) t->UnlinkNext(false);
    for (TrackBase* t : m_tracks) delete t;
    m_tracks.clear();
}

std::size_t TrackRegistry::Count() {
    win32::CriticalSectionLock lock(m_lock);
    return m_tracks.size();
}

bool TrackRegistry::Contains(const TrackBase* track) {
    win32::CriticalSectionLock lock(m_lock);
    return std::find(m_tracks.begin(), m_tracks.end(), track) != m_tracks.end();
}

}  // namespace quor::world
