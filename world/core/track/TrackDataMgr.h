#pragma once
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "platform/win32/CriticalSection.h"

namespace quor::common {
class IXmlNode;
}

namespace quor {

class TrackData;

// The process-wide cache of loaded track data, by full resource path. Loaded data is
// read-only and shared; counts change by interlocked operations; the lock guards only the
// map, and files are read outside it (loader threads load too).
class TrackDataMgr {
public:
    static TrackDataMgr& GetInstance();
    virtual ~TrackDataMgr();

    // Destroys every entry (World shutdown).
    virtual void Clear();
    // The entry of that full path with its count raised, or null.
    virtual TrackData* Find(const char* fullPath);

    // The data of the file, cached by its full path; its count raised. Null on failure.
    TrackData* Load(const char* name);
    // A new empty entry "<empty_track_%06d>" with count 1.
    TrackData* CreateEmpty();
    // Drops one count; at zero the entry is destroyed. Data the cache does not hold is ignored.
    void Release(TrackData* data);
    void WriteMemoryReport(common::IXmlNode* node);

    std::size_t Count();

private:
    TrackDataMgr() = default;
    // Looks the path up under the lock the caller holds.
    TrackData* FindLocked(std::uint32_t key, const char* fullPath);

    win32::CriticalSection m_lock;
    std::unordered_multimap<std::uint32_t, TrackData*> m_map;
    // The objects held, by address: a release after Clear must not read a deleted object.
    std::unordered_set<const TrackData*> m_live;
    std::uint32_t m_emptyNumber = 0;
};

}  // namespace quor
