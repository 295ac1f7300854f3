#include "world/core/VisibleObject.h"
#include "world/core/LodGroup.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quor::world {

namespace {

constexpr int kInvisibleLod = 15;
constexpr std::uint8_t kParentBoundValid = TransformBlock::kDerived0;
constexpr std::uint8_t kWorldBoundValid = TransformBlock::kDerived1;

Frustum g_frameFrustum[2];

}  // namespace

const Bounds& VisibleObject::ZeroBound() {
    static const Bounds zero{};
    return zero;
}

void VisibleObject::SetFrameFrustum(int pass, const Frustum& frustum) {
    g_frameFrustum[PassIndex(pass)] = frustum;
}

const Frustum& VisibleObject::GetFrameFrustum(int pass) { return g_frameFrustum[PassIndex(pass)]; }

VisibleObject::VisibleObject() = default;

void VisibleObject::SetScene(ObjectOwner* scene) {
    // Level-of-detail groups hold their members by address: one moving to another scene
    // leaves the groups of the scene it left.
    if (scene != GetScene()) LodGroup::ObjectLeaving(this, scene);
    SpaceObject::SetScene(scene);
}

VisibleObject::~VisibleObject() {
    LodGroup::ObjectLeaving(this, nullptr);
    if (m_renderRecord) {
        m_renderRecord->inUse = 0;
    }
    if (ObjectOwner* scene = GetScene()) {
        scene->RemoveNamedObject(this);
    }
}

// --- visibility --------------------------------------------------------------------------------

void VisibleObject::SetVisible(bool visible, bool recursive) {
    SetHideFlags(!visible, 1, recursive);
    SpaceObject::SetVisible(visible, recursive);
}

bool VisibleObject::IsVisible() { return m_hideFlags == 0 && m_lod < kInvisibleLod; }

void VisibleObject::SetHideFlags(bool set, std::uint16_t mask, bool recursive) {
    if (set) {
        m_hideFlags = static_cast<std::uint16_t>(m_hideFlags | mask);
    } else {
        m_hideFlags = static_cast<std::uint16_t>(m_hideFlags & ~mask);
    }
    if (recursive) {
        for (SpaceObject* child : Children()) {
            child->SetHideFlags(set, mask, true);
        }
    }
}

void VisibleObject::SetLod(int level, int a, int b) {
    m_lod = level;
    m_lodA = a;
    m_lodB = b;
}

// --- plain operations of the main table --------------------------------------------------------

void VisibleObject::SetCulledResult(std::uint8_t culled) { m_culled[PassIndex(kCullPassMain)] = culled; }

int VisibleObject::GetDrawPass() { return GetPartDrawPass(0); }

int VisibleObject::GetPartDrawPass(int) { return 0; }

common::SharedString VisibleObject::GetResourceName() { return common::SharedString(); }

const Bounds* VisibleObject::GetLocalBound() { return &ZeroBound(); }
const Bounds* VisibleObject::GetPartBound(int) { return &ZeroBound(); }
const Bounds* VisibleObject::GetPartBoundInParent(int) { return &ZeroBound(); }
const Bounds* VisibleObject::GetPartBoundInWorld(int) { return &ZeroBound(); }

bool VisibleObject::PreDraw() { return false; }

void VisibleObject::DrawPart(int) {}

bool VisibleObject::GetPartCulled(int, int) { return false; }

std::uint8_t VisibleObject::GetCulledResult(int pass) const { return m_culled[PassIndex(pass)]; }

// --- bounds ------------------------------------------------------------------------------------

void VisibleObject::BoundToParent(const Bounds& bound, Bounds& out) {
    Vec3 center;
    LocalToParent(bound.centre, center);
    const Vec3 scale = HasScale() ? *GetScale() : Vec3{1.0f, 1.0f, 1.0f};
    out.centre = center;
    out.half = Vec3{bound.half.x * std::fabs(scale.x), bound.half.y * std::fabs(scale.y),
                    bound.half.z * std::fabs(scale.z)};
    Matrix local;
    GetLocalMatrix(local);
    out.radius = bound.radius * MatrixMaxStretch(local);
}

