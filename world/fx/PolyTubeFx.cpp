#include "world/fx/PolyTubeFx.h"
#include "world/fx/KeyLists.h"

#include <algorithm>
#include <cmath>

#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "platform/host/IXmlNode.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/track/TrackBase.h"
#include "world/fx/ParticleMath.h"
#include "world/scene/IScene.h"

namespace quor::world {

namespace {

constexpr std::uint32_t kVertexFormat = 0x142;
constexpr int kTriangleList = 4;

bool WithinTenThousandth(const Vec3& a, const Vec3& b) {
    return std::fabs(a.x - b.x) < 0.0001f && std::fabs(a.y - b.y) < 0.0001f && std::fabs(a.z - b.z) < 0.0001f;
}

// x / span, with 1 for a span that is not above zero.
float Fraction(float x, float span) { return span > 0.0f ? x / span : 1.0f; }

}  // namespace

PolyTubeFx::PolyTubeFx() { m_kind = kFxKindTube; }

PolyTubeFx::~PolyTubeFx() { PolyTubeFx::Release(); }

bool PolyTubeFx::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    char texture[256] = {};
    node->GetStringAttribute("", "Texture", texture, sizeof texture, "");
    texture[sizeof texture - 1] = '\0';
    m_textureName = texture;
    m_width = ReadFxFloat(node, "TrailWidth", 1.0f);
    m_length = ReadFxFloat(node, "TrailLength", 60.0f);
    m_sectionLife = ReadFxFloat(node, "SectionLifespan", 2.0f);
    (void)node->GetIntAttribute("", "BlendMode", 1);
    m_blendMode = node->GetIntAttribute("", "BlendMode", 0);
    m_alignment = node->GetUIntAttribute("", "Allignment", 0);
    // Values without an axis face the camera.
    if (m_alignment > 3) m_alignment = 0;
    m_texStyle = node->GetUIntAttribute("", "TexStyle", 0);
    m_colorStyle = node->GetUIntAttribute("", "ColorStyle", 1);
    m_parentLevel = node->GetUIntAttribute("", "ParentLevel", 0);
    m_nodeLen = std::max(1.0f, ReadFxFloat(node, "NodeLen", 1.0f));
    if (TrackBase* track = GetBoundTrack()) track->SetSpeed(m_nodeLen);
    m_colorFrame.Clear();
    XmlNodePtr colours(node->FirstChildElement("ColorFrame"));
    ReadColorKeyList(colours.Get(), m_colorFrame);
    m_earlierTime = ReadFxFloat(node, "EarlierTime", 1.0f);
    m_linger = m_earlierTime != 0.0f ? 1 : 0;

    m_totalLength = 0.0f;
    m_runningCoord = 0.0f;
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) {
        m_loaded = 0;
        return false;
    }
    m_texture = renderer->LoadTexture(texture, 0, 0, -3, 0, 0, 0);
    if (!m_texture) LogWarning("特效贴图：%s 丢失", texture);
    m_boundsMin = m_boundsMax = Vec3();
    m_effect = SharedMaterialForBlend(m_blendMode, 0, false);
    m_stage = renderer->CreateDynamicBuffer();
    if (m_stage) {
        const int op = m_colorStyle == 1 ? 4 : 2;
        m_stage->SetColor(0, 0, op);
        m_stage->SetColor(0, 1, 3);
        m_stage->SetAlpha(0, 0, op);
        m_stage->SetAlpha(0, 1, 3);
    }
    m_primitive = renderer->CreatePrimitive(kTriangleList, kVertexFormat);
    if (!m_primitive) {
        LogError("trail %s: no primitive", m_name);
        PolyTubeFx::Release();
        m_loaded = 0;
        return false;
    }
    m_primitive->SetVertexCount(kBufferVertices, -1, 0, 0);
    m_primitive->SetEffect(m_effect);
    m_primitive->SetTexture(0, m_texture);
    m_drawState = m_primitive->GetVertexBuffer();
    if (m_drawState) {
        m_drawState->SetStageStates(m_stage, 0);
        m_drawState->SetFlags(96);
    }
    m_zEnabled = 1;
    ApplyRenderState(0, -1);
    if (m_texture && m_texture->GetState() == 3) m_texture->SetTime(0.0f);
    m_changed = true;
    return true;
}

void PolyTubeFx::ClearSections() {
    m_sections.clear();
    m_totalLength = 0.0f;
    m_runningCoord = 0.0f;
}

void PolyTubeFx::SetPlaying(bool play) {
    FxBase::SetPlaying(play);
    ClearSections();
    if (play && m_texture && m_texture->GetState() == 3) m_texture->SetTime(0.0f);
}

void PolyTubeFx::Reset() {
    FxBase::Reset();
    ClearSections();
}

