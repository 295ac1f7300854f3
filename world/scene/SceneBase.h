#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "world/core/ObjectOwner.h"

namespace quor::world {

// The common part of the 3D and 2D scenes. So far it holds what the object model needs of a
// scene: the root of the object tree, the object lock, and the entry of attached objects into
// the process-wide identifier map.
class SceneBase : public ObjectOwner {
public:
    SceneBase();
    virtual ~SceneBase();
    SceneBase(const SceneBase&) = delete;
    SceneBase& operator=(const SceneBase&) = delete;

    // --- ObjectOwner ---
    SpaceObject* GetRootObject() const override { return m_root; }
    ObjectLock& GetObjectLock() override { return m_objectLock; }
    void ForgetObjectId(std::uint32_t id) override { UnregisterObjectId(id); }
    // Erases every entry of the named-object map that points to the object (the vectors stay,
    // possibly empty).
    void RemoveNamedObject(const SpaceObject* object) override;

    // Puts an object into the scene: under the object lock it gets this scene and is hung
    // under the root; then, under the identifier map's lock, its identifier is entered (an
    // identifier already present keeps its old entry). The two locks are taken one after the
    // other, never nested.
    void AttachObject(SpaceObject* object);

    static void UnregisterObjectId(std::uint32_t id);
    static bool IsObjectIdRegistered(std::uint32_t id);

protected:
    // Several objects may share a name and one object may stand under several.
    std::map<std::uint32_t, std::vector<SpaceObject*>> m_namedObjects;

private:
    ObjectLock m_objectLock;
    SpaceObject* m_root = nullptr;
};

}  // namespace quor::world