void VisibleObject::BoundToWorld(const Bounds& bound, Bounds& out) {
    Vec3 center;
    LocalToWorld(bound.centre, center);
    Vec3 scale;
    GetWorldScale(scale);
    out.centre = center;
    out.half = Vec3{bound.half.x * std::fabs(scale.x), bound.half.y * std::fabs(scale.y),
                    bound.half.z * std::fabs(scale.z)};
    // The stretch of the world matrix itself: a product of per-level scales misses the shear
    // that keep-world moves under rotated, non-uniformly scaled parents leave behind.
    out.radius = bound.radius * MatrixMaxStretch(GetWorldMatrix());
}

void VisibleObject::GetBoundParts(const Bounds& bound, Vec3* center, float* radius, Vec3* extents,
                                  int space) {
    Bounds b = bound;
    if (space == kBoundParent) {
        BoundToParent(bound, b);
    } else if (space == kBoundWorld) {
        BoundToWorld(bound, b);
    }
    if (center) {
        *center = b.centre;
    }
    if (radius) {
        *radius = b.radius;
    }
    if (extents) {
        *extents = b.half;
    }
}

void VisibleObject::UpdateWorldBounds(int which) {
    // The valid bits live in the transform block, where every invalidation clears them.
    TransformBlock& block = *GetTransformBlock();
    if (which == kBoundParent) {
        if (!(block.valid & kParentBoundValid)) {
            BoundToParent(*GetLocalBound(), m_parentBound);
            block.valid |= kParentBoundValid;
        }
    } else if (which == kBoundWorld) {
        if (!(block.valid & kWorldBoundValid)) {
            BoundToWorld(*GetLocalBound(), m_worldBound);
            block.valid |= kWorldBoundValid;
        }
    }
}

void VisibleObject::GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) {
    const Bounds* b = GetLocalBound();
    if (space == kBoundParent || space == kBoundWorld) {
        UpdateWorldBounds(space);
        b = space == kBoundParent ? &m_parentBound : &m_worldBound;
    }
    if (center) {
        *center = b->centre;
    }
    if (radius) {
        *radius = b->radius;
    }
    if (extents) {
        *extents = b->half;
    }
}

void VisibleObject::GetPartWorldBound(int part, Vec3* center, float* radius, Vec3* extents,
                                      int space) {
    if (part < 0 || part >= GetPartCount()) {
        return;
    }
    GetBoundParts(*GetPartBound(part), center, radius, extents, space);
}

Vec3 VisibleObject::GetBoundCenter(int space) {
    Vec3 c;
    GetWorldBound(&c, nullptr, nullptr, space);
    return c;
}

float VisibleObject::GetBoundRadius(int space) {
    float r = 0.0f;
    GetWorldBound(nullptr, &r, nullptr, space);
    return r;
}

Vec3 VisibleObject::GetBoundExtents(int space) {
    Vec3 e;
    GetWorldBound(nullptr, nullptr, &e, space);
    return e;
}

Vec3 VisibleObject::GetPartCenter(int part, int space) {
    Vec3 c;
    GetBoundParts(*GetPartBound(part), &c, nullptr, nullptr, space);
    return c;
}

float VisibleObject::GetPartRadius(int part, int space) {
    float r = 0.0f;
    GetBoundParts(*GetPartBound(part), nullptr, &r, nullptr, space);
    return r;
}

Vec3 VisibleObject::GetPartExtents(int part, int space) {
    Vec3 e;
    GetBoundParts(*GetPartBound(part), nullptr, nullptr, &e, space);
    return e;
}

void VisibleObject::GetBoundCorners(Vec3* out8, int selector, int space) {
    const Bounds& b = selector == -1 ? *GetPartBound(-1) : *GetLocalBound();
    for (int i = 0; i < 8; ++i) {
        // Bit 0 picks the x side, bit 1 the y side, bit 2 the z side, as frustum corners do.
        const Vec3 corner{b.centre.x + ((i & 1) ? b.half.x : -b.half.x),
                          b.centre.y + ((i & 2) ? b.half.y : -b.half.y),
                          b.centre.z + ((i & 4) ? b.half.z : -b.half.z)};
        if (space == kBoundParent) {
            LocalToParent(corner, out8[i]);
        } else if (space == kBoundWorld) {
            LocalToWorld(corner, out8[i]);
        } else {
            out8[i] = corner;
        }
    }
}

