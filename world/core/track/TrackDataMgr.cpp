#include "world/core/track/TrackDataMgr.h"

#include <cstdio>
#include <new>
#include <strings.h>

#include "platform/host/IResFileSystem.h"
#include "platform/host/IXmlNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/NameHash64.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/track/TrackData.h"

namespace quor {

namespace {
std::uint32_t KeyOf(const char* path) { return static_cast<std::uint32_t>(NameHash64(path)); }
}  // namespace

TrackDataMgr& TrackDataMgr::GetInstance() {
    static TrackDataMgr manager;
    return manager;
}

TrackDataMgr::~TrackDataMgr() { Clear(); }

TrackData* TrackDataMgr::FindLocked(std::uint32_t key, const char* fullPath) {
    // Paths may share the 32 key bits: the stored path decides.
    auto range = m_map.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        if (strcasecmp(it->second->Name().c_str(), fullPath) == 0) return it->second;
    }
    return nullptr;
}

TrackData* TrackDataMgr::Find(const char* fullPath) {
    if (!fullPath) return nullptr;
    win32::CriticalSectionLock lock(m_lock);
    TrackData* data = FindLocked(KeyOf(fullPath), fullPath);
    if (data) data->AddRef();
    return data;
}

TrackData* TrackDataMgr::Load(const char* name) {
    common::IResFileSystem* fs = Interfaces().resFileSystem;
    if (!name || !fs) return nullptr;
    char path[260];
    if (!fs->MakeFullPath(name, path, sizeof path)) return nullptr;
    if (TrackData* cached = Find(path)) return cached;
    auto* data = NewObject<TrackData>();
    if (!data) return nullptr;
    if (!data->LoadFile(path)) {
        delete data;
        return nullptr;
    }
    const std::uint32_t key = KeyOf(path);
    data->nameHash = key;
    win32::CriticalSectionLock lock(m_lock);
    // Another thread may have loaded the same file meanwhile: its entry stays.
    if (TrackData* first = FindLocked(key, path)) {
        first->AddRef();
        delete data;
        return first;
    }
    data->AddRef();
    m_map.emplace(key, data);
    m_live.insert(data);
    return data;
}

TrackData* TrackDataMgr::CreateEmpty() {
    auto* data = NewObject<TrackData>();
    if (!data) return nullptr;
    win32::CriticalSectionLock lock(m_lock);
    char name[64];
    std::snprintf(name, sizeof name, "<empty_track_%06u>", m_emptyNumber);
    ++m_emptyNumber;
    data->SetName(name);
    data->nameHash = KeyOf(name);
    data->AddRef();
    m_map.emplace(data->nameHash, data);
    m_live.insert(data);
    return data;
}

void TrackDataMgr::Release(TrackData* data) {
    if (!data) return;
    win32::CriticalSectionLock lock(m_lock);
    // Found by address: after Clear the cache no longer holds it, and it is already gone.
    if (!m_live.count(data)) return;
    auto range = m_map.equal_range(data->nameHash);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second != data) continue;
        if (data->ReleaseRef() <= 0) {
            LogInfo("fu*k! %d", static_cast<int>(data->nameHash));
            m_map.erase(it);
            m_live.erase(data);
            delete data;
        }
        return;
    }
}

void TrackDataMgr::Clear() {
    win32::CriticalSectionLock lock(m_lock);
    for (auto& entry : m_map) delete entry.second;
    m_map.clear();
    m_live.clear();
}

void TrackDataMgr::WriteMemoryReport(common::IXmlNode* node) {
    if (!node) return;
    win32::CriticalSectionLock lock(m_lock);
    XmlNodePtr root(node->AddChildElement("TrackDataMgr"), true);
    if (!root) return;
    for (const auto& entry : m_map) {
        const TrackData* data = entry.second;
        XmlNodePtr item(root->AddChildElement("TrackData"), true);
        if (!item) continue;
        char text[32];
        item->SetStringAttribute(nullptr, "name", data->Name().c_str());
        std::snprintf(text, sizeof text, "%u", data->fileSize);
        item->SetStringAttribute(nullptr, "mem_size", text);
        std::snprintf(text, sizeof text, "%d", data->RefCount());
        item->SetStringAttribute(nullptr, "ref_count", text);
        std::snprintf(text, sizeof text, "%u", data->version);
        item->SetStringAttribute(nullptr, "version", text);
    }
}

std::size_t TrackDataMgr::Count() {
    win32::CriticalSectionLock lock(m_lock);
    return m_map.size();
}

}  // namespace quor
