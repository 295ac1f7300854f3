#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <unordered_set>

#include "platform/win32/CriticalSection.h"

namespace quor::common {
class IXmlNode;
}

namespace quor {

class SkelAnimsData;

// The process-wide cache of loaded skeletal animation files, by normalised file name. The
// cache holds no count of its own: an entry lives while its count is above zero. Loads run
// inside the lock, so two threads asking for one file read it once.
class SkelAnimsDataMgr {
public:
    // Longest file name taken (the normalised name must fit 260 characters).
    static constexpr std::size_t kMaxNameLength = 259;

    static SkelAnimsDataMgr& GetInstance();
    virtual ~SkelAnimsDataMgr();

    // The entry of that normalised name with its count raised, or null (always null while the
    // World's resource-cache flag is off). The caller holds the lock.
    virtual SkelAnimsData* Find(const char* name);
    SkelAnimsData* GetOrLoad(const char* fileName, const char* pivotName);
    // Gives one reference back; at zero the object is unmapped and deleted.
    void Release(SkelAnimsData* data);
    // Deletes every cached object whatever its count (World shutdown).
    void Clear();
    void WriteMemoryReport(common::IXmlNode* node);

    std::size_t Count();

private:
    SkelAnimsDataMgr() = default;

    win32::CriticalSection m_lock;
    // Names may share the 32 key bits: colliding entries coexist, and the stored name decides.
    std::multimap<std::uint32_t, SkelAnimsData*> m_entries;
    // The objects held, by address: a release after Clear must not read a deleted object.
    std::unordered_set<const SkelAnimsData*> m_live;
};

}  // namespace quor
