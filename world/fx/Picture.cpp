#include "world/fx/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/host/IEffect.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"

namespace quor::world {

namespace {

constexpr float kDegToRad = 3.14159265358979323846f / 180.0f;
constexpr float kRadToDeg = 180.0f / 3.14159265358979323846f;
constexpr float kNone = 1e-4f;
// Screen positions with reciprocal w, diffuse colour, one texture pair.
constexpr std::uint32_t kScreenQuadFormat = 0x144;

render::IEffect* g_pictureEffect = nullptr;

void SetState(render::IEffectStateGroup* group, int operation, std::int32_t a, std::int32_t b) {
    if (group) group->SetState(operation, a, b);
}

PicPoint Transform(PicPoint p, const Matrix& m) {
    return {p.x * m(0, 0) + p.y * m(1, 0) + m(3, 0), p.x * m(0, 1) + p.y * m(1, 1) + m(3, 1)};
}

PicPoint Turn(PicPoint d, float degrees) {
    const float a = degrees * kDegToRad;
    const float c = std::cos(a), s = std::sin(a);
    // Row vector times the rotation about z: (x c - y s, x s + y c).
    return {d.x * c - d.y * s, d.x * s + d.y * c};
}

}  // namespace

// Alpha-blended, textured, vertex-coloured screen quads.
render::IEffect* MakePictureEffect() {
    render::IRenderer* renderer = Interfaces().renderer;
    render::IEffect* effect = renderer ? renderer->CreateEffect() : nullptr;
    if (!effect) return nullptr;
    effect->SetTechniqueName("Picture");
    SetState(effect->GetDepthStencilState(), 0, 0, 0);
    SetState(effect->GetRasterState(), 0, 3, 0);
    SetState(effect->GetTextureStageState(), 0, 0, 2);
    SetState(effect->GetTextureStageState(), 0, 0, 3);
    SetState(effect->GetTextureStageState(), 1, 0, 2);
    SetState(effect->GetTextureStageState(), 1, 0, 3);
    SetState(effect->GetBlendState(), 3, 1, 0);
    SetState(effect->GetSamplerState(0), 0, 3, 0);
    return effect;
}

// --- PictureBase ------------------------------------------------------------------------------

PictureBase::PictureBase(IScene* owner) : m_owner(owner) {
    MatrixIdentity(m_world);
    MatrixIdentity(m_inverseWorld);
}

PictureBase::~PictureBase() = default;

void PictureBase::DeletingDestructor() {
    // Leaves the parent's list without the dirty walk: nothing of this picture is asked again.
    if (m_parent) {
        std::vector<PictureBase*>& list = m_parent->m_children;
        auto it = std::find(list.rbegin(), list.rend(), this);
        if (it != list.rend()) list.erase(std::next(it).base());
        m_parent->NoteChildren();
        m_parent = nullptr;
    }
    DestroyShadow();
    // Children go with their parent; each unlinks itself from this list on its way out.
    while (!m_children.empty()) m_children.back()->DeletingDestructor();
    delete this;
}

void PictureBase::DestroyShadow() {
    if (!m_shadow) return;
    Picture* shadow = m_shadow;
    m_shadow = nullptr;
    shadow->DeletingDestructor();
}

void PictureBase::SetLocalPosition(float x, float y) {
    m_previous = m_position;
    m_position = {x, y};
    MarkDirty(true);
}

void PictureBase::SetPosition(float x, float y) {
    if (!m_parent) {
        SetLocalPosition(x, y);
        return;
    }
    m_position = m_parent->WorldToLocal({x, y});
    MarkDirty(true);
}

PicPoint PictureBase::GetPosition() {
    if (!m_parent)
        return {m_previous.x + m_blend.x * (m_position.x - m_previous.x),
                m_previous.y + m_blend.y * (m_position.y - m_previous.y)};
    if (!m_parent->HasRotation() && !m_parent->HasScale()) {
        const PicPoint p = m_parent->GetPosition();
        return {m_position.x + p.x, m_position.y + p.y};
    }
    const Matrix& w = GetWorldMatrix();
    return {w(3, 0), w(3, 1)};
}

void PictureBase::SetLocalRotation(float degrees) {
    m_rotation = degrees;
    MarkDirty(false);
}

void PictureBase::SetRotation(float degrees) {
    m_rotation = degrees - (m_parent ? m_parent->GetRotation() : 0.0f);
    MarkDirty(false);
}

float PictureBase::GetRotation() { return m_rotation + (m_parent ? m_parent->GetRotation() : 0.0f); }

bool PictureBase::HasLocalRotation() { return std::fabs(m_rotation) > kNone; }

bool PictureBase::HasRotation() { return HasLocalRotation() || (m_parent && m_parent->HasRotation()); }

void PictureBase::SetLocalScale(float x, float y) {
    m_scale = {x, y};
    MarkDirty(false);
}

bool PictureBase::HasLocalScale() {
    return std::fabs(m_scale.x - 1.0f) > kNone || std::fabs(m_scale.y - 1.0f) > kNone;
}

bool PictureBase::HasScale() { return HasLocalScale() || (m_parent && m_parent->HasScale()); }

bool PictureBase::IsMirrored() { return IsLocalMirrored() != (m_parent && m_parent->IsMirrored()); }

void PictureBase::SetLocalTransform(const Matrix& m) {
    m_position = {m(3, 0), m(3, 1)};
    float sx = std::sqrt(m(0, 0) * m(0, 0) + m(0, 1) * m(0, 1));
    const float sy = std::sqrt(m(1, 0) * m(1, 0) + m(1, 1) * m(1, 1));
    if (m(0, 0) * m(1, 1) - m(0, 1) * m(1, 0) < 0.0f) sx = -sx;
    // The angle from whichever axis survived; a zero scale leaves it 0, never NaN.
    float angle = 0.0f;
    if (sx != 0.0f)
        angle = std::atan2(m(0, 1) / sx, m(0, 0) / sx);
    else if (sy != 0.0f)
        angle = std::atan2(-m(1, 0) / sy, m(1, 1) / sy);
    m_rotation = angle * kRadToDeg;
    m_scale = {sx, sy};
    MarkDirty(true);
    if (!m_parent) {
        m_world = m;
        m_worldValid = true;
    }
}

void PictureBase::SetTransform(const Matrix& world) {
    if (!m_parent) {
        SetLocalTransform(world);
        return;
    }
    Matrix local;
    MatrixMultiplyFast(world, m_parent->GetInverseWorldMatrix(), local);
    SetLocalTransform(local);
}

void PictureBase::ApplyTransform(const Matrix& m) {
    Matrix local = GetLocalMatrix();
    MatrixMultiplyFast(local, m, local);
    SetLocalTransform(local);
}

void PictureBase::MoveToLocalPoint(float x, float y) {
    m_position = LocalToWorld({x, y});
    MarkDirty(true);
}

void PictureBase::Rotate(float degrees) {
    m_rotation += degrees;
    if (m_rotation > 360.0f)
        m_rotation -= 360.0f;
    else if (m_rotation < -360.0f)
        m_rotation += 360.0f;
    MarkDirty(false);
}

void PictureBase::RotateAbout(float cx, float cy, float degrees) {
    const PicPoint d = Turn({m_position.x - cx, m_position.y - cy}, degrees);
    m_position = {cx + d.x, cy + d.y};
    MarkDirty(true);
}

void PictureBase::RotateAboutWorldPoint(float cx, float cy, float degrees) {
    PicPoint c{cx, cy};
    if (m_parent) c = m_parent->WorldToLocal(c);
    RotateAbout(c.x, c.y, degrees);
}

PicPoint PictureBase::LocalToWorld(PicPoint p) { return Transform(p, GetWorldMatrix()); }

PicPoint PictureBase::WorldToLocal(PicPoint p) { return Transform(p, GetInverseWorldMatrix()); }

PicPoint PictureBase::LocalDirToWorld(PicPoint d) {
    if (HasLocalScale()) d = {d.x * m_scale.x, d.y * m_scale.y};
    if (HasLocalRotation()) d = Turn(d, m_rotation);
    return d;
}

// The inverse of LocalDirToWorld: a direction carries no position to subtract.
PicPoint PictureBase::WorldDirToLocal(PicPoint d) {
    if (HasLocalRotation()) d = Turn(d, -m_rotation);
    if (HasLocalScale()) {
        if (m_scale.x != 0.0f) d.x /= m_scale.x;
        if (m_scale.y != 0.0f) d.y /= m_scale.y;
    }
    return d;
}

Matrix PictureBase::GetLocalMatrix() {
    Matrix m;
    MatrixIdentity(m);
    if (HasLocalRotation()) MatrixRotationZ(m, m_rotation * kDegToRad);
    if (HasLocalScale()) {
        for (int c = 0; c < 2; ++c) {
            m(0, c) *= m_scale.x;
            m(1, c) *= m_scale.y;
        }
    }
    m(3, 0) = m_position.x;
    m(3, 1) = m_position.y;
    return m;
}

Matrix PictureBase::GetInverseLocalMatrix() {
    Matrix m = GetLocalMatrix();
    if (!MatrixInverseFast(m)) {
        LogWarning("picture: local matrix cannot be inverted");
        MatrixIdentity(m);
    }
    return m;
}

const Matrix& PictureBase::GetWorldMatrix() {
    if (!m_worldValid) {
        const Matrix local = GetLocalMatrix();
        if (m_parent)
            MatrixMultiplyFast(local, m_parent->GetWorldMatrix(), m_world);
        else
            m_world = local;
        m_worldValid = true;
        m_dirty = false;
    }
    return m_world;
}

const Matrix& PictureBase::GetInverseWorldMatrix() {
    if (!m_inverseValid) {
        Matrix inverse = GetWorldMatrix();
        // A zero scale has no inverse: keep the last one rather than fill it with infinities.
        if (MatrixInverseFast(inverse))
            m_inverseWorld = inverse;
        else
            LogWarning("picture: world matrix cannot be inverted");
        m_inverseValid = true;
    }
    return m_inverseWorld;
}

Matrix PictureBase::GetMatrixRelativeTo(IPicture* other) {
    Matrix out = GetWorldMatrix();
    if (other) MatrixMultiplyFast(out, other->GetInverseWorldMatrix(), out);
    return out;
}

void PictureBase::SetDisplayState(std::uint8_t state, bool toChildren) {
    m_displayState = state;
    if (toChildren)
        for (PictureBase* child : m_children) child->SetDisplayState(state, toChildren);
}

bool PictureBase::CreateShadow(const PicPoint* size) {
    render::IRenderer* renderer = Interfaces().renderer;
    render::ITexture* texture = renderer ? renderer->FindTexture("ShadowRound") : nullptr;
    if (!texture) return false;
    Picture* shadow = NewObject<Picture>(m_owner);
    if (!shadow) {
        renderer->ReleaseTexture(texture);
        return false;
    }
    shadow->TakeTexture(texture);
    const PicPoint s = size ? *size : PicPoint{64.0f, 32.0f};
    shadow->SetSize(s.x, s.y);
    shadow->SetAnchor(4);
    const PicPoint p = GetPosition();
    shadow->SetLocalPosition(p.x, p.y);
    DestroyShadow();
    m_shadow = shadow;
    return true;
}

bool PictureBase::IsSelfOrAncestor(const PictureBase* p) const {
    for (const PictureBase* a = this; a; a = a->m_parent)
        if (a == p) return true;
    return false;
}

void PictureBase::BecomeRootKeepingWorld() {
    const Matrix world = GetWorldMatrix();
    m_parent = nullptr;
    SetLocalTransform(world);
}

bool PictureBase::UnlinkChild(PictureBase* child, bool keepWorld) {
    // From the back: a dying tree takes its children off the end.
    auto it = std::find(m_children.rbegin(), m_children.rend(), child);
    if (it == m_children.rend()) return false;
    m_children.erase(std::next(it).base());
    NoteChildren();
    if (keepWorld)
        child->BecomeRootKeepingWorld();
    else {
        child->m_parent = nullptr;
        child->MarkDirty(true);
    }
    return true;
}

bool PictureBase::AddChild(IPicture* childInterface, bool keepWorld) {
    if (!childInterface) return false;
    PictureBase* child = FromInterface(childInterface);
    if (child->m_owner != m_owner || IsSelfOrAncestor(child)) return false;
    if (child->m_parent) child->m_parent->UnlinkChild(child, keepWorld);
    if (keepWorld) {
        Matrix inverse = GetWorldMatrix();
        // Under a parent without an inverse the child keeps its local transform.
        if (MatrixInverseFast(inverse)) {
            Matrix local;
            MatrixMultiplyFast(child->GetWorldMatrix(), inverse, local);
            child->m_parent = this;
            child->SetLocalTransform(local);
        } else {
            LogWarning("picture: parent has no inverse; the child keeps its local transform");
            child->m_parent = this;
            child->MarkDirty(true);
        }
    } else {
        child->m_parent = this;
        child->MarkDirty(true);
    }
    m_children.push_back(child);
    NoteChildren();
    return true;
}

bool PictureBase::RemoveChild(IPicture* childInterface, bool keepWorld) {
    if (!childInterface) return false;
    PictureBase* child = FromInterface(childInterface);
    if (child->m_parent != this || !UnlinkChild(child, keepWorld)) return false;
    if (m_homeParent && m_homeParent != child) m_homeParent->AddChild(child, keepWorld);
    return true;
}

IPicture* PictureBase::GetChild(int index) {
    if (index < 0 || index >= GetChildCount()) return nullptr;
    return m_children[static_cast<std::size_t>(index)];
}

bool PictureBase::SetParentPicture(IPicture* parent) {
    if (parent) return parent->AddChild(this, false);
    if (!m_parent || m_parent == m_homeParent) return true;
    return m_parent->RemoveChild(this, false);
}

IPicture* PictureBase::GetParent() { return m_parent; }

void PictureBase::PassChildrenToParent() {
    std::vector<PictureBase*> children;
    children.swap(m_children);
    NoteChildren();
    for (PictureBase* child : children) {
        child->BecomeRootKeepingWorld();
        if (m_parent) m_parent->AddChild(child, true);
    }
}

void PictureBase::DetachChildren() {
    std::vector<PictureBase*> children;
    children.swap(m_children);
    NoteChildren();
    for (PictureBase* child : children) {
        child->DetachChildren();
        child->BecomeRootKeepingWorld();
    }
}

// Children go up to the parent before this picture leaves it, so none is left without an
// owner.
void PictureBase::Detach() {
    DestroyShadow();
    m_homeParent = nullptr;
    PassChildrenToParent();
    if (m_parent) m_parent->UnlinkChild(this, false);
}

PicPoint PictureBase::GetWorldScale() {
    if (HasRotation()) {
        const Matrix& w = GetWorldMatrix();
        return {std::sqrt(w(0, 0) * w(0, 0) + w(0, 1) * w(0, 1)), std::sqrt(w(1, 0) * w(1, 0) + w(1, 1) * w(1, 1))};
    }
    const PicPoint p = m_parent ? m_parent->GetWorldScale() : PicPoint{1.0f, 1.0f};
    return {m_scale.x * p.x, m_scale.y * p.y};
}

void PictureBase::PrepareQuad() {
    for (PictureBase* child : m_children) child->PrepareQuad();
    if (m_shadow) m_shadow->PrepareQuad();
}

void PictureBase::MarkDirty(bool moved) {
    m_dirty = true;
    m_worldValid = false;
    m_inverseValid = false;
    for (PictureBase* child : m_children) child->MarkDirty(true);
    if (moved && m_shadow) {
        const PicPoint p = GetPosition();
        m_shadow->SetLocalPosition(p.x, p.y);
        m_shadow->SetDisplayState(1, false);
    }
}

bool PictureBase::QuadCorners(PicPoint pivot, PicPoint size, PicPoint out[4]) {
    if (HasRotation()) {
        const Matrix& w = GetWorldMatrix();
        const PicPoint local[4] = {{-pivot.x, -pivot.y},
                                   {-pivot.x + size.x, -pivot.y},
                                   {-pivot.x + size.x, -pivot.y + size.y},
                                   {-pivot.x, -pivot.y + size.y}};
        for (int i = 0; i < 4; ++i) {
            out[i] = Transform(local[i], w);
            out[i].x -= 0.5f;
            out[i].y -= 0.5f;
        }
        return true;
    }
    float left = -pivot.x, top = -pivot.y;
    float right = left + size.x, bottom = top + size.y;
    if (HasScale()) {
        const PicPoint s = GetWorldScale();
        left *= s.x;
        right *= s.x;
        top *= s.y;
        bottom *= s.y;
    }
    const PicPoint p = GetPosition();
    out[0] = {left + p.x, top + p.y};
    out[1] = {right + p.x, top + p.y};
    out[2] = {right + p.x, bottom + p.y};
    out[3] = {left + p.x, bottom + p.y};
    return false;
}

// --- Picture ----------------------------------------------------------------------------------

void Picture::CreateSharedMaterial() {
    if (!g_pictureEffect) g_pictureEffect = MakePictureEffect();
}

void Picture::ReleaseSharedMaterial() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (g_pictureEffect && renderer) renderer->ReleaseEffect(g_pictureEffect);
    g_pictureEffect = nullptr;
}

