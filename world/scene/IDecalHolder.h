#pragma once

namespace quor::render {
class IDecal;
}

namespace quor::world {

// An object that carries a decal of its own (a model's selection marker, for one): the scene
// projects that decal while the object is drawn.
class IDecalHolder {
public:
    virtual render::IDecal* GetDecal() = 0;

protected:
    ~IDecalHolder() = default;
};

}  // namespace quor::world
