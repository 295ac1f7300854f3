#include "world/scene/ObjectIdMap.h"

namespace quor::world {

ObjectIdMap& ObjectIdMap::Instance() {
    static ObjectIdMap map;
    return map;
}

bool ObjectIdMap::Insert(std::uint32_t id, SpaceObject* object) {
    win32::CriticalSectionLock guard(m_lock);
    return m_objects.emplace(id, object).second;
}

bool ObjectIdMap::Erase(std::uint32_t id) {
    win32::CriticalSectionLock guard(m_lock);
    return m_objects.erase(id) != 0;
}

SpaceObject* ObjectIdMap::Find(std::uint32_t id) {
    win32::CriticalSectionLock guard(m_lock);
    auto it = m_objects.find(id);
    return it == m_objects.end() ? nullptr : it->second;
}

bool ObjectIdMap::Contains(std::uint32_t id) {
    win32::CriticalSectionLock guard(m_lock);
    return m_objects.count(id) != 0;
}

std::size_t ObjectIdMap::Size() {
    win32::CriticalSectionLock guard(m_lock);
    return m_objects.size();
}

void ObjectIdMap::Reset() {
    win32::CriticalSectionLock guard(m_lock);
    m_objects.clear();
}

}  // namespace quor::world