render::IEffect* Picture::SharedMaterial() { return g_pictureEffect; }

Picture::Picture(IScene* owner) : PictureBase(owner) {
    render::IRenderer* renderer = Interfaces().renderer;
    m_primitive = renderer ? renderer->CreatePrimitive(7, kScreenQuadFormat) : nullptr;
    if (m_primitive) {
        m_primitive->SetVertexCount(1, -1, 0, 1);
        m_primitive->SetEffect(g_pictureEffect);
    }
}

Picture::~Picture() {
    ReleaseTexture();
    render::IRenderer* renderer = Interfaces().renderer;
    if (m_primitive && renderer) {
        m_primitive->Release();
        renderer->ReleasePrimitive(m_primitive);
    }
    m_primitive = nullptr;
}

void Picture::ReleaseTexture() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (m_texture && renderer) renderer->ReleaseTexture(m_texture);
    m_texture = nullptr;
}

void Picture::TakeTexture(render::ITexture* texture) {
    if (texture == m_texture) return;
    ReleaseTexture();
    m_texture = texture;
    if (m_primitive) m_primitive->SetTexture(0, texture);
    std::uint32_t w = 0, h = 0;
    if (texture) texture->GetSize(&w, &h);
    SetSize(static_cast<float>(w), static_cast<float>(h));
}

