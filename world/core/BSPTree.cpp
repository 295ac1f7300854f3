#include "world/core/BSPTree.h"

#include <algorithm>
#include <cmath>

#include "platform/host/ICollisionOwner.h"
#include "world/core/BinaryReader.h"
#include "world/core/Log.h"

namespace quor::world {

namespace {

// First t >= 0 (and below limit) at which a point moving from m along d comes within r of the
// origin of m's frame: |m + t d|^2 = r^2 with m, d already taken perpendicular where needed. A
// start already inside counts as t = 0 when moving further in. False otherwise.
bool FirstTouch(const Vec3& m, const Vec3& d, float r, float limit, float& t) {
    const float a = Vec3Dot(d, d);
    const float b = Vec3Dot(m, d);
    const float c = Vec3Dot(m, m) - r * r;
    if (c <= 0.0f) {
        if (b >= 0.0f) return false;
        t = 0.0f;
        return limit > 0.0f;
    }
    if (b >= 0.0f || a <= 1e-12f) return false;
    const float disc = b * b - a * c;
    if (disc < 0.0f) return false;
    const float root = (-b - std::sqrt(disc)) / a;
    if (!(root < limit)) return false;
    t = std::max(root, 0.0f);
    return true;
}

// First touch of the swept sphere with the edge a-b (its inner part and both end points).
bool EdgeTouch(const Vec3& a, const Vec3& b, const Ray& ray, float r, float limit, float& best) {
    bool found = false;
    const Vec3 e = b - a;
    const float ee = Vec3Dot(e, e);
    if (ee > 1e-12f) {
        const Vec3 m = ray.origin - a;
        const Vec3 mp = m - e * (Vec3Dot(m, e) / ee);
        const Vec3 dp = ray.direction - e * (Vec3Dot(ray.direction, e) / ee);
        float t = 0.0f;
        if (FirstTouch(mp, dp, r, limit, t)) {
            const float u = Vec3Dot(ray.origin + ray.direction * t - a, e) / ee;
            if (u >= 0.0f && u <= 1.0f) best = limit = t, found = true;
        }
    }
    for (const Vec3* v : {&a, &b}) {
        float t = 0.0f;
        if (FirstTouch(ray.origin - *v, ray.direction, r, limit, t)) best = limit = t, found = true;
    }
    return found;
}

}  // namespace

bool BspPolygon::Contains(const Vec3& p, std::uint32_t* mask) const {
    return IsQuad() ? PointInQuad(p, vertices[0], vertices[1], vertices[2], vertices[3], mask)
                    : PointInTriangle(p, vertices[0], vertices[1], vertices[2], mask);
}

bool BspRayTestPolygon(const BspPolygon& polygon, const Ray& ray, float limit, float& t) {
    if (!(Vec3Dot(ray.direction, polygon.plane.normal) < 0.0f)) return false;
    float s = 0.0f;
    if (IntersectLineWithPlane(ray, polygon.plane, s, 1e-4f) != kLineCrosses) return false;
    if (!(s >= 0.0f && s <= limit)) return false;
    if (!polygon.Contains(ray.origin + ray.direction * s)) return false;
    t = s;
    return true;
}

int BspSweepTestPolygon(const BspPolygon& polygon, std::int32_t index, const Ray& ray, float r,
                        bool hasContacts, BspHold& hold) {
    // The polygon lifted along its normal by r: the centre touches the face when it crosses it.
    BspPolygon lifted = polygon;
    const Vec3 lift = polygon.plane.normal * r;
    lifted.plane.d += r;
    for (Vec3& v : lifted.vertices) v += lift;
    float t = 0.0f;
    if (IntersectLineWithPlane(ray, lifted.plane, t, 1e-4f) != kLineCrosses) return 0;
    if (!(t < hold.t)) return 0;
    const float s = t * Vec3Length(ray.direction);
    if (s < -r * 0.1f) return 0;
    if (s < -r * 1e-3f && hasContacts) return 0;
    std::uint32_t mask = 0;
    const Vec3 crossing = ray.origin + ray.direction * t;
    if (lifted.Contains(crossing, &mask)) {
        hold.t = std::max(t, 0.0f);
        hold.state = 1;
        hold.point = ray.origin + ray.direction * hold.t;
        hold.polygon = index;
        return 1;
    }
    if (s < -r * 1e-2f) return 0;
    // Every edge and vertex contact answers code 1, the same as a face: contacts then rank by
    // t alone, so the contact a query keeps does not depend on the order of the tree walk.
    // Mask bits by edge: 0-1, 1-2, then 2-0 of a triangle or 2-3 and 3-0 of a quad.
    const int n = polygon.VertexCount();
    const std::uint32_t bits[4] = {kTriEdgeAB, kTriEdgeBC, n == 4 ? kQuadEdgeCD : kTriEdgeCA, kQuadEdgeDA};
    bool found = false;
    for (int i = 0; i < n; ++i) {
        if (!(mask & bits[i])) continue;
        float te = 0.0f;
        if (EdgeTouch(polygon.vertices[i], polygon.vertices[(i + 1) % n], ray, r, hold.t, te)) {
            hold.t = te;
            hold.state = 1;
            hold.point = ray.origin + ray.direction * te;
            hold.polygon = index;
            found = true;
        }
    }
    return found ? 2 : 0;
}

BSPTree::BSPTree() { m_visited.reserve(1024); }

void BSPTree::Clear() {
    m_polygons.clear();
    m_nodes.clear();
    m_root = -1;
}

int BSPTree::GetHitUserValue(int slot) {
    if (m_polygons.empty() || slot < 0 || slot > 2 || m_contacts.count == 0 || m_contacts.polygon[slot] == -1) return 0;
    return m_contacts.userValue[slot];
}

const Vec3* BSPTree::GetHitNormal(int slot) {
    if (m_polygons.empty() || slot < 0 || slot > 2 || m_contacts.count == 0 || m_contacts.polygon[slot] == -1) {
        return nullptr;
    }
    return &m_contacts.normal[slot];
}

const Vec3* BSPTree::GetNearestHitVertex() {
    if (m_contacts.count == 0) return nullptr;
    const std::int32_t index = m_contacts.polygon[0];
    if (index < 0 || std::size_t(index) >= m_polygons.size()) return nullptr;
    const BspPolygon& p = m_polygons[std::size_t(index)];
    const Vec3* best = nullptr;
    float bestDistance = 0.0f;
    for (int i = 0; i < p.VertexCount(); ++i) {
        const float d = Vec3DistanceSq(p.vertices[i], m_contacts.position);
        if (!best || d < bestDistance) best = &p.vertices[i], bestDistance = d;
    }
    return best;
}

bool BSPTree::Filtered(const BspPolygon& p) const {
    return m_filterMask != 0 && (std::uint32_t(p.userValue) & m_filterMask) == (m_filterValue & m_filterMask);
}

void BSPTree::ClearMarks() {
    for (std::int32_t i : m_visited) m_polygons[std::size_t(i)].flags &= ~BspPolygon::kMarks;
    m_visited.clear();
}

void BSPTree::RecordContact() {
    const int slot = m_contacts.count - 1;
    m_contacts.polygon[slot] = m_hold.polygon;
    const bool owner = m_hold.polygon == kBspOwnerContact;
    if (owner) {
        m_contacts.normal[slot] = m_ownerNormal;
        m_contacts.userValue[slot] = m_ownerValue;
    } else {
        const BspPolygon& p = m_polygons[std::size_t(m_hold.polygon)];
        m_contacts.normal[slot] = p.plane.normal;
        m_contacts.userValue[slot] = p.userValue;
    }
    if (m_owner) m_owner->OnContact(slot, owner ? 1 : 0);
}

void BSPTree::WalkSphere(const Vec3& centre, const Vec3& delta) {
    if (m_root < 0) return;
    const float reach = 1.01f * m_radius;
    const Ray ray{centre, delta};
    const Vec3 end = centre + delta;
    m_stack.clear();
    m_stack.push_back(m_root);
    while (!m_stack.empty()) {
        const BspNode& node = m_nodes[std::size_t(m_stack.back())];
        m_stack.pop_back();
        BspPolygon& p = m_polygons[std::size_t(node.polygon)];
        const float d0 = p.plane.DistanceTo(centre), d1 = p.plane.DistanceTo(end);
        if (d0 < -reach && d1 < -reach) {
            if (node.negative >= 0) m_stack.push_back(node.negative);
            continue;
        }
        if (d0 > reach && d1 > reach) {
            if (node.positive >= 0) m_stack.push_back(node.positive);
            continue;
        }
        bool face = false;
        if (d1 < d0 && !Filtered(p)) {
            // A polygon several nodes share is classified once per walk.
            if (!(p.flags & BspPolygon::kMarkTested)) {
                const int code = BspSweepTestPolygon(p, node.polygon, ray, m_radius, m_contacts.count > 0, m_hold);
                p.flags |= BspPolygon::kMarkTested | (code == 1 ? BspPolygon::kMarkFace : 0) |
                           (code == 2 ? BspPolygon::kMarkEdge : 0);
                m_visited.push_back(node.polygon);
            }
            // Only a face contact proves that nothing behind the plane is reached sooner: an
            // edge contact may leave the sphere partly behind it.
            face = (p.flags & BspPolygon::kMarkFace) != 0;
        }
        if (!face && node.negative >= 0) m_stack.push_back(node.negative);
        if (node.positive >= 0) m_stack.push_back(node.positive);
    }
    ClearMarks();
}

bool BSPTree::StraightSweep(const Vec3& pos, const Vec3& delta) {
    m_hold = BspHold{};
    if (m_owner && m_ownerTest) {
        const Vec3& lowest = m_offsets[0];
        const Vec3 point = pos + lowest - Vec3{0.0f, m_radius, 0.0f};
        render::CollisionHit hit;
        hit.t = m_hold.t;
        if (m_owner->SweepTest(&point.x, &delta.x, m_filterValue, m_filterMask, hit) && hit.t < m_hold.t) {
            m_hold.t = std::max(hit.t, 0.0f);
            m_hold.state = 1;
            m_hold.polygon = kBspOwnerContact;
            m_hold.point = point + delta * m_hold.t + Vec3{0.0f, m_radius, 0.0f};
            m_ownerNormal = Vec3{hit.normal[0], hit.normal[1], hit.normal[2]};
            m_ownerValue = hit.value;
        }
    }
    for (int i = 0; i < m_offsetCount; ++i) WalkSphere(pos + m_offsets[i], delta);
    return m_hold.polygon != -1;
}

bool BSPTree::SweepSphere(Vec3& end, const Vec3& start, const Vec3& movement, float radius, float slopeDegrees,
                          std::uint32_t filterValue, std::uint32_t filterMask, bool ownerTest) {
    m_offsets[0] = Vec3{};
    m_offsetCount = 1;
    return Sweep(end, start, movement, radius, slopeDegrees, filterValue, filterMask, ownerTest);
}

bool BSPTree::SweepCapsule(Vec3& end, const Vec3& start, const Vec3& movement, float radius, float height,
                           float slopeDegrees, std::uint32_t filterValue, std::uint32_t filterMask, bool ownerTest) {
    if (height < 1e-4f) {
        m_offsets[0] = Vec3{};
        m_offsetCount = 1;
    } else {
        m_offsets[0] = Vec3{0.0f, -0.5f * height, 0.0f};
        m_offsets[1] = Vec3{0.0f, 0.5f * height, 0.0f};
        m_offsetCount = 2;
    }
    return Sweep(end, start, movement, radius, slopeDegrees, filterValue, filterMask, ownerTest);
}

bool BSPTree::Sweep(Vec3& end, const Vec3& start, const Vec3& movement, float radius, float slopeDegrees,
                    std::uint32_t filterValue, std::uint32_t filterMask, bool ownerTest) {
    m_contacts = BspContacts{};
    m_filterValue = filterValue;
    m_filterMask = filterMask;
    m_ownerTest = ownerTest;
    m_radius = radius;
    end = start + movement;
    m_contacts.position = end;
    if (slopeDegrees <= 1e-4f) {
        if (!StraightSweep(start, movement)) return false;
        m_contacts.position = end = start + movement * m_hold.t;
        m_contacts.count = 1;
        RecordContact();
        return true;
    }
    const float cosine = std::cos(slopeDegrees * 3.1415927f / 180.0f);
    Vec3 pos = start;
    Vec3 delta = movement;
    float fraction = 1.0f;
    bool result = false;
    for (;;) {
        if (!StraightSweep(pos, delta)) {
            result = m_contacts.count > 0;
            m_slide = delta;
            pos += delta;
            break;
        }
        pos += delta * m_hold.t;
        const Vec3 remaining = delta * (1.0f - m_hold.t);
        fraction *= 1.0f - m_hold.t;
        ++m_contacts.count;
        RecordContact();
        const Vec3& n = m_contacts.normal[m_contacts.count - 1];
        m_slide = remaining - n * Vec3Dot(remaining, n);
        result = true;
        if (m_contacts.count == 3 || fraction <= 1e-8f || IsNearZero(m_slide)) break;
        if (cosine > 1e-4f) {
            // Zero movement left has no direction to compare the slide with.
            const float length = Vec3Length(remaining);
            if (!(length > 0.0f)) break;
            const float slide = Vec3Length(m_slide);
            const float k = Vec3Dot(remaining, m_slide) / length - slide * cosine;
            if (k <= 0.0f) break;
            // k / |slide| is the cosine of the slide's turn from the movement less the limit's:
            // the slide keeps its full length on the flat and none at the limit. Scaling by k
            // itself would multiply by a length and grow the slide without bound.
            m_slide *= k / (slide * (1.0f - cosine));
        }
        delta = m_slide;
    }
    m_contacts.position = end = pos;
    if (!(m_contacts.count == 3 || m_hold.t <= 0.999f || !IsNearZero(m_slide))) m_slide = movement;
    return result;
}

void BSPTree::WalkRay(const Vec3& origin, const Vec3& delta) {
    if (m_root < 0) return;
    const Ray ray{origin, delta};
    m_stack.clear();
    m_stack.push_back(m_root);
    while (!m_stack.empty()) {
        const BspNode& node = m_nodes[std::size_t(m_stack.back())];
        m_stack.pop_back();
        BspPolygon& p = m_polygons[std::size_t(node.polygon)];
        const Vec3 end = origin + delta * m_hold.t;
        const float d0 = p.plane.DistanceTo(origin), d1 = p.plane.DistanceTo(end);
        if (d0 < 0.0f && d1 < 0.0f) {
            if (node.negative >= 0) m_stack.push_back(node.negative);
            continue;
        }
        if (d0 > 0.0f && d1 > 0.0f) {
            if (node.positive >= 0) m_stack.push_back(node.positive);
            continue;
        }
        bool hit = false;
        if (d0 > d1 && !Filtered(p)) {
            if (!(p.flags & BspPolygon::kMarkTested)) {
                float t = 0.0f;
                if (BspRayTestPolygon(p, ray, m_hold.t, t)) {
                    m_hold.t = t;
                    m_hold.state = 1;
                    m_hold.point = origin + delta * t;
                    m_hold.polygon = node.polygon;
                    p.flags |= BspPolygon::kMarkFace;
                }
                p.flags |= BspPolygon::kMarkTested;
                m_visited.push_back(node.polygon);
            }
            hit = (p.flags & BspPolygon::kMarkFace) != 0;
        }
        if (!hit && node.negative >= 0) m_stack.push_back(node.negative);
        if (node.positive >= 0) m_stack.push_back(node.positive);
    }
    ClearMarks();
}

bool BSPTree::RayCast(const Ray& ray, float* t, std::uint32_t filterValue, std::uint32_t filterMask, bool ownerTest) {
    m_contacts = BspContacts{};
    m_filterValue = filterValue;
    m_filterMask = filterMask;
    m_ownerTest = ownerTest;
    m_hold = BspHold{};
    if (ownerTest && m_owner) {
        render::CollisionHit hit;
        hit.t = m_hold.t;
        if (m_owner->RayTest(&ray.origin.x, &ray.direction.x, filterValue, filterMask, hit) && hit.t >= 0.0f &&
            hit.t <= m_hold.t) {
            m_hold.t = hit.t;
            m_hold.state = 1;
            m_hold.polygon = kBspOwnerContact;
            m_hold.point = ray.origin + ray.direction * hit.t;
            m_ownerNormal = Vec3{hit.normal[0], hit.normal[1], hit.normal[2]};
            m_ownerValue = hit.value;
        }
    }
    WalkRay(ray.origin, ray.direction);
    if (m_hold.polygon == -1) return false;
    m_contacts.position = m_hold.point;
    m_contacts.count = 1;
    RecordContact();
    if (t) *t = m_hold.t;
    return true;
}

// --- reading ---------------------------------------------------------------------------------

void BspPlaneFromVertices(BspPolygon& p) {
    if (!p.IsQuad()) {
        p.plane.SetFromPoints(p.vertices[0], p.vertices[1], p.vertices[2]);
        return;
    }
    Plane a = p.plane, b = p.plane;
    const bool hasA = a.SetFromPoints(p.vertices[0], p.vertices[1], p.vertices[2]);
    const bool hasB = b.SetFromPoints(p.vertices[2], p.vertices[3], p.vertices[0]);
    if (!hasA) {
        if (hasB) p.plane = b;
        return;
    }
    p.plane = a;
    if (hasB) {
        Vec3 n = a.normal + b.normal;
        if (Vec3LengthSq(n) > 0.0f) {
            Vec3SetLength(n, 1.0f);
            p.plane.normal = n;
            p.plane.d = 0.5f * (a.d + b.d);
        }
    }
}

namespace {

void ReadVec(BinaryReader& in, Vec3& v) {
    v.x = in.F32();
    v.y = in.F32();
    v.z = in.F32();
}

void ReadPlane(BinaryReader& in, Plane& p) {
    ReadVec(in, p.normal);
    p.d = in.F32();
}

// The fewest bytes a polygon entry of the version takes.
std::size_t MinPolygonBytes(std::uint32_t version) {
    if (version < 0x10003) return 84;
    if (version < 0x10006) return 100;
    const std::size_t perVertex = 12 + 4 + (version < 0x10022 ? 4 : 0);
    const std::size_t head = version == 0x10006 ? 20 : 1;
    return head + (version >= 0x10022 ? 4 : 0) + 3 * perVertex;
}

bool ReadPolygon(BinaryReader& in, std::uint32_t version, BspPolygon& p) {
    if (version < 0x10006) {
        for (Vec3& v : p.vertices) ReadVec(in, v);
        if (version >= 0x10003) {
            p.userValue = in.I32();
            in.Skip(12);
        }
        for (float& f : p.vertexValues) f = in.F32();
        ReadPlane(in, p.plane);
        p.flags = in.U32();
        return in.Ok();
    }
    if (version == 0x10006) {
        ReadPlane(in, p.plane);
        p.flags = in.U32();
    } else {
        p.flags = in.U8();
    }
    if (version >= 0x10022) p.userValue = in.I32();
    const int n = p.VertexCount();
    for (int i = 0; i < n; ++i) {
        ReadVec(in, p.vertices[i]);
        if (version < 0x10022) {
            const std::uint32_t word = in.U32();
            if (i == 0) p.userValue = std::int32_t(word);
        }
        p.vertexValues[i] = in.F32();
    }
    if (!in.Ok()) return false;
    BspPlaneFromVertices(p);
    return true;
}

}  // namespace

bool BSPTree::Validate() {
    const std::size_t n = m_polygons.size(), m = m_nodes.size();
    auto linkOk = [m](std::int32_t link) { return link == -1 || (link >= 0 && std::size_t(link) < m); };
    if (!linkOk(m_root)) return false;
    for (const BspNode& node : m_nodes) {
        if (node.polygon < 0 || std::size_t(node.polygon) >= n) return false;
        if (!linkOk(node.negative) || !linkOk(node.positive)) return false;
    }
    if (m_root < 0) return true;
    // Every node once at most: a link back or across would make the walks loop or repeat.
    std::vector<std::uint8_t> seen(m, 0);
    std::vector<std::int32_t> stack{m_root};
    while (!stack.empty()) {
        const std::int32_t i = stack.back();
        stack.pop_back();
        if (seen[std::size_t(i)]) return false;
        seen[std::size_t(i)] = 1;
        const BspNode& node = m_nodes[std::size_t(i)];
        if (node.negative >= 0) stack.push_back(node.negative);
        if (node.positive >= 0) stack.push_back(node.positive);
    }
    return true;
}

bool BSPTree::Assign(std::vector<BspPolygon> polygons, std::vector<BspNode> nodes, std::int32_t root) {
    m_polygons = std::move(polygons);
    m_nodes = std::move(nodes);
    m_root = root;
    if (Validate()) return true;
    Clear();
    return false;
}

std::size_t BSPTree::Read(const void* data, std::size_t length, std::uint32_t version) {
    Clear();
    BinaryReader in(data, length);
    const std::uint32_t n = in.U32();
    if (!in.Ok()) {
        LogError("Failed to read the collision tree: the section is truncated!");
        return 0;
    }
    if (n == 0) return 4;
    auto refuse = [this](const char* why) {
        Clear();
        LogError("Failed to read the collision tree: %s!", why);
        return std::size_t(0);
    };
    if (!in.CheckCount(n, MinPolygonBytes(version))) return refuse("the polygon count overruns the section");
    m_polygons.resize(n);
    for (BspPolygon& p : m_polygons) {
        if (!ReadPolygon(in, version, p)) return refuse("a polygon is truncated");
    }
    const std::uint32_t m = in.U32();
    if (!in.Ok() || !in.CheckCount(m, version >= 0x10007 ? 4 : 12)) return refuse("the node count overruns the section");
    m_nodes.assign(m, BspNode{});
    for (BspNode& node : m_nodes) {
        if (version >= 0x10007) {
            const std::uint32_t w = in.U32();
            node.polygon = std::int32_t(w & 0x3FFFFFFFu);
            node.negative = (w & 0x80000000u) ? std::int32_t(in.U32()) : -1;
            node.positive = (w & 0x40000000u) ? std::int32_t(in.U32()) : -1;
        } else {
            node.polygon = std::int32_t(in.U32());
            node.negative = std::int32_t(in.U32());
            node.positive = std::int32_t(in.U32());
        }
        if (!in.Ok()) return refuse("a node is truncated");
    }
    m_root = std::int32_t(in.U32());
    if (!in.Ok()) return refuse("the root is missing");
    if (!Validate()) return refuse("the nodes do not form a tree over the polygons");
    return in.Offset();
}

}  // namespace quor::world
