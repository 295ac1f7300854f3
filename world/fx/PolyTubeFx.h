#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "world/core/math/Matrix.h"
#include "world/fx/FxBase.h"
#include "world/fx/KeyLists.h"

namespace quor::render {
class IPrimitive;
class IStageStates;
class ITexture;
}  // namespace quor::render

namespace quor::world {

// One point of a trail with the direction the ribbon spreads along there.
struct TrailSection {
    Vec3 position;
    Vec3 direction;
    std::uint32_t colour = 0xFFFFFFFFu;
    float segmentLength = 0.0f;
    float halfWidth = 0.0f;
    float texCoord = 0.0f;
    float birth = 0.0f;
};

// A ribbon that follows its moving node: a section dropped each frame, kept for a while, and
// drawn as a strip of quads through the live sections, batched through one vertex buffer.
class PolyTubeFx : public FxBase {
public:
    static constexpr int kBufferVertices = 4000;

    PolyTubeFx();
    ~PolyTubeFx() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void SetPlaying(bool play) override;
    void Reset() override;
    void Deactivate() override;
    void Release() override;
    void Update() override;
    void Render() override;
    void SetPlaySpeed(float speed) override;
    bool SetTime(float time) override;
    bool UpdateCulling() override;

    // --- the steps, reachable one by one ---
    void AddSection(float t);
    void ExpireSections(float t);
    void FaceCamera();

    const std::vector<TrailSection>& Sections() const { return m_sections; }
    float TotalLength() const { return m_totalLength; }
    float RunningCoordinate() const { return m_runningCoord; }
    std::uint32_t Alignment() const { return m_alignment; }
    render::IPrimitive* Primitive() const { return m_primitive; }
    render::IStageStates* StageStates() const { return m_stage; }
    render::ITexture* Texture() const { return m_texture; }
    void Bounds(Vec3& min, Vec3& max) const {
        min = m_boundsMin;
        max = m_boundsMax;
    }

private:
    SpaceObject* Source();
    Vec3 SourcePosition();
    float SourceScale();
    Vec3 PickWidthDirection();
    void ClearSections();
    // Coordinates (and, with colour style 0, colours) from the sections' running lengths.
    void Recompute(bool coordinates);

    std::string m_textureName;
    float m_width = 0.0f;
    float m_length = 0.0f;
    float m_sectionLife = 0.0f;
    int m_blendMode = 0;
    std::uint32_t m_alignment = 0;
    std::uint32_t m_texStyle = 0;
    std::uint32_t m_colorStyle = 1;
    std::uint32_t m_parentLevel = 0;
    float m_nodeLen = 1.0f;
    float m_earlierTime = 1.0f;
    ColorKeyList m_colorFrame;

    render::ITexture* m_texture = nullptr;
    render::IPrimitive* m_primitive = nullptr;
    render::IStageStates* m_stage = nullptr;
    bool m_changed = false;
    float m_totalLength = 0.0f;
    float m_runningCoord = 0.0f;
    float m_previousTime = 0.0f;
    Vec3 m_boundsMin;
    Vec3 m_boundsMax;
    std::vector<TrailSection> m_sections;
};

}  // namespace quor::world
