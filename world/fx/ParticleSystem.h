#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "world/core/math/Matrix.h"
#include "world/core/track/KeyCurve.h"
#include "world/fx/FxBase.h"
#include "world/fx/KeyLists.h"
#include "world/fx/ParticleMath.h"
#include "world/fx/SheetFile.h"

namespace quor::render {
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

class Camera;

// An effect node that emits textured quads from one of six shapes, moves them with velocity,
// gravity, friction and direction jitter, and draws every live particle in one primitive.
// Records come from a pool fixed at load through a free list; the live set is a bitmap over
// the pool, so update and drawing walk the live records in pool order.
class ParticleSystem : public FxBase {
public:
    // The frame the particle positions are kept in ("TrackActionType").
    enum class Space { kWorld, kEmitter, kAncestor };
    static constexpr int kMinPool = 8;
    // What one node may ask for, whatever its file says: live particles (the pool), frames of
    // the replay table, and the particle steps one update may spend replaying.
    static constexpr int kMaxPool = 1 << 16;
    static constexpr int kMaxSnapshotFrames = 1 << 15;
    static constexpr long kReplayBudget = 1L << 18;

    ParticleSystem();
    ~ParticleSystem() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void SetPlaying(bool play) override;
    void Reset() override;
    void Deactivate() override;
    void Release() override;
    void Update() override;
    void Render() override;
    void SetPlaySpeed(float speed) override;
    float GetTextureAnimLength() override;
    void GetTextureAnimInfo(float* columns, float* rows, float* third, float* fourth, char* name, float* length,
                            bool* flag) override;
    void SetTextureAnimLength(float length) override;
    bool SetTime(float time) override;
    void SetFrameTableMode(std::uint8_t on) override;
    void RebuildBuffers() override;
    bool GetBoundingBox(Vec3* min, Vec3* max) override;
    bool UpdateCulling() override;
    void DumpProperties(common::IXmlNode* parent) override;

    // --- the steps, reachable one by one ---
    // Emits up to count particles (fewer when the pool runs out).
    void Emit(int count);
    // Ages and moves every live particle by dt, recycling the expired ones first.
    void Integrate(float dt);
    // Width and height factors of a particle at life fraction t.
    std::pair<float, float> ComputeSpriteScale(float t) const;
    // Writes the four vertices of quad i. Render prepares the frame first (PrepareQuads).
    void BuildQuad(int i, Particle& particle, float a, float b, std::uint32_t colour);
    // The per-render frame of the quads: facing axes, rotation and scale; false without an
    // active camera (nothing can face it).
    bool PrepareQuads();

    // --- what tests and reports read ---
    int LiveCount() const { return m_liveCount; }
    int PoolCapacity() const { return static_cast<int>(m_pool.size()); }
    int FreeCount() const;
    // The live records in pool order.
    std::vector<const Particle*> LiveParticles() const;
    const std::vector<ParticleAnchor>& Anchors() const { return m_anchors; }
    Space GetSpace() const { return m_space; }
    const EmissionShape& Shape() const { return m_shape; }
    bool HasSheet() const { return m_isSheet; }
    const SheetGrid& Grid() const { return m_grid; }
    float TicksPerFrame() const { return m_ticksPerFrame; }
    render::ITexture* Texture() const { return m_texture; }
    render::IPrimitive* Primitive() const { return m_primitive; }
    float Accumulator() const { return m_accumulator; }
    void BoundsOf(Vec3& reference, Vec3& min, Vec3& max) const {
        reference = m_boundsRef;
        min = m_boundsMin;
        max = m_boundsMax;
    }
    // The quad axes of the last PrepareQuads: height A, width B and the facing normal.
    const Vec3& AxisA() const { return m_axisA; }
    const Vec3& AxisB() const { return m_axisB; }
    const Vec3& Normal() const { return m_normal; }
    std::size_t SnapshotFrames() const { return m_snapshots.size(); }
    std::uint8_t SnapshotMode() const { return m_snapshotMode; }

private:
    struct Params {
        float emissionLifeSpan = 1.0f;
        float gravity = 0.0f;
        float friction = 0.0f;
        std::uint32_t perSecond = 0;
        float minLife = 1.0f, maxLife = 1.0f;
        float minRadius = 10.0f, maxRadius = 10.0f;
        bool alongMoveDir = true;
        Vec3 particleDir{0.0f, 1.0f, 0.0f};
        float minSpin = 0.0f, maxSpin = 0.0f;
        float minAngle = 0.0f, maxAngle = 0.0f;
        int blendMode = 1;
        float clockRotate = 0.0f;
        int dirType = 0;
        Vec3 randomSum;
        std::uint32_t anchorSum = 0;
        float earlierTime = 0.0f;
        bool emitEven = true;
        bool emitAtBegin = false;
        int colorType = 1;
        std::uint32_t scaleTimeType = 0;
        std::uint32_t scaleStyle = 0;
    };

    void ReadParams(common::IXmlNode* node);
    bool LoadParticleTexture(const char* name);
    void FreeAll();
    void Recycle(Particle* p);
    void Take(Particle* p);
    bool IsLive(std::size_t index) const { return (m_live[index >> 6] >> (index & 63)) & 1u; }
    // The emission of one frame by the rules of "EmitEven", the linger flag and the burst time.
    int ChooseEmissionCount(float dt, int rate, float& lastBurst);
    bool EmissionAllowed() const;
    void UpdateAncestor();
    void SnapshotStep(int rate);
    int FrameIndex() const;
    int FrameCountOfLife() const;
    void RecordSnapshot();
    void RestoreSnapshot();
    void ResizeSnapshots();
    Camera* ActiveCamera() const;

    Params m_p;
    EmissionShape m_shape;
    float m_accumulator = 0.0f;
    float m_lastBurst = -1.0f;
    Space m_space = Space::kWorld;
    int m_ancestorLevel = 0;
    SpaceObject* m_ancestor = nullptr;
    Matrix m_toAncestor;

    std::vector<Particle> m_pool;
    Particle* m_free = nullptr;
    std::vector<std::uint64_t> m_live;
    int m_liveCount = 0;
    std::vector<ParticleAnchor> m_anchors;

    ColorKeyList m_colorFrame;
    ColorKeyList m_colorFramePar;
    KeyCurve m_radiusCurve;
    KeyCurve m_scaleCurve;
    KeyCurve m_heightCurve;
    KeyCurve m_ratioCurve;

    render::ITexture* m_texture = nullptr;
    void* m_surface = nullptr;
    bool m_isSheet = false;
    std::string m_sheetName;
    SheetFile m_sheet;
    SheetGrid m_grid;
    float m_sheetStart = 0.0f;
    float m_frameDuration = 0.0f;
    float m_ticksPerFrame = 0.0f;
    float m_tickCounter = 0.0f;

    render::IPrimitive* m_primitive = nullptr;
    Vec3 m_boundsRef;
    Vec3 m_boundsMin;
    Vec3 m_boundsMax;

    std::vector<std::vector<Particle>> m_snapshots;
    std::uint8_t m_snapshotMode = 0;
    float m_snapshotStart = 0.0f;

    // The frame PrepareQuads sets up for BuildQuad.
    Vec3 m_axisA, m_axisB, m_normal;
    Matrix m_quadRotation;
    bool m_turnCentre = false;
    bool m_turnMotion = false;
    float m_quadScale = 1.0f;
};

}  // namespace quor::world
