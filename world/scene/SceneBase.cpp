#include "world/scene/SceneBase.h"

#include <algorithm>

#include "world/core/SpaceObject.h"
#include "world/scene/ObjectIdMap.h"
#include "world/core/Memory.h"

namespace quor::world {

SceneBase::SceneBase() : m_root(NewObject<SpaceObject>()) {
    if (!m_root) OutOfMemory(sizeof(SpaceObject));
    m_root->SetScene(this);
}

SceneBase::~SceneBase() {
    // The root's destructor lets go of whatever still hangs below it.
    delete m_root;
    m_root = nullptr;
}

void SceneBase::AttachObject(SpaceObject* object) {
    if (!object) {
        return;
    }
    {
        ObjectLockGuard guard(this);
        object->SetScene(this);
        object->SetRootNode(m_root);
    }
    ObjectIdMap::Instance().Insert(object->GetId(), object);
}

void SceneBase::RemoveNamedObject(const SpaceObject* object) {
    for (auto& entry : m_namedObjects) {
        std::vector<SpaceObject*>& objects = entry.second;
        objects.erase(std::remove(objects.begin(), objects.end(), object), objects.end());
    }
}

void SceneBase::UnregisterObjectId(std::uint32_t id) { ObjectIdMap::Instance().Erase(id); }

bool SceneBase::IsObjectIdRegistered(std::uint32_t id) {
    return ObjectIdMap::Instance().Contains(id);
}

}  // namespace quor::world
