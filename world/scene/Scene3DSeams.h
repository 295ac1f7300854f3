#pragma once
// Parts of the 3D scene whose subsystems have not landed yet: grass and crossed-quad
// vegetation. Each stands in with the calls the scene
// makes; an operation that would make or read something answers failure (null or false) with
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

// --- grass ----------------------------------------------------------------------------------------

// The fog the grass patches take (enabled, start and end as integers, colour red, green,
// blue, alpha).
struct GrassFog {
    std::uint8_t enabled = 0;
    std::int32_t start = 0;
    std::int32_t end = 0;
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

class Grass {
public:
    void SetPosition(float x, float y, float z) {
        position[0] = x;
        position[1] = y;
        position[2] = z;
    }
    void SetWind(float, float, float) {}
    const std::string& GetName() const { return name; }

    std::string name;
    float position[3] = {};
};

class GrassMgr {
public:
    Grass* CreateGrass(const char*, int, int, int, int, float, std::uint32_t) {
        WarnSubsystemMissing("grass patches");
        return nullptr;
    }
    void RemoveGrass(const char*) {}
    int GetCount() const { return static_cast<int>(m_patches.size()); }
    Grass* GetAt(int index) const {
        return index >= 0 && index < GetCount() ? m_patches[static_cast<std::size_t>(index)] : nullptr;
    }
    void ApplyFog(int) {}
    void Render(const Matrix&) {}
    void Clear() { m_patches.clear(); }

    GrassFog fog;
    float cameraPosition[3] = {};

private:
    std::vector<Grass*> m_patches;
};

// --- crossed-quad vegetation ----------------------------------------------------------------------

class CrossTexture {
public:
    virtual ~CrossTexture() = default;
    void Init(int, int, int) {}
    int LoadTexture(const char*) { return 0; }
    void SetWaveValue(float x, float z) {
        waveValue[0] = x;
        waveValue[1] = z;
    }
    void SetWaveEffect(float x, float z) {
        waveEffect[0] = x;
        waveEffect[1] = z;
    }
    void SetWaveRand(float value) { waveRand = value; }
    void SetWave(bool on) { wave = on; }
    void Update(float) {}
    void Draw() {}
    void DrawCount() {}

    float waveValue[2] = {};
    float waveEffect[2] = {};
    float waveRand = 0.0f;
    bool wave = false;
    std::uint8_t countedDraw = 0;
};

// A new crossed-quad texture; null while the subsystem is missing.
inline CrossTexture* NewCrossTexture() {
    WarnSubsystemMissing("crossed-quad textures");
    return nullptr;
}

}  // namespace stand_in

using stand_in::CrossTexture;
using stand_in::Grass;
using stand_in::GrassFog;
using stand_in::GrassMgr;
using stand_in::NewCrossTexture;

}  // namespace quor::world
