#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "world/core/IBSPTree.h"

namespace quor::world {

// One planar polygon of the tree, 88 bytes: a triangle, or a quad when the flags say 16.
struct BspPolygon {
    Plane plane;
    std::uint32_t flags = 0;
    std::int32_t userValue = 0;
    Vec3 vertices[4];
    float vertexValues[4] = {1.415f, 1.415f, 1.415f, 1.415f};

    static constexpr std::uint32_t kQuad = 16;
    // Classification marks a query leaves on a polygon until it ends.
    static constexpr std::uint32_t kMarkTested = 0x10000, kMarkFace = 0x20000, kMarkEdge = 0x40000;
    static constexpr std::uint32_t kMarks = kMarkTested | kMarkFace | kMarkEdge;

    bool IsQuad() const { return (flags & ~kMarks) == kQuad; }
    int VertexCount() const { return IsQuad() ? 4 : 3; }
    // Whether p (taken to lie in the plane) lies inside; with a mask, the edges it lies beyond.
    bool Contains(const Vec3& p, std::uint32_t* mask = nullptr) const;
};
static_assert(sizeof(BspPolygon) == 88, "the polygon record is 22 words");

// A node splits by its polygon's plane; children -1 for none.
struct BspNode {
    std::int32_t polygon = -1;
    std::int32_t negative = -1;
    std::int32_t positive = -1;
};
static_assert(sizeof(BspNode) == 12, "three words");

// The best contact a straight sweep or ray holds so far.
struct BspHold {
    float t = 1.0f;
    int state = 3;  // 1 a contact, 3 none yet
    Vec3 point;
    std::int32_t polygon = -1;
};

// The plane a polygon gets from its vertices: a triangle's own; for a quad the mean of the
// planes of (0, 1, 2) and (2, 3, 0), or the one of them that exists.
void BspPlaneFromVertices(BspPolygon& polygon);

// The ray test of one polygon: hit from the front, 0 <= t' <= limit, the point inside.
bool BspRayTestPolygon(const BspPolygon& polygon, const Ray& ray, float limit, float& t);

// The sweep test of one polygon for a sphere of radius r whose centre runs from ray.origin along
// ray.direction (t in units of that direction): takes the contact into hold when it comes before
// the held one. hasContacts: the query has recorded contacts already. Answers 1 for a face
// contact, 2 for an edge or vertex contact, 0 for none.
int BspSweepTestPolygon(const BspPolygon& polygon, std::int32_t index, const Ray& ray, float r,
                        bool hasContacts, BspHold& hold);

// The collision tree of a 3D scene: polygons, a binary space partition over them, and swept
// sphere, capsule and ray queries that keep up to three contacts.
class BSPTree final : public IBSPTree {
public:
    BSPTree();
    ~BSPTree() = default;
    BSPTree(const BSPTree&) = delete;
    BSPTree& operator=(const BSPTree&) = delete;

    bool SweepSphere(Vec3& end, const Vec3& start, const Vec3& movement, float radius, float slopeDegrees,
                     std::uint32_t filterValue, std::uint32_t filterMask, bool ownerTest) override;
    bool SweepCapsule(Vec3& end, const Vec3& start, const Vec3& movement, float radius, float height,
                      float slopeDegrees, std::uint32_t filterValue, std::uint32_t filterMask,
                      bool ownerTest) override;
    bool RayCast(const Ray& ray, float* t, std::uint32_t filterValue, std::uint32_t filterMask,
                 bool ownerTest) override;
    const BspContacts* GetHitInfo() override { return m_contacts.count > 0 ? &m_contacts : nullptr; }
    Vec3 GetSlideVector() override { return m_slide; }
    int GetHitUserValue(int slot) override;
    const Vec3* GetHitNormal(int slot) override;
    const Vec3* GetNearestHitVertex() override;
    void SetOwner(render::ICollisionOwner* owner) override { m_owner = owner; }
    render::ICollisionOwner* GetOwner() const { return m_owner; }
    void Clear() override;
    bool HasTree() override { return m_root != -1; }

    // Reads the tree's section of a scene file of the given version: the bytes consumed, or 0
    // when the section is refused (then the tree is empty and an error is logged). Every count,
    // index and child link is checked, and a node reachable twice from the root is refused.
    std::size_t Read(const void* data, std::size_t length, std::uint32_t version);

    const std::vector<BspPolygon>& Polygons() const { return m_polygons; }
    const std::vector<BspNode>& Nodes() const { return m_nodes; }
    std::int32_t Root() const { return m_root; }
    // Takes a built tree (the tests' and tools' way in); false, and the tree empty, when the
    // links do not form a tree over the polygons.
    bool Assign(std::vector<BspPolygon> polygons, std::vector<BspNode> nodes, std::int32_t root);

private:
    bool Sweep(Vec3& end, const Vec3& start, const Vec3& movement, float radius, float slopeDegrees,
               std::uint32_t filterValue, std::uint32_t filterMask, bool ownerTest);
    // One straight sweep of every sphere from pos along delta into m_hold.
    bool StraightSweep(const Vec3& pos, const Vec3& delta);
    void WalkSphere(const Vec3& centre, const Vec3& delta);
    void WalkRay(const Vec3& origin, const Vec3& delta);
    bool Filtered(const BspPolygon& p) const;
    void RecordContact();
    void ClearMarks();
    bool Validate();

    std::vector<BspPolygon> m_polygons;
    std::vector<BspNode> m_nodes;
    std::int32_t m_root = -1;

    std::uint32_t m_filterValue = 0;
    std::uint32_t m_filterMask = 0;
    bool m_ownerTest = false;

    BspContacts m_contacts;
    Vec3 m_slide;
    std::vector<std::int32_t> m_visited;
    std::vector<std::int32_t> m_stack;

    float m_radius = 0.0f;
    Vec3 m_offsets[2];
    int m_offsetCount = 1;
    BspHold m_hold;
    Vec3 m_ownerNormal;
    std::int32_t m_ownerValue = 0;

    render::ICollisionOwner* m_owner = nullptr;
};

}  // namespace quor::world
