#include "world/core/SpaceObject.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <typeinfo>

#include "world/core/math/Geometry.h"
#include "world/core/Log.h"
#include "world/core/VisibleObject.h"

namespace quor::world {

namespace {

// Objects are constructed on loader threads as well as on the main thread.
std::atomic<std::uint32_t> g_lastId{0};

void Erase(std::vector<SpaceObject*>& list, const SpaceObject* object) {
    auto it = std::find(list.begin(), list.end(), object);
    if (it != list.end()) {
        list.erase(it);
    }
}

bool NearOne(float v) { return std::fabs(v - 1.0f) < 1e-4f; }

}  // namespace

SpaceObject::SpaceObject()
    : m_transform(TransformStore::Instance().Acquire(this)),
      m_id(g_lastId.fetch_add(1, std::memory_order_relaxed) + 1) {}

std::uint32_t SpaceObject::LastIssuedId() { return g_lastId.load(std::memory_order_relaxed); }

SpaceObject::~SpaceObject() {
    if (m_scene && m_scene->GetRootObject() != this) {
        m_scene->ForgetObjectId(m_id);
    }
    Clear();
    // Attachments are owned with their parent and go first when a scene releases it; any that
    // are still here must not keep pointing at freed memory.
    ObjectLockGuard guard(m_scene);
    for (SpaceObject* attachment : m_attachments) {
        attachment->LinkParent(nullptr);
        attachment->m_isAttachment = 0;
        attachment->InvalidateTransform();
    }
    m_attachments.clear();
    // Every child has left (Clear), so no block points at this one any more.
    TransformStore::Instance().Release(m_transform);
    m_transform = nullptr;
}

SpaceObject* SpaceObject::FromInterface(ISpaceObject* object) {
    return static_cast<SpaceObject*>(object);
}

// --- transform setters -------------------------------------------------------------------------

void SpaceObject::SetPosition(const Vec3& position) {
    m_transform->position = position;
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::SetWorldPosition(const Vec3& position) {
    if (m_parent) {
        m_parent->WorldToLocal(position, m_transform->position);
    } else {
        m_transform->position = position;
    }
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::GetWorldPosition(Vec3& out) {
    if (!m_parent) {
        out = m_transform->position;
        return;
    }
    out = GetWorldMatrix().Row(3);
}

void SpaceObject::SetRotation(const Matrix& rotation) {
    MatrixRotationPart(m_transform->rotation, rotation);
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::SetWorldRotation(const Matrix& rotation) {
    Vec3 translation;
    Vec3 scale;
    Matrix own;
    MatrixDecompose(rotation, translation, own, scale);
    if (m_parent) {
        Matrix parentRotation;
        m_parent->GetWorldRotation(parentRotation);
        // The inverse of a pure rotation is its transpose.
        Matrix inverse;
        MatrixIdentity(inverse);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                inverse(r, c) = parentRotation(c, r);
            }
        }
        MatrixMultiplyFast(own, inverse, own);
        OrthonormalizeRotation(own);
    }
    m_transform->rotation = own;
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::GetWorldRotation(Matrix& out) {
    if (!m_parent) {
        out = m_transform->rotation;
        return;
    }
    Matrix parentRotation;
    m_parent->GetWorldRotation(parentRotation);
    MatrixMultiplyFast(m_transform->rotation, parentRotation, out);
}

void SpaceObject::SetScale(const Vec3& scale) {
    m_transform->scale = scale;
    m_transform->hasScale = 1;
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::SetWorldScale(const Vec3& scale) {
    m_transform->scale = scale;
    if (m_parent) {
        Vec3 parentScale;
        m_parent->GetWorldScale(parentScale);
        m_transform->scale.x /= parentScale.x;
        m_transform->scale.y /= parentScale.y;
        m_transform->scale.z /= parentScale.z;
    }
    m_transform->hasScale = 1;
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::GetWorldScale(Vec3& out) {
    out = m_transform->scale;
    if (m_parent) {
        Vec3 parentScale;
        m_parent->GetWorldScale(parentScale);
        out.x *= parentScale.x;
        out.y *= parentScale.y;
        out.z *= parentScale.z;
    }
}

bool SpaceObject::HasWorldScale() {
    return m_transform->hasScale != 0 || (m_parent && m_parent->HasWorldScale());
}

// Decided by the determinant, not by the scale signs: SetRotation and the decomposition of a
// sheared matrix may leave a rotation that mirrors by itself.
bool SpaceObject::IsMirrored() {
    Matrix local;
    BuildLocalMatrix(local);
    return MatrixIsMirrored(local);
}

bool SpaceObject::IsWorldMirrored() { return MatrixIsMirrored(GetWorldMatrix()); }

void SpaceObject::SetPositionAndDirection(const Vec3& position, const Vec3& from, const Vec3& to) {
    m_transform->position = position;
    RotationBetweenVectors(from, to, m_transform->rotation);
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::SetTransformFromMatrix(const Matrix& m) {
    MatrixDecompose(m, m_transform->position, m_transform->rotation, m_transform->scale);
    m_transform->hasScale = NearOne(m_transform->scale.x) && NearOne(m_transform->scale.y) && NearOne(m_transform->scale.z) ? 0 : 1;
    RebaseTrack();
}

void SpaceObject::SetLocalMatrix(const Matrix& m) {
    SetTransformFromMatrix(m);
    InvalidateTransform();
    if (!m_parent) {
        m_transform->world = m;
        m_transform->valid |= TransformBlock::kWorld;
    }
}

void SpaceObject::SetWorldMatrix(const Matrix& m) {
    if (!m_parent) {
        SetLocalMatrix(m);
        return;
    }
    Matrix local;
    MatrixMultiplyFast(m, m_parent->GetInverseWorldMatrix(), local);
    SetLocalMatrix(local);
    m_transform->world = m;
    m_transform->valid |= TransformBlock::kWorld;
}

void SpaceObject::ApplyMatrix(const Matrix& m) {
    Matrix local;
    GetLocalMatrix(local);
    MatrixMultiplyFast(local, m, local);
    SetLocalMatrix(local);
}

void SpaceObject::MoveLocal(const Vec3& offset) {
    // The offset runs along the object's own axes; the result is a position in parent space,
    // which is what the position field holds (a world-space point would misplace any object
    // whose parent is not at the origin).
    Vec3 moved;
    LocalToParent(offset, moved);
    m_transform->position = moved;
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::RotateLocalX(float angle) { Rotate(m_transform->rotation.Row(0), angle); }
void SpaceObject::RotateLocalY(float angle) { Rotate(m_transform->rotation.Row(1), angle); }
void SpaceObject::RotateLocalZ(float angle) { Rotate(m_transform->rotation.Row(2), angle); }

void SpaceObject::RotateAroundAxis(const Ray& axis, float angle) {
    Vec3 position;
    RotatePointAroundAxis(position, m_transform->position, axis, angle);
    m_transform->position = position;
    Vec3 direction = axis.direction;
    Vec3SetLength(direction, 1.0f);
    Matrix turn;
    MatrixRotationAxis(turn, direction, angle);
    MatrixMultiplyFast(m_transform->rotation, turn, m_transform->rotation);
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::Rotate(const Vec3& axis, float angle) {
    // The axis may be a row of the rotation itself: copy it before the rotation changes.
    const Vec3 a = axis;
    Matrix turn;
    MatrixRotationAxis(turn, a, angle);
    MatrixMultiplyFast(m_transform->rotation, turn, m_transform->rotation);
    InvalidateTransform();
    RebaseTrack();
}

void SpaceObject::RotateAroundWorldAxis(const Ray& axis, float angle) {
    Ray local;
    WorldToParentSpace(axis, local);
    RotateAroundAxis(local, angle);
}

void SpaceObject::WorldToParentSpace(const Ray& worldAxis, Ray& out) {
    if (!m_parent) {
        out = worldAxis;
        return;
    }
    const Matrix& inverse = m_parent->GetInverseWorldMatrix();
    Vec3 origin;
    TransformPoint(worldAxis.origin, inverse, origin);
    Vec3 direction;
    TransformNormal(worldAxis.direction, inverse, direction);
    out.origin = origin;
    out.direction = direction;
}

void SpaceObject::SetWorldMatrixElements(const float* e) {
    if (!e) return;
    // Four rows of three: the three axes, then the translation.
    Matrix m;
    MatrixSet16(m, e[0], e[1], e[2], 0.0f, e[3], e[4], e[5], 0.0f, e[6], e[7], e[8], 0.0f, e[9],
                e[10], e[11], 1.0f);
    SetWorldMatrix(m);
}

// --- conversions and caches --------------------------------------------------------------------

Vec3& SpaceObject::LocalToWorld(const Vec3& p, Vec3& out) {
    return TransformPoint(p, GetWorldMatrix(), out);
}

Vec3& SpaceObject::WorldToLocal(const Vec3& p, Vec3& out) {
    const Matrix& inverse = GetInverseWorldMatrix();
    if (!(m_transform->valid & TransformBlock::kInverse)) {
        // A singular object (a zero scale) has no local space: the point lands at infinity,
        // where no bound contains it.
        out = Vec3{INFINITY, INFINITY, INFINITY};
        return out;
    }
    return TransformPoint(p, inverse, out);
}

Vec3& SpaceObject::LocalToParent(const Vec3& p, Vec3& out) {
    Vec3 v = p;
    if (m_transform->hasScale) {
        v.x *= m_transform->scale.x;
        v.y *= m_transform->scale.y;
        v.z *= m_transform->scale.z;
    }
    TransformNormal(v, m_transform->rotation, v);
    out = v + m_transform->position;
    return out;
}

Vec3& SpaceObject::ParentToLocal(const Vec3& p, Vec3& out) {
    const Vec3 d = p - m_transform->position;
    // Row vectors: multiplying by the transpose is a dot product with each axis row.
    Vec3 v{Vec3Dot(d, m_transform->rotation.Row(0)), Vec3Dot(d, m_transform->rotation.Row(1)),
           Vec3Dot(d, m_transform->rotation.Row(2))};
    v.x /= m_transform->scale.x;
    v.y /= m_transform->scale.y;
    v.z /= m_transform->scale.z;
    out = v;
    return out;
}

void SpaceObject::BuildLocalMatrix(Matrix& out) const { TransformStore::BuildLocal(*m_transform, out); }

const Matrix& SpaceObject::GetWorldMatrix() { return TransformStore::World(m_transform); }

const Matrix& SpaceObject::GetInverseWorldMatrix() {
    if (!(m_transform->valid & TransformBlock::kInverse)) {
        // A singular world matrix keeps the last good inverse (identity at first) and stays
        // marked stale, so the next read tries again.
        Matrix inverse = GetWorldMatrix();
        if (MatrixInverseFast(inverse)) {
            m_transform->Cold().inverse = inverse;
            m_transform->valid |= TransformBlock::kInverse;
        }
    }
    return m_transform->Cold().inverse;
}

void SpaceObject::GetLocalMatrix(Matrix& out) { BuildLocalMatrix(out); }

void SpaceObject::GetInverseLocalMatrix(Matrix& out) {
    BuildLocalMatrix(out);
    if (!MatrixInverseFast(out)) {
        MatrixIdentity(out);
        return;
    }
    if (!m_parent) {
        m_transform->Cold().inverse = out;
        m_transform->valid |= TransformBlock::kInverse;
    }
}

void SpaceObject::GetRelativeMatrix(ISpaceObject* other, Matrix& out) {
    if (!other) {
        MatrixIdentity(out);
        return;
    }
    MatrixMultiplyFast(other->GetWorldMatrix(), GetInverseWorldMatrix(), out);
}

void SpaceObject::InvalidateTransform() {
    // Marks only: the next read of a cache, or the frame's update, recomputes. The walk below
    // follows the blocks' child lists and visits an object only when its class reacts to the
    // invalidation itself (cameras, visible nodes, effects): those get their own call.
    m_transform->transformChanged = 1;
    m_transform->valid = 0;
    TransformStore::InvalidateBelow(m_transform);
}

void SpaceObject::LinkParent(SpaceObject* parent) {
    m_parent = parent;
    // Decided here rather than in the constructor, where the object is not yet of its final
    // class: every class but these two has an override of its own.
    m_transform->ownWalk =
        typeid(*this) == typeid(SpaceObject) || typeid(*this) == typeid(VisibleObject) ? 0 : 1;
    TransformStore::Link(m_transform, parent ? parent->m_transform : nullptr);
}

// --- hierarchy ---------------------------------------------------------------------------------

bool SpaceObject::IsDescendantOf(const SpaceObject* ancestor) const {
    if (!ancestor) {
        return false;
    }
    for (const SpaceObject* p = m_parent; p; p = p->m_parent) {
        if (p == ancestor) {
            return true;
        }
    }
    return false;
}

bool SpaceObject::SharesRootWith(const SpaceObject* child) const {
    // A scene's root has no root node of its own; the objects hung under it name it.
    return child->m_rootNode == m_rootNode || child->m_rootNode == this;
}

bool SpaceObject::CanAdopt(const SpaceObject* child) const {
    return child != this && !IsDescendantOf(child) && child->m_scene == m_scene &&
           SharesRootWith(child);
}

void SpaceObject::LeaveParentList() {
    if (!m_parent) {
        return;
    }
    Erase(m_isAttachment ? m_parent->m_attachments : m_parent->m_children, this);
    LinkParent(nullptr);
    m_isAttachment = 0;
}

void SpaceObject::Adopt(SpaceObject* child, bool keepWorld, bool asAttachment,
                        const Matrix& childWorld) {
    (asAttachment ? m_attachments : m_children).push_back(child);
    child->LinkParent(this);
    child->m_isAttachment = asAttachment ? 1 : 0;
    if (keepWorld) {
        Matrix local;
        MatrixMultiplyFast(childWorld, GetInverseWorldMatrix(), local);
        child->SetTransformFromMatrix(local);
    }
    child->InvalidateTransform();
}

void SpaceObject::MoveUnder(SpaceObject* child, bool keepWorld, bool asAttachment) {
    Matrix childWorld;
    if (keepWorld) {
        childWorld = child->GetWorldMatrix();
    }
    child->LeaveParentList();
    Adopt(child, keepWorld, asAttachment, childWorld);
}

bool SpaceObject::AddChild(ISpaceObject* childObject, bool keepWorld) {
    SpaceObject* child = FromInterface(childObject);
    if (!child) {
        return false;
    }
    ObjectLockGuard guard(m_scene);
    if (child->m_isAttachment || !CanAdopt(child)) {
        return false;
    }
    MoveUnder(child, keepWorld, false);
    return true;
}

bool SpaceObject::AddAttachment(ISpaceObject* childObject, bool keepWorld) {
    SpaceObject* child = FromInterface(childObject);
    if (!child) {
        return false;
    }
    ObjectLockGuard guard(m_scene);
    // Every refusal is decided before the child leaves its old list, so a refused call
    // changes nothing.
    if (child == this || IsDescendantOf(child) || child->m_scene != m_scene) {
        return false;
    }
    if (!SharesRootWith(child)) {
        LogInfo("%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(m_rootNode)));
        LogInfo("%llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(child->m_rootNode)));
        return false;
    }
    MoveUnder(child, keepWorld, true);
    return true;
}

bool SpaceObject::Remove(ISpaceObject* childObject, bool keepWorld, bool fromAttachments) {
    SpaceObject* child = FromInterface(childObject);
    if (!child) {
        return false;
    }
    ObjectLockGuard guard(m_scene);
    if (child->m_parent != this || (child->m_isAttachment != 0) != fromAttachments) {
        return false;
    }
    // The child goes back to the root of its tree; removing from the root itself puts it at
    // the end of the root's children.
    if (SpaceObject* root = child->m_rootNode) {
        root->MoveUnder(child, keepWorld, false);
        return true;
    }
    Matrix childWorld;
    if (keepWorld) {
        childWorld = child->GetWorldMatrix();
    }
    child->LeaveParentList();
    if (keepWorld) {
        child->SetTransformFromMatrix(childWorld);
    }
    child->InvalidateTransform();
    return true;
}

bool SpaceObject::RemoveChild(ISpaceObject* childObject, bool keepWorld) {
    return Remove(childObject, keepWorld, false);
}

bool SpaceObject::RemoveAttachment(ISpaceObject* childObject, bool keepWorld) {
    return Remove(childObject, keepWorld, true);
}

void SpaceObject::SetParent(ISpaceObject* parent) {
    if (parent) {
        parent->AddChild(this, true);
        return;
    }
    if (!m_parent || m_parent == m_rootNode) {
        return;
    }
    m_parent->RemoveChild(this, true);
}

ISpaceObject* SpaceObject::GetParent() {
    return m_parent == m_rootNode ? nullptr : m_parent;
}

ISpaceObject* SpaceObject::GetChild(int index) {
    if (index < 0 || index >= static_cast<int>(m_children.size())) {
        return nullptr;
    }
    return m_children[static_cast<std::size_t>(index)];
}

void SpaceObject::SetRootNode(SpaceObject* root) {
    ObjectLockGuard guard(m_scene);
    if (m_parent && root && (root == this || IsDescendantOf(root))) {
        m_rootNode = root;
        return;
    }
    LeaveParentList();
    m_rootNode = root;
    if (root) {
        root->m_children.push_back(this);
        LinkParent(root);
    }
    InvalidateTransform();
}

void SpaceObject::ReleaseChildren(SpaceObject* fallbackRoot) {
    SpaceObject* home = m_parent ? m_parent : (fallbackRoot != this ? fallbackRoot : nullptr);
    const std::vector<SpaceObject*> children = std::move(m_children);
    m_children.clear();
    for (SpaceObject* child : children) {
        const Matrix childWorld = child->GetWorldMatrix();
        child->LinkParent(nullptr);
        if (home) {
            home->Adopt(child, true, false, childWorld);
        } else {
            child->SetTransformFromMatrix(childWorld);
            child->InvalidateTransform();
        }
    }
}

void SpaceObject::DetachChildren() {
    ObjectLockGuard guard(m_scene);
    // Without a parent the children go to the root of the tree rather than keep pointing at
    // an object that is usually about to go away.
    ReleaseChildren(m_rootNode);
    if (m_parent) {
        m_parent->RemoveChild(this, true);
    }
}

void SpaceObject::FlattenChildren() {
    ObjectLockGuard guard(m_scene);
    const std::vector<SpaceObject*> children = std::move(m_children);
    m_children.clear();
    for (SpaceObject* child : children) {
        child->FlattenChildren();
        const Matrix childWorld = child->GetWorldMatrix();
        child->LinkParent(nullptr);
        child->SetTransformFromMatrix(childWorld);
        child->InvalidateTransform();
    }
}

void SpaceObject::SetVisible(bool visible, bool recursive) {
    for (SpaceObject* attachment : m_attachments) {
        attachment->SetVisible(visible, false);
    }
    if (recursive) {
        for (SpaceObject* child : m_children) {
            child->SetVisible(visible, true);
        }
    }
}

void SpaceObject::Clear() {
    UnbindTrack(0.0f);
    // An unbinding without a fade still leaves a fade already running: that track is let go
    // too, or it would stay in use with no object left to release it.
    DropFadingTrack();
    ObjectLockGuard guard(m_scene);
    SpaceObject* root = m_rootNode;
    SetRootNode(nullptr);
    // The object has just left its parent, so its children are handed to the root it hung
    // under: releasing an object without its children keeps them in the scene.
    ReleaseChildren(root);
    m_baseSnapshot.reset();
}

void SpaceObject::ForgetTree() {
    for (SpaceObject* attachment : m_attachments) {
        attachment->ForgetTree();
        attachment->m_isAttachment = 0;
        attachment->LinkParent(nullptr);
    }
    m_attachments.clear();
    for (SpaceObject* child : m_children) {
        child->ForgetTree();
        child->LinkParent(nullptr);
    }
    m_children.clear();
}

}  // namespace quor::world