void Picture::SetSize(float width, float height) {
    m_width = width;
    m_height = height;
    m_quadValid = false;
}

void Picture::SetPivot(float x, float y) {
    m_pivot = {x, y};
    m_quadValid = false;
}

void Picture::SetAnchor(int code) {
    if (code < 0 || code > 8) {
        SetPivot(0.0f, 0.0f);
        return;
    }
    const float fx[3] = {0.0f, m_width / 2.0f, m_width};
    const float fy[3] = {0.0f, m_height / 2.0f, m_height};
    SetPivot(fx[code % 3], fy[code / 3]);
}

PicRect Picture::GetBoundingRect() {
    PicPoint c[4];
    QuadCorners(m_pivot, {m_width, m_height}, c);
    PicRect r{c[0].x, c[0].y, c[0].x, c[0].y};
    for (const PicPoint& p : c) {
        r.left = std::min(r.left, p.x);
        r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x);
        r.bottom = std::max(r.bottom, p.y);
    }
    return r;
}

void Picture::SetName(const char* name) {
    std::memset(m_name, 0, sizeof m_name);
    if (name) std::strncpy(m_name, name, sizeof m_name - 1);
}

void Picture::SetTextureName(const char* name) {
    if (!name) name = "";
    if (std::strcmp(m_textureName.c_str(), name) != 0) m_textureName = common::SharedString(name);
}