bool VisibleObject::GetSubtreeBox(Vec3& min, Vec3& max, ISpaceObject* reference) {
    bool any = false;
    for (SpaceObject* child : Children()) {
        auto* visible = dynamic_cast<VisibleObject*>(child);
        if (!visible) {
            continue;
        }
        Vec3 cmin;
        Vec3 cmax;
        if (!visible->GetSubtreeBox(cmin, cmax, reference)) {
            continue;
        }
        if (!any) {
            min = cmin;
            max = cmax;
            any = true;
            continue;
        }
        min = Vec3{std::min(min.x, cmin.x), std::min(min.y, cmin.y), std::min(min.z, cmin.z)};
        max = Vec3{std::max(max.x, cmax.x), std::max(max.y, cmax.y), std::max(max.z, cmax.z)};
    }
    return any;
}

// --- texts -------------------------------------------------------------------------------------

void VisibleObject::SetShortName(const char* name) {
    std::memset(m_shortName, 0, sizeof m_shortName);
    if (name) {
        std::strncpy(m_shortName, name, sizeof m_shortName - 1);
    }
}

void VisibleObject::AddString(const char* text) { m_strings.emplace_back(text ? text : ""); }

void VisibleObject::SetString(int index, const char* text) {
    if (index < 0 || index >= GetStringCount()) {
        return;
    }
    m_strings[static_cast<std::size_t>(index)] = text ? text : "";
}

const char* VisibleObject::GetString(int index) {
    if (index < 0 || index >= GetStringCount()) {
        return nullptr;
    }
    return m_strings[static_cast<std::size_t>(index)].c_str();
}

void VisibleObject::SetStringCount(int count) {
    m_strings.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
}

// --- drawing and culling -----------------------------------------------------------------------

void VisibleObject::DrawParts(int pass) {
    const int count = GetPartCount();
    for (int part = 0; part < count; ++part) {
        if (GetPartDrawPass(part) == pass) {
            DrawPart(part);
        }
    }
}

const Frustum& VisibleObject::GetLocalFrustum(int pass) const {
    static const Frustum empty{};
    return m_localFrustum ? m_localFrustum[PassIndex(pass)] : empty;
}

void VisibleObject::RefreshFrustumCopy(int pass) {
    const int i = PassIndex(pass);
    const Frustum& frame = GetFrameFrustum(pass);
    if (!m_localFrustum) {
        m_localFrustum = std::make_unique<Frustum[]>(2);
    }
    Frustum& local = m_localFrustum[i];
    const Matrix& toLocal = GetInverseWorldMatrix();
    for (int c = 0; c < 8; ++c) {
        TransformPoint(frame.corners[c], toLocal, local.corners[c]);
    }
    // A mirroring transform reverses the winding of every face, and with it the plane sides.
    local.flipped = IsWorldMirrored() ? 1 : 0;
    local.BuildPlanes();
}

bool VisibleObject::UpdateCulling(int /*part*/, int pass) {
    const int i = PassIndex(pass);
    std::uint8_t culled = 0;
    if (!IsVisible()) {
        culled = 1;
    } else if (m_cullCandidate) {
        UpdateWorldBounds(kBoundWorld);
        if (GetFrameFrustum(pass).TestSphere(m_worldBound.centre, m_worldBound.radius,
                                             &m_fullyInside[i])) {
            // The sphere test leaves the byte alone when it rejects; a culled object is not
            // wholly inside.
            m_fullyInside[i] = 0;
            culled = 1;
        } else if (!m_fullyInside[i]) {
            RefreshFrustumCopy(pass);
            const Bounds& local = *GetLocalBound();
            if (GetLocalFrustum(pass).TestBox(local.centre, local.half, true)) {
                culled = 1;
            }
        }
    }
    m_culled[i] = culled;
    return culled != 0;
}

bool VisibleObject::IsCulled(int part, int pass) {
    if (!IsVisibleThunk(part)) {
        return true;
    }
    if (!m_cullingEnabled) {
        return false;
    }
    const int i = PassIndex(pass);
    if (m_fullyInside[i]) {
        return false;
    }
    const Bounds& b = *GetPartBound(part);
    const Frustum& local = GetLocalFrustum(pass);
    std::uint8_t inside = 0;
    if (local.TestSphere(b.centre, b.radius, &inside)) {
        return true;
    }
    if (inside) {
        return false;
    }
    return local.TestBox(b.centre, b.half, true);
}

}  // namespace quor::world
