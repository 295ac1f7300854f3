#pragma once
#include <cstdint>

#include "world/core/ObjectLock.h"

namespace quor::world {

class SpaceObject;

// What a placed object needs of the scene it belongs to: the lock over the object tree, the
// tree's root, and the two registries that must forget an object when it dies. The scenes
// implement it (SceneBase is the one implementation, so scene code may cast an object's owner
// back to its SceneBase); the object model reaches its scene only through it, and so stands
// below the scenes.
class ObjectOwner {
public:
    ObjectOwner() = default;
    ObjectOwner(const ObjectOwner&) = delete;
    ObjectOwner& operator=(const ObjectOwner&) = delete;

    virtual ObjectLock& GetObjectLock() = 0;
    virtual SpaceObject* GetRootObject() const = 0;
    // The object's identifier leaves the process-wide identifier map.
    virtual void ForgetObjectId(std::uint32_t id) = 0;
    // Every entry of the owner's named-object map that points to the object goes.
    virtual void RemoveNamedObject(const SpaceObject* object) = 0;
    // The time the owner's lights evaluate their colour keys at.
    virtual float GetCurrentLightTime() { return 0.0f; }

protected:
    // Owners are never destroyed through this face.
    virtual ~ObjectOwner() = default;
};

}  // namespace quor::world
