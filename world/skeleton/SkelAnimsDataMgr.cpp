#include "world/skeleton/SkelAnimsDataMgr.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "platform/host/IResFileSystem.h"
#include "platform/host/IXmlNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/NameHash64.h"
#include "world/scene/World.h"
#include "world/core/XmlNodePtr.h"
#include "world/skeleton/SkelAnimsData.h"

namespace quor {

namespace {
std::uint32_t KeyOf(const char* name) { return static_cast<std::uint32_t>(NameHash64(name)); }
}  // namespace

SkelAnimsDataMgr& SkelAnimsDataMgr::GetInstance() {
    static SkelAnimsDataMgr manager;
    return manager;
}

SkelAnimsDataMgr::~SkelAnimsDataMgr() = default;

SkelAnimsData* SkelAnimsDataMgr::Find(const char* name) {
    if (!name || !ResourceCacheEnabled()) return nullptr;
    auto range = m_entries.equal_range(KeyOf(name));
    for (auto it = range.first; it != range.second; ++it) {
        if (strcasecmp(it->second->Name().c_str(), name) == 0) {
            it->second->AddRef();
            return it->second;
        }
    }
    return nullptr;
}

SkelAnimsData* SkelAnimsDataMgr::GetOrLoad(const char* fileName, const char* pivotName) {
    common::IResFileSystem* fs = Interfaces().resFileSystem;
    if (!fileName || !fs) return nullptr;
    char normalized[kMaxNameLength + 1];
    if (std::strlen(fileName) > kMaxNameLength || !fs->MakeFullPath(fileName, normalized, sizeof normalized)) {
        LogError("Skeletal animation file name %s is too long!", fileName);
        return nullptr;
    }
    win32::CriticalSectionLock lock(m_lock);
    if (SkelAnimsData* hit = Find(normalized)) return hit;
    SkelAnimsData* data = NewObject<SkelAnimsData>();
    if (!data) return nullptr;
    if (!data->Load(normalized, pivotName)) {
        delete data;
        return nullptr;
    }
    data->key = KeyOf(normalized);
    m_entries.emplace(data->key, data);
    m_live.insert(data);
    data->AddRef();
    return data;
}

void SkelAnimsDataMgr::Release(SkelAnimsData* data) {
    if (!data) return;
    win32::CriticalSectionLock lock(m_lock);
    // By address: with the cache flag off several objects share a name, and each erases only
    // its own entry. Data the cache no longer holds (after Clear) is ignored, unread.
    if (!m_live.count(data)) return;
    auto range = m_entries.equal_range(data->key);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second != data) continue;
        if (data->ReleaseRef() <= 0) {
            m_entries.erase(it);
            m_live.erase(data);
            delete data;
        }
        return;
    }
}

void SkelAnimsDataMgr::Clear() {
    win32::CriticalSectionLock lock(m_lock);
    for (auto& entry : m_entries) delete entry.second;
    m_entries.clear();
    m_live.clear();
}

void SkelAnimsDataMgr::WriteMemoryReport(common::IXmlNode* node) {
    if (!node) return;
    win32::CriticalSectionLock lock(m_lock);
    XmlNodePtr root(node->AddChildElement("SkelAnimsDataMgr"), true);
    if (!root) return;
    for (const auto& entry : m_entries) {
        const SkelAnimsData* data = entry.second;
        XmlNodePtr item(root->AddChildElement("SkelAnimsData"), true);
        if (!item) continue;
        char text[32];
        item->SetStringAttribute(nullptr, "name", data->Name().c_str());
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(data->MemSize()));
        item->SetStringAttribute(nullptr, "mem_size", text);
        std::snprintf(text, sizeof text, "%d", data->RefCount());
        item->SetStringAttribute(nullptr, "ref_count", text);
        std::snprintf(text, sizeof text, "%u", data->version);
        item->SetStringAttribute(nullptr, "version", text);
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(data->animations.size()));
        item->SetStringAttribute(nullptr, "anim_count", text);
    }
}

std::size_t SkelAnimsDataMgr::Count() {
    win32::CriticalSectionLock lock(m_lock);
    return m_entries.size();
}

}  // namespace quor