void PolyTubeFx::Deactivate() {
    const bool finishing = m_state == kFxFinishing;
    FxBase::Deactivate();
    if (m_linger && !finishing) {
        m_state = kFxFinishing;  // the sections run out
    } else {
        m_state = kFxInactive;
        ClearSections();
    }
}

void PolyTubeFx::Release() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer) {
        if (m_primitive) renderer->ReleasePrimitive(m_primitive);
        if (m_stage) renderer->ReleaseDynamicBuffer(m_stage);
        if (m_texture) renderer->ReleaseTexture(m_texture);
    }
    m_primitive = nullptr;
    m_stage = nullptr;
    m_texture = nullptr;
    m_drawState = nullptr;
    ClearSections();
    FxBase::Release();
}

void PolyTubeFx::SetPlaySpeed(float speed) {
    FxBase::SetPlaySpeed(speed);
    if (m_texture) m_texture->SetSpeed(speed);
}

bool PolyTubeFx::SetTime(float time) { return FxBase::SetTime(time); }

// --- the source ----------------------------------------------------------------------------------

SpaceObject* PolyTubeFx::Source() {
    SpaceObject* node = this;
    for (std::uint32_t i = 0; i < m_parentLevel; ++i) {
        node = node->Parent();
        if (!node) return this;
    }
    return node;
}

Vec3 PolyTubeFx::SourcePosition() {
    if (m_parentLevel == 0) {
        Vec3 p;
        GetWorldPosition(p);
        return p;
    }
    Vec3 sum;
    SpaceObject* node = this;
    for (std::uint32_t i = 0; i < m_parentLevel && node; ++i) {
        sum += *node->GetPosition();
        node = node->Parent();
    }
    return sum;
}

float PolyTubeFx::SourceScale() {
    Vec3 s;
    Source()->GetWorldScale(s);
    return Vec3MaxComponent(s);
}

Vec3 PolyTubeFx::PickWidthDirection() {
    if (m_alignment == 0) return {0.0f, 1.0f, 0.0f};
    Matrix rotation;
    Source()->GetWorldRotation(rotation);
    // 1 the z axis, 2 the y axis, 3 the x axis.
    static const int kRows[4] = {0, 2, 1, 0};
    return rotation.Row(kRows[m_alignment]);
}

// --- sections ------------------------------------------------------------------------------------

void PolyTubeFx::Recompute(bool coordinates) {
    float sum = 0.0f;
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        TrailSection& s = m_sections[i];
        sum += s.segmentLength;
        const float fraction = m_totalLength != 0.0f ? sum / m_totalLength : 0.0f;
        if (coordinates) {
            if (m_texStyle == 0) s.texCoord = fraction;
            else if (m_texStyle == 1) s.texCoord = static_cast<float>(i);
        }
        if (m_colorStyle == 0) s.colour = ColorKeyList::Lookup(m_colorFrame, fraction);
    }
}

void PolyTubeFx::AddSection(float t) {
    if (t == 0.0f) {
        ClearSections();
        return;
    }
    const Vec3 position = SourcePosition();
    if (!m_sections.empty() && WithinTenThousandth(position, m_sections.back().position)) return;
    const float scale = SourceScale();
    TrailSection s;
    s.position = position;
    s.direction = PickWidthDirection();
    s.halfWidth = m_width * 0.5f * scale;
    s.birth = t;
    if (!m_sections.empty()) {
        const float d = Vec3Distance(position, m_sections.back().position);
        if (m_texStyle == 1) {
            s.texCoord = static_cast<float>(m_sections.size());
        } else if (m_texStyle == 2) {
            const float divisor = scale * m_length;
            // Without a length to measure by, the coordinate stays where it was.
            s.texCoord = divisor != 0.0f ? m_runningCoord + d / divisor : m_runningCoord;
            m_runningCoord = s.texCoord;
        }
        s.segmentLength = d;
        m_totalLength += d;
    }
    m_sections.push_back(s);
    m_changed = true;
    if (m_texStyle == 0 || m_colorStyle == 0) Recompute(m_texStyle == 0);
}

void PolyTubeFx::ExpireSections(float t) {
    const std::size_t before = m_sections.size();
    float removedLength = 0.0f;
    const float life = m_sectionLife;
    m_sections.erase(std::remove_if(m_sections.begin(), m_sections.end(),
                                    [&](const TrailSection& s) {
                                        if (s.birth + life > t) return false;
                                        removedLength += s.segmentLength;
                                        return true;
                                    }),
                     m_sections.end());
    const bool removed = m_sections.size() != before;
    if (removed) {
        m_totalLength -= removedLength;
        m_changed = true;
    }
    if (m_sections.empty() && m_state == kFxFinishing) {
        m_state = kFxInactive;
        return;
    }
    if (removed && m_texStyle != 2) Recompute(true);
}

