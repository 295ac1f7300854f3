#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/host/ICollisionOwner.h"
#include "platform/host/TerrainObject.h"

namespace quor::common {
class IResFileSystem;
}

namespace quor::host {

// What draws the reference terrain's ground when the world renders it, as a host engine's
// terrain draws itself through its renderer; without one the terrain only records.
class GroundPainter {
public:
    // The square of half size `halfSize` at height `height`, centred on the origin.
    virtual void PaintGround(float halfSize, float height) = 0;

protected:
    ~GroundPainter() = default;
};

// The reference terrain: a flat square read from a small text file,
//     flat <half size> <height>
// It records every call it gets, and stays readable after its release. As a collision owner
// its ground is the plane y = height over the square, hit from above.
class FlatTerrain final : public render::TerrainObject, public render::ICollisionOwner {
public:
    // Null when the file is missing or does not hold a flat square.
    static std::unique_ptr<FlatTerrain> Load(common::IResFileSystem* files, const char* file);
    static std::unique_ptr<FlatTerrain> Parse(const std::string& text);

    void Release() override;
    void SetOption(int option, int value) override;
    void Update() override { calls.emplace_back("Update"); }
    void Render() override;
    void SetScene(void* value) override;
    void OnLostDevice() override { calls.emplace_back("OnLostDevice"); }
    void OnResetDevice() override { calls.emplace_back("OnResetDevice"); }
    void SetLodDistance(int index, float distance) override;
    void RenderPass() override { calls.emplace_back("RenderPass"); }
    void UpdateAround(float x, float z) override;
    // The unit grid cells of the square that the frustum's x-z extent meets, two triangles each.
    int CountDecalVertices(render::IRenderCamera* camera) override;
    void FillDecalVertices(float* out) override;

    bool SweepTest(const float point[3], const float delta[3], std::uint32_t filterValue, std::uint32_t filterMask,
                   render::CollisionHit& hit) override;
    bool RayTest(const float origin[3], const float delta[3], std::uint32_t filterValue, std::uint32_t filterMask,
                 render::CollisionHit& hit) override;
    void OnContact(int slot, int kind) override;

    // The ground height at (x, z); false off the square.
    bool HeightAt(float x, float z, float* height) const;

    float halfSize = 0.0f;
    float height = 0.0f;
    GroundPainter* painter = nullptr;
    float lodDistances[10] = {};
    void* scene = nullptr;
    int option = 0;
    int releases = 0;
    std::vector<std::string> calls;
    // The value its contacts report.
    std::int32_t contactValue = 0;
    // The positions the last count found, handed out by the fill.
    std::vector<float> decalPositions;
};

}  // namespace quor::host
