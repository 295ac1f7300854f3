#include "world/core/Light.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/host/ILightSet.h"
#include "platform/host/IRenderer.h"
#include "world/core/GeoObject.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Memory.h"
#include "world/core/ObjectOwner.h"
#include "world/core/math/Geometry.h"

namespace quor::world {
namespace {

constexpr float kDegreesToRadians = 3.14f / 180.0f;  // 3.14, not pi: stored files rely on it
constexpr float kRadiansToDegrees = 180.0f / 3.14f;
constexpr int kDirectional = 3;
constexpr int kSpot = 2;

LightList* g_currentList = nullptr;
render::ILightSet* g_currentSet = nullptr;

std::unique_ptr<GeoObject> MakeVolume(std::uint32_t kind) {
    switch (kind) {
        case GeoObject::kSphere: return std::unique_ptr<GeoObject>(NewObject<GeoSphere>());
        case GeoObject::kCylinder: return std::unique_ptr<GeoObject>(NewObject<GeoCylinder>());
        case GeoObject::kCuboid: return std::unique_ptr<GeoObject>(NewObject<GeoCuboid>());
        default: return nullptr;
    }
}

}  // namespace

// --- ColorChannel ------------------------------------------------------------------------------

void ColorChannel::SetKey(float time, const Vec4& color) {
    keys[time] = color;
    if (keys.size() >= 2) {
        start = keys.begin()->first;
        end = keys.rbegin()->first;
        length = end - start;
    }
}

Vec4 ColorChannel::Evaluate(float t) const {
    if (keys.size() == 1) return keys.begin()->second;
    switch (mode) {
        case kClamp: t = std::clamp(t, start, end); break;
        case kLoop:
            t = t >= start ? start + std::fmod(t - start, length) : end + std::fmod(t - start, length);
            break;
        case kPingPong: {
            float y = std::fmod(std::fabs(t - start), 2.0f * length);
            if (y > length) y = 2.0f * length - y;
            t = start + y;
            break;
        }
        default: break;
    }
    Vec4 value{1.0f, 1.0f, 1.0f, 1.0f};
    if (keys.empty()) return value;
    for (auto it = keys.begin(), next = std::next(it); next != keys.end(); it = next++) {
        const float t0 = it->first, t1 = next->first;
        if (t0 <= t && t <= t1) {
            const float f = (t - t0) / (t1 - t0);
            for (int i = 0; i < 4; ++i) value[i] = it->second[i] + (next->second[i] - it->second[i]) * f;
            return value;
        }
    }
    return value;
}

// --- Light -------------------------------------------------------------------------------------

Light::Light(int kind, render::ILightSet* set) : m_lightSet(set) {
    MatrixIdentity(m_volumeMatrix);
    if (m_lightSet) {
        const std::uint16_t index = m_lightSet->CreateLight(kind, 0xFFFF);
        if (index != 0xFFFF) m_renderLight = m_lightSet->GetLight(index);
    }
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (m_renderLight) m_renderLight->SetIntensity(white);
    SetColorKeyAll(Vec4{1.0f, 1.0f, 1.0f, 1.0f}, 0.0f);
    GetTransformBlock()->transformChanged = 1;
}

Light::~Light() {
    SetEnabled(false);
    if (m_lightSet && m_renderLight) m_lightSet->RemoveLight(GetIndex());
}

float Light::LightTime() {
    ObjectOwner* scene = GetScene();
    return scene ? scene->GetCurrentLightTime() : 0.0f;
}

void Light::SendColors(float t) {
    if (!m_renderLight) return;
    Vec4 c = m_channels[0].Evaluate(t);
    m_renderLight->SetDiffuse(&c.x);
    c = m_channels[2].Evaluate(t);
    m_renderLight->SetSpecular(&c.x);
    c = m_channels[1].Evaluate(t);
    m_renderLight->SetAmbient(&c.x);
}

void Light::SetDirection(const Vec3& direction) {
    Vec3 d = direction;
    // A zero (or non-finite) direction has no orientation to give: keep the current one
    // rather than writing NaN rows.
    const float length = Vec3Length(d);
    if (!(length > 0.0f) || !std::isfinite(length)) return;
    Vec3SetLength(d, 1.0f);
    Vec3 u = Vec3Cross(d, Vec3{1.0f, 0.0f, 0.0f});
    if (IsNearZero(u)) u = Vec3Cross(d, Vec3{0.0f, 0.0f, 1.0f});
    if (u.y > 0.0f) u *= -1.0f;
    Vec3SetLength(u, 1.0f);
    const Vec3 r = Vec3Cross(u, d);
    Matrix m;
    MatrixIdentity(m);
    m.Row(0) = r;
    m.Row(1) = u;
    m.Row(2) = d;
    SetRotation(m);
    InvalidateTransform();
}

Vec3 Light::GetDirection() {
    if (!m_renderLight) return Vec3{};
    const float* d = m_renderLight->GetDirection();
    return Vec3{d[0], d[1], d[2]};
}

void Light::GetWorldPosition(Vec3& out) { out = GetWorldMatrix().Row(3); }

void Light::MakeSphereIfUnbounded() {
    if (!m_volume) m_volume = MakeVolume(GeoObject::kSphere);
}

void Light::SetFlags(std::uint32_t flags) {
    m_flags = flags;
    if (flags & kFlagBounded) MakeSphereIfUnbounded();
}

void Light::SetColorKeyA(const Vec4& color, float time) {
    m_channels[0].SetKey(time, color);
    const Vec4 c = m_channels[0].Evaluate(LightTime());
    if (m_renderLight) m_renderLight->SetDiffuse(&c.x);
}

void Light::SetColorKeyC(const Vec4& color, float time) {
    m_channels[2].SetKey(time, color);
    const Vec4 c = m_channels[2].Evaluate(LightTime());
    if (m_renderLight) m_renderLight->SetSpecular(&c.x);
}

void Light::SetColorKeyB(const Vec4& color, float time) {
    m_channels[1].SetKey(time, color);
    const Vec4 c = m_channels[1].Evaluate(LightTime());
    if (m_renderLight) m_renderLight->SetAmbient(&c.x);
}

void Light::SetColorKeyAll(const Vec4& color, float time) {
    for (ColorChannel& channel : m_channels) channel.SetKey(time, color);
}

void Light::SetRange(float range) {
    if (m_renderLight) m_renderLight->SetRange(range);
}

void Light::SetAttenuation(float a0, float a1, float a2) {
    if (m_renderLight) m_renderLight->SetAttenuation(a0, a1, a2);
}

void Light::SetInnerAngle(float radians) {
    if (m_renderLight) m_renderLight->SetInnerAngle(radians);
}

void Light::SetOuterAngle(float radians) {
    if (m_renderLight) m_renderLight->SetOuterAngle(radians);
}

void Light::SetEnabled(bool enabled) {
    if (m_removed || !m_renderLight) return;
    m_renderLight->SetEnabled(enabled);
}

bool Light::IsEnabled() { return m_renderLight && m_renderLight->IsEnabled(); }
int Light::GetType() { return m_renderLight ? m_renderLight->GetType() : 0; }
std::uint16_t Light::GetIndex() {
    return m_renderLight ? static_cast<std::uint16_t>(m_renderLight->GetIndex() & 0xFFFF) : 0xFFFF;
}

void Light::SetUnbounded(bool unbounded) {
    if (unbounded) {
        m_flags &= ~kFlagBounded;
    } else {
        m_flags |= kFlagBounded;
        MakeSphereIfUnbounded();
    }
}

void Light::SetDesc(const LightDesc& desc) {
    std::memcpy(m_name, desc.name, sizeof m_name);
    m_name[sizeof m_name - 1] = '\0';
    if (m_renderLight) m_renderLight->SetEnabled(desc.enabled != 0);
    m_flags = desc.flags;
    SetPosition(Vec3{desc.position[0], desc.position[1], desc.position[2]});
    if (!m_renderLight) return;
    m_renderLight->SetDirection(desc.direction);
    const int type = m_renderLight->GetType();
    if (type != kDirectional) {
        m_renderLight->SetRange(desc.range);
        m_renderLight->SetAttenuation(desc.attenuation[0], desc.attenuation[1], desc.attenuation[2]);
    }
    if (type == kSpot) {
        m_renderLight->SetInnerAngle(desc.innerAngle * kDegreesToRadians);
        m_renderLight->SetOuterAngle(desc.outerAngle * kDegreesToRadians);
    }
}

void Light::GetDesc(LightDesc& out) {
    const int type = GetType();
    out.type = type;
    std::memcpy(out.name, m_name, sizeof out.name);
    out.enabled = IsEnabled() ? 1 : 0;
    out.flags = m_flags;
    const Vec3 p = *GetPosition();
    out.position[0] = p.x;
    out.position[1] = p.y;
    out.position[2] = p.z;
    const Vec3 d = GetDirection();
    out.direction[0] = d.x;
    out.direction[1] = d.y;
    out.direction[2] = d.z;
    if (!m_renderLight) return;
    if (type != kDirectional) {
        out.range = m_renderLight->GetRange();
        m_renderLight->GetAttenuation(&out.attenuation[0], &out.attenuation[1], &out.attenuation[2]);
    }
    if (type == kSpot) {
        out.innerAngle = m_renderLight->GetInnerAngle() * kRadiansToDegrees;
        out.outerAngle = m_renderLight->GetOuterAngle() * kRadiansToDegrees;
    }
}

void Light::SetName(const char* name) {
    std::memset(m_name, 0, sizeof m_name);
    if (name) std::memcpy(m_name, name, strnlen(name, sizeof m_name - 1));
}

bool Light::ContainsPoint(const Vec3& point) {
    if (IsUnbounded()) return true;
    return m_volume && m_volume->ContainsPoint(point);
}

bool Light::IntersectsObject(const GeoObject* shape) {
    if (!m_volume || !shape || shape->GetKind() != GeoObject::kCuboid) return false;
    const auto& cuboid = static_cast<const GeoCuboid&>(*shape);
    switch (m_volume->GetKind()) {
        case GeoObject::kSphere: return static_cast<const GeoSphere&>(*m_volume).IntersectsCuboid(cuboid);
        case GeoObject::kCylinder: return static_cast<const GeoCylinder&>(*m_volume).IntersectsCuboid(cuboid);
        case GeoObject::kCuboid: return static_cast<const GeoCuboid&>(*m_volume).IntersectsCuboid(cuboid);
        default: return false;
    }
}

bool Light::SetVolumeShape(std::uint32_t kind) {
    if (m_volume && m_volume->GetKind() == kind) return true;
    m_volume = MakeVolume(kind);
    if (!m_volume) return false;
    UpdateVolumeTransform();
    return true;
}

std::uint32_t Light::GetVolumeShapeKind() { return m_volume ? m_volume->GetKind() : kNoVolume; }

void Light::UpdateVolumeTransform() {
    if (!m_volume) return;
    Matrix m;
    MatrixIdentity(m);
    MatrixSetAxisScale(m, m_volumeScale.x, m_volumeScale.y, m_volumeScale.z);
    MatrixMultiplyRotationPart(m, m_volumeMatrix);
    Vec3 position;
    SpaceObject::GetWorldPosition(position);
    m.Row(3) = position + m_volumeOffset;
    m_volume->SetTransform(m);
}

void Light::SetVolumeOffset(const Vec3& offset) {
    m_volumeOffset = offset;
    InvalidateTransform();
}

void Light::SetVolumeMatrix(const float* m16) {
    if (m16) std::memcpy(m_volumeMatrix.m, m16, sizeof m_volumeMatrix.m);
    InvalidateTransform();
}

void Light::SetVolumeScale(const Vec3& scale) {
    m_volumeScale = scale;
    InvalidateTransform();
}

void Light::Update() {
    SpaceObject::Update();
    if (IsTransformChanged()) UpdateVolumeTransform();
}

void Light::InvalidateTransform() {
    SpaceObject::InvalidateTransform();
    if (!m_renderLight) return;
    const Matrix& world = GetWorldMatrix();
    m_renderLight->SetPosition(&world.m[12]);
    m_renderLight->SetDirection(&world.m[8]);
}

// --- LightList ---------------------------------------------------------------------------------

LightList::LightList() {
    if (render::IRenderer* renderer = Interfaces().renderer) m_lightSet = renderer->CreateLightSet();
}

LightList::~LightList() {
    Clear();
    if (render::IRenderer* renderer = Interfaces().renderer; renderer && m_lightSet) {
        renderer->ReleaseLightSet(m_lightSet);
    }
}

LightList* LightList::Current() { return g_currentList; }
render::ILightSet* LightList::CurrentLightSet() { return g_currentSet; }

Light* LightList::CreateLight(int kind) {
    Light* light = NewObject<Light>(kind, m_lightSet);
    if (!light) return nullptr;
    m_lights.push_back(light);
    m_dirty = 1;
    return light;
}

void LightList::Remove(SpaceObject* object) {
    m_dirty = 1;
    if (!object) return;
    for (Light* light : m_lights) {
        if (static_cast<SpaceObject*>(light) != object) continue;
        light->SetEnabled(false);
        light->MarkRemoved();
        light->DetachChildren();
        return;
    }
}

void LightList::SetAllEnabled(bool enabled) {
    for (Light* light : m_lights) {
        if (light->IsValid()) light->SetEnabled(enabled);
    }
}

void LightList::ClearLightFlags() {
    for (Light* light : m_lights) light->ClearTransformChanged();
}

void LightList::Bind(bool on) {
    if (on) {
        g_currentList = this;
        g_currentSet = m_lightSet;
    } else if (g_currentList == this) {
        // Only the bound list unbinds: a scene going inactive after another became active
        // must not leave that one unbound.
        g_currentList = nullptr;
        g_currentSet = nullptr;
    }
    for (Light* light : m_lights) {
        if (light->IsValid() && light->GetRenderLight()) light->GetRenderLight()->SetEnabled(on);
    }
}

void LightList::Apply() {
    if (g_currentList && g_currentList != this) g_currentList->Bind(false);
    if (g_currentList != this) Bind(true);
    render::IRenderer* renderer = Interfaces().renderer;
    const std::uint32_t frame = renderer ? renderer->GetFrameStamp() : 0;
    for (Light* light : m_lights) {
        if (!light->IsValid()) continue;
        light->SetFrameStamp(frame);
        light->Apply();
    }
}

void LightList::Update(float time) {
    for (Light* light : m_lights) light->SendColors(time);
}

void LightList::Clear() {
    // The lights go first: each takes its own render light out of the set, so none touches a
    // render light the set's clear has already freed.
    for (Light* light : m_lights) delete light;
    m_lights.clear();
    if (m_lightSet) m_lightSet->Clear(0);
    if (g_currentList == this) {
        g_currentList = nullptr;
        g_currentSet = nullptr;
    }
}

}  // namespace quor::world
