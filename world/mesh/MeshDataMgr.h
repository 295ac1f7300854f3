#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <unordered_set>

#include "platform/win32/CriticalSection.h"

namespace quor {
class MeshData;
}
namespace quor::common {
class IXmlNode;
}

namespace quor::world {

// The process-wide cache of parsed mesh files: every model that shows one file shares one
// MeshData. Entries are keyed by the 64-bit hash of the host's full path and counted by the
// objects' own interlocked counts; the lock guards only the map.
class MeshDataMgr {
public:
    enum Type { kStatic = 0, kSkeletal = 1 };
    static constexpr std::size_t kPathSize = 260;

    static MeshDataMgr& GetInstance();
    virtual ~MeshDataMgr();

    // Destroys every entry whatever its count (world shutdown).
    virtual void Clear();
    // The entry of a full path with its count raised; null when the resource cache is off.
    virtual MeshData* Find(const char* fullPath);

    // Find of the host's full path of a file name.
    MeshData* FindByName(const char* fileName);
    // The parsed file with one count for the caller, or null.
    MeshData* Load(const char* fileName, int type);
    // The same for a file image the caller holds; the parse runs under the cache lock.
    MeshData* LoadFromMemory(const char* fileName, const void* data, std::size_t size, int type);
    // Drops one count; at zero the entry is erased and destroyed. Objects the cache does not
    // hold (already cleared) are not touched.
    void Release(MeshData* data);
    // A "MeshDataMgr" child holding each entry's statistics.
    void WriteMemoryReport(common::IXmlNode* node);

    std::size_t Count();
    // Runs `change` under the cache lock only while the caller holds the data's only count:
    // no other user can be handed the object while it changes. False when it did not run.
    template <typename F>
    bool RunIfSoleUser(const MeshData* data, F&& change);
    // Objects this cache has made and destroyed since start (for leak and double-release checks).
    std::size_t CreatedCount() const { return m_created.load(); }
    std::size_t DestroyedCount() const { return m_destroyed.load(); }

private:
    MeshDataMgr() = default;
    static std::int32_t SoleUserCount(const MeshData* data);
    // The host's full path of a name; false when there is no file system or it does not fit.
    static bool Normalise(const char* fileName, char (&path)[kPathSize]);
    // The entry of that key and path, under the lock the caller holds.
    MeshData* FindLocked(std::uint64_t key, const char* fullPath);
    MeshData* Create(int type);
    // Stores a freshly parsed object, or answers the entry that another thread stored meanwhile.
    MeshData* Insert(MeshData* data, std::uint64_t key, const char* fullPath);
    void Destroy(MeshData* data);

    win32::CriticalSection m_lock;
    // Several live objects may share a key: paths sharing a hash, and copies parsed while the
    // resource cache is off. Each object's own entry is found by address.
    std::multimap<std::uint64_t, MeshData*> m_entries;
    // The objects held, by address only: a release is checked here before the object is read,
    // since after Clear it may be gone.
    std::unordered_set<const MeshData*> m_live;
    std::atomic<std::size_t> m_created{0};
    std::atomic<std::size_t> m_destroyed{0};
};

template <typename F>
bool MeshDataMgr::RunIfSoleUser(const MeshData* data, F&& change) {
    win32::CriticalSectionLock lock(m_lock);
    if (!data || SoleUserCount(data) != 1) return false;
    change();
    return true;
}

}  // namespace quor::world