void Picture::MarkDirty(bool moved) {
    PictureBase::MarkDirty(moved);
    m_quadValid = false;
}

bool Picture::Load(const char* path) {
    render::IRenderer* renderer = Interfaces().renderer;
    render::ITexture* texture = renderer && path ? renderer->LoadTexture(path, 0, 0, -3, 0, 0, 0) : nullptr;
    if (!texture) return false;
    SetTextureName(path);
    TakeTexture(texture);
    return true;
}

void Picture::WriteQuad(float u0, float v0, float u1, float v1) {
    PicPoint c[4];
    QuadCorners(m_pivot, {m_width, m_height}, c);
    const float uv[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
    const std::uint32_t colour = (std::uint32_t(m_alpha) << 24) | 0x00FFFFFFu;
    for (int i = 0; i < 4; ++i) {
        const float position[3] = {c[i].x, c[i].y, 0.0f};
        m_primitive->SetVertexUV(i, position, uv[i][0], uv[i][1], colour);
    }
}

void Picture::Render(bool draw, bool /*drawShadow*/) {
    if (!draw || !m_primitive) return;
    if (!m_quadValid) {
        WriteQuad(0.0f, 0.0f, 1.0f, 1.0f);
        m_quadValid = true;
    }
    m_primitive->Commit();
    m_primitive->Draw(-1, -1, 0);
}

}  // namespace quor::world
