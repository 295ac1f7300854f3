#pragma once
// Parts of the 3D scene whose subsystems have not landed yet: decals. Each stands in with the
// calls the scene makes; an operation that would make or read something answers failure (null or false) with
// one warning naming what is missing, and passes that only draw do nothing. The issue that
// builds a subsystem replaces its block here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/core/math/Matrix.h"

namespace quor::world {

class Camera;
class IScene;
class IVisibleObject;
class VisibleObject;

// One warning per missing subsystem and process: the scene asks every frame.
void WarnSubsystemMissing(const char* what);

// The stand-ins keep a namespace of their own: the real classes of the same names exist and
// are wired in by the work that brings them to this scene.
namespace stand_in {

// --- decals ---------------------------------------------------------------------------------------

class DecalMgr {
public:
    void Build(const std::vector<VisibleObject*>&, void*) {}
    void Render() {}
    void Clear() {}
    void* AddDecal(const char*, const void*, float) {
        WarnSubsystemMissing("decals");
        return nullptr;
    }
    void RemoveDecal(void*) {}
    void AddModelDecal(void*, IVisibleObject*) {}
    void RemoveModelDecals(void*) {}

    std::uint8_t enabled = 1;
};

}  // namespace stand_in

using stand_in::DecalMgr;

}  // namespace quor::world