void PolyTubeFx::Update() {
    FxBase::Update();
    const float t = m_time;
    if (m_previousTime > t)
        for (TrailSection& s : m_sections) s.birth -= m_lifeSpan;
    // Only a playing trail grows: a finished one (state 3) must not start again where it stopped.
    if (m_state == kFxPlaying) {
        if (m_totalLength < m_length * SourceScale() && !m_paused &&
            (!m_linger || t < m_lifeSpan - m_earlierTime))
            AddSection(t);
    }
    ExpireSections(t);
    for (const TrailSection& s : m_sections) {
        const Vec3& p = s.position;
        m_boundsMin = {std::min(m_boundsMin.x, p.x), std::min(m_boundsMin.y, p.y), std::min(m_boundsMin.z, p.z)};
        m_boundsMax = {std::max(m_boundsMax.x, p.x), std::max(m_boundsMax.y, p.y), std::max(m_boundsMax.z, p.z)};
    }
    m_previousTime = t;
}

// --- drawing -------------------------------------------------------------------------------------

void PolyTubeFx::FaceCamera() {
    m_changed = true;
    FxBase* root = GetRoot() ? GetRoot() : this;
    auto* scene = dynamic_cast<IScene*>(root->GetScene());
    Camera* camera = scene ? scene->GetActiveCamera() : nullptr;
    if (!camera || m_sections.size() < 2) return;
    const Vec3 view = camera->GetWorldMatrix().Row(2);
    const std::size_t n = m_sections.size();
    Vec3 previous;
    for (std::size_t i = 1; i < n; ++i) {
        const Vec3 w = Vec3Cross(view, m_sections[i].position - m_sections[i - 1].position);
        if (!NearZero(w)) previous = NormalizeOr(w, previous);
        m_sections[i].direction = previous;
    }
    m_sections[0].direction = m_sections[1].direction;
    if (n > 2) m_sections[n - 1].direction = m_sections[n - 2].direction;
}

void PolyTubeFx::Render() {
    if (m_culled || m_sections.size() < 2 || !m_primitive) return;
    if (m_colorStyle == 1 && m_stage)
        m_stage->SetConstantColor(ColorKeyList::Lookup(m_colorFrame, Fraction(m_time, m_lifeSpan)));
    if (m_alignment == 0) FaceCamera();

    Matrix transform;
    MatrixIdentity(transform);
    transform.Row(3) = m_posOffset;
    if (m_parentLevel != 0) {
        Matrix product;
        MatrixMultiplyPlain(transform, Source()->GetWorldMatrix(), product);
        transform = product;
    }
    m_primitive->SetTransform(transform.m);

    if (m_changed) {
        int vertex = 0;
        for (std::size_t i = 0; i + 1 < m_sections.size(); ++i) {
            const TrailSection& a = m_sections[i];
            const TrailSection& b = m_sections[i + 1];
            const Vec3 aw = a.direction * a.halfWidth;
            Vec3 bw = b.direction * b.halfWidth;
            if (Vec3Dot(a.direction, b.direction) < 0.0f) bw = -bw;
            const Vec3 aPlus = a.position + aw, aMinus = a.position - aw;
            const Vec3 bPlus = b.position + bw, bMinus = b.position - bw;
            const std::uint32_t colour = m_colorStyle == 2
                ? ColorKeyList::Lookup(m_colorFrame, Fraction(m_time - b.birth, m_sectionLife))
                : b.colour;
            if (vertex + 6 > kBufferVertices) {
                m_primitive->SetVertexCountUsed(vertex / 3);
                m_primitive->Draw(-1, -1, 0);
                vertex = 0;
            }
            m_primitive->SetVertexUV(vertex++, &aPlus.x, a.texCoord, 0.0f, colour);
            m_primitive->SetVertexUV(vertex++, &aMinus.x, a.texCoord, 1.0f, colour);
            m_primitive->SetVertexUV(vertex++, &bMinus.x, b.texCoord, 1.0f, colour);
            m_primitive->SetVertexUV(vertex++, &bPlus.x, b.texCoord, 0.0f, colour);
            m_primitive->SetVertexUV(vertex++, &aPlus.x, a.texCoord, 0.0f, colour);
            m_primitive->SetVertexUV(vertex++, &bMinus.x, b.texCoord, 1.0f, colour);
        }
        if (vertex > 0) {
            m_primitive->SetVertexCountUsed(vertex / 3);
            m_primitive->Draw(-1, -1, 0);
        }
    } else {
        m_primitive->Draw(-1, -1, 0);
    }
    m_changed = false;
    FxBase::Render();
}

bool PolyTubeFx::UpdateCulling() {
    const Vec3 centre = (m_boundsMin + m_boundsMax) * 0.5f;
    const Vec3 half = (m_boundsMax - m_boundsMin) * 0.5f + Vec3(m_width, m_width, m_width);
    const bool culled = GetFrameFrustum(kCullPassMain).TestSphere(centre, Vec3ApproxLength(half));
    m_culled = culled ? 1 : 0;
    return culled;
}

}  // namespace quor::world
