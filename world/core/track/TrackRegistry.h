#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win32/CriticalSection.h"

namespace quor::world {

class TrackBase;

// Track kind codes of the factory.
enum TrackKind : std::uint32_t {
    kTrackTranslate = 1,
    kTrackRotate = 2,
    kTrackScale = 3,
    kTrackLine = 8,
    kTrackCircle = 9,
    kTrackCurveBoxed = 16,
    kTrackSampled = 256,
};

// The one place tracks are made and destroyed: a factory by kind code and the list of every
// track made through it. The lock guards only the list; creation and loading run outside it.
class TrackRegistry {
public:
    static TrackRegistry& GetInstance();

    // A new track of the kind, owned by the caller; null for an unknown kind.
    static TrackBase* CreateTrack(std::uint32_t kind);
    // Creates the kind, fills it from the template record (when given) and keeps it.
    TrackBase* AddTrack(const void* record, std::uint32_t kind);
    // A track of the file's kind loaded from the file, kept; null on any failure.
    TrackBase* LoadTrackFile(const char* fileName);
    // Destroys a kept track that is not in use; anything else is left alone.
    void RemoveTrack(TrackBase* track);
    // Unchains and destroys every kept track (at shutdown, and between tests).
    void RemoveAll();

    std::size_t Count();
    bool Contains(const TrackBase* track);

private:
    TrackRegistry() = default;
    void Append(TrackBase* track);

    win32::CriticalSection m_lock;
    std::vector<TrackBase*> m_tracks;
};

}  // namespace quor::world
