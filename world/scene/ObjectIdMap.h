#pragma once
#include <cstddef>
#include <cstdint>
#include <map>

#include "platform/win32/CriticalSection.h"

namespace quor::world {

class SpaceObject;

// The process-wide map from object identifier to object. Every scene enters the objects it
// attaches; an object's destructor takes its identifier out again. Loader threads attach
// objects while the main thread releases them, so every access goes through the map's lock.
class ObjectIdMap {
public:
    static ObjectIdMap& Instance();

    ObjectIdMap() = default;
    ObjectIdMap(const ObjectIdMap&) = delete;
    ObjectIdMap& operator=(const ObjectIdMap&) = delete;

    // Enters (id, object); an identifier already present keeps its old entry (false then).
    bool Insert(std::uint32_t id, SpaceObject* object);
    // Removes the identifier; false when it was not there.
    bool Erase(std::uint32_t id);
    SpaceObject* Find(std::uint32_t id);
    bool Contains(std::uint32_t id);
    std::size_t Size();
    // Empties the map (a process-wide singleton must not leak entries between test cases).
    void Reset();

    // Held by callers that must keep an entry alive while they act on it (release by id).
    win32::CriticalSection& Lock() { return m_lock; }

private:
    win32::CriticalSection m_lock;
    std::map<std::uint32_t, SpaceObject*> m_objects;
};

}  // namespace quor::world
