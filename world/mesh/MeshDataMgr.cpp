#include "world/mesh/MeshDataMgr.h"

#include <strings.h>

#include "platform/host/IResFileSystem.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/NameHash64.h"
#include "world/core/XmlNodePtr.h"
#include "world/mesh/MeshData.h"
#include "world/scene/World.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace quor::world {

MeshDataMgr& MeshDataMgr::GetInstance() {
    static MeshDataMgr instance;
    return instance;
}

MeshDataMgr::~MeshDataMgr() { Clear(); }

bool MeshDataMgr::Normalise(const char* fileName, char (&path)[kPathSize]) {
    common::IResFileSystem* fs = Interfaces().resFileSystem;
    if (!fileName || !fs) return false;
    // A path cut to the buffer would share its entry with every file of the same prefix.
    if (!fs->MakeFullPath(fileName, path, kPathSize)) {
        LogError("Mesh file name too long: %s!", fileName);
        return false;
    }
    return true;
}

MeshData* MeshDataMgr::FindLocked(std::uint64_t key, const char* fullPath) {
    // The newest object of the key whose stored path is this one.
    auto range = m_entries.equal_range(key);
    for (auto it = range.second; it != range.first;) {
        --it;
        if (strcasecmp(it->second->NameText(), fullPath) == 0) return it->second;
    }
    return nullptr;
}

MeshData* MeshDataMgr::Find(const char* fullPath) {
    if (!fullPath || !ResourceCacheEnabled()) return nullptr;
    win32::CriticalSectionLock lock(m_lock);
    MeshData* data = FindLocked(NameHash64(fullPath), fullPath);
    if (data) data->AddRef();
    return data;
}

MeshData* MeshDataMgr::FindByName(const char* fileName) {
    // The host's file system is thread-safe: only the lookup needs the cache lock (Find).
    char path[kPathSize];
    if (!Normalise(fileName, path)) return nullptr;
    return Find(path);
}

MeshData* MeshDataMgr::Create(int type) {
    MeshData* data = nullptr;
    switch (type) {
        case kStatic: data = NewObject<MeshData>(); break;
        case kSkeletal: data = NewObject<MeshSkeletalData>(); break;
        default: LogError("Unknown model file type: %d!", type); return nullptr;
    }
    if (data) ++m_created;
    return data;
}

MeshData* MeshDataMgr::Insert(MeshData* data, std::uint64_t key, const char* fullPath) {
    win32::CriticalSectionLock lock(m_lock);
    if (ResourceCacheEnabled()) {
        // Another thread parsed the same file meanwhile: its entry stays, this copy goes.
        if (MeshData* present = FindLocked(key, fullPath)) {
            present->AddRef();
            Destroy(data);
            return present;
        }
    }
    data->nameKey = key;
    data->AddRef();
    m_entries.emplace(key, data);
    m_live.insert(data);
    return data;
}

MeshData* MeshDataMgr::Load(const char* fileName, int type) {
    char path[kPathSize];
    if (!Normalise(fileName, path)) return nullptr;
    if (MeshData* cached = Find(path)) return cached;
    MeshData* data = Create(type);
    if (!data) return nullptr;
    if (!data->LoadFile(path)) {
        Destroy(data);
        return nullptr;
    }
    return Insert(data, NameHash64(path), path);
}

MeshData* MeshDataMgr::LoadFromMemory(const char* fileName, const void* bytes, std::size_t size, int type) {
    win32::CriticalSectionLock lock(m_lock);
    char path[kPathSize];
    if (!Normalise(fileName, path)) return nullptr;
    if (MeshData* cached = Find(path)) return cached;
    MeshData* data = Create(type);
    if (!data) return nullptr;
    if (!data->LoadFromMemory(path, bytes, size)) {
        Destroy(data);
        return nullptr;
    }
    return Insert(data, NameHash64(path), path);
}

void MeshDataMgr::Destroy(MeshData* data) {
    delete data;
    ++m_destroyed;
}

void MeshDataMgr::Release(MeshData* data) {
    if (!data) return;
    win32::CriticalSectionLock lock(m_lock);
    if (!m_live.count(data)) return;
    // Only the object's own entry: another copy of the same name may live under the key.
    auto range = m_entries.equal_range(data->nameKey);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second != data) continue;
        if (data->ReleaseRef() <= 0) {
            m_entries.erase(it);
            m_live.erase(data);
            Destroy(data);
        }
        return;
    }
}

void MeshDataMgr::Clear() {
    win32::CriticalSectionLock lock(m_lock);
    for (auto& entry : m_entries) Destroy(entry.second);
    m_entries.clear();
    m_live.clear();
}

void MeshDataMgr::WriteMemoryReport(common::IXmlNode* node) {
    win32::CriticalSectionLock lock(m_lock);
    XmlNodePtr parent(node, false);
    XmlNodePtr child = parent.AddChild("MeshDataMgr");
    if (!child) return;
    for (const auto& entry : m_entries) entry.second->WriteStats(child.Get());
}

std::int32_t MeshDataMgr::SoleUserCount(const MeshData* data) { return data->RefCount(); }

std::size_t MeshDataMgr::Count() {
    win32::CriticalSectionLock lock(m_lock);
    return m_entries.size();
}

}  // namespace quor::world
