#pragma once
#include <cstdint>

namespace quor::render {

// What an owner answers for one of its swept or ray tests: t comes in as the limit to beat and
// goes out as where the hit happens, with the surface normal and the owner's value there.
struct CollisionHit {
    float t = 1.0f;
    float normal[3] = {0.0f, 0.0f, 0.0f};
    std::int32_t value = 0;
};

// An outside object a collision tree asks besides its own polygons (the terrain is one): a
// point swept along a movement, a ray, and a notice for every contact the tree records.
class ICollisionOwner {
public:
    // The point moves from `point` to point + delta x t for t in [0, 1]; true when it meets the
    // owner's objects before hit.t (then hit is filled).
    virtual bool SweepTest(const float point[3], const float delta[3], std::uint32_t filterValue,
                           std::uint32_t filterMask, CollisionHit& hit) = 0;
    // The same for the segment origin + delta x t.
    virtual bool RayTest(const float origin[3], const float delta[3], std::uint32_t filterValue,
                         std::uint32_t filterMask, CollisionHit& hit) = 0;
    // Contact slot 0..2 was recorded; kind 1 when the owner made it, 0 for a polygon.
    virtual void OnContact(int slot, int kind) = 0;

protected:
    ~ICollisionOwner() = default;
};

}  // namespace quor::render
