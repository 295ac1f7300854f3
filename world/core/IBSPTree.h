#pragma once
#include <cstdint>

#include "world/core/math/Geometry.h"
#include "world/core/math/Vector.h"

namespace quor::render {
class ICollisionOwner;
}

namespace quor::world {

// Polygon index of a contact the owner made.
inline constexpr std::int32_t kBspOwnerContact = -2;

// The contacts of the last query, up to three.
struct BspContacts {
    Vec3 position;                          // where the query ended
    std::int32_t polygon[3] = {-1, -1, -1};  // -1 none, kBspOwnerContact the owner's
    Vec3 normal[3];
    std::int32_t userValue[3] = {0, 0, 0};
    std::int32_t count = 0;
};

// The collision geometry of a 3D scene as the host sees it. Filter value and mask: polygons
// whose user value agrees with the value in the masked bits are passed through (mask 0: none).
class IBSPTree {
public:
    virtual bool SweepSphere(Vec3& end, const Vec3& start, const Vec3& movement, float radius,
                             float slopeDegrees, std::uint32_t filterValue, std::uint32_t filterMask,
                             bool ownerTest) = 0;                                               // 0
    virtual bool SweepCapsule(Vec3& end, const Vec3& start, const Vec3& movement, float radius,
                              float height, float slopeDegrees, std::uint32_t filterValue,
                              std::uint32_t filterMask, bool ownerTest) = 0;                    // 1
    virtual bool RayCast(const Ray& ray, float* t, std::uint32_t filterValue, std::uint32_t filterMask,
                         bool ownerTest) = 0;                                                   // 2
    // Null when the last query made no contact.
    virtual const BspContacts* GetHitInfo() = 0;                                                // 3
    virtual Vec3 GetSlideVector() = 0;                                                          // 4
    virtual int GetHitUserValue(int slot) = 0;                                                  // 5
    virtual const Vec3* GetHitNormal(int slot) = 0;                                             // 6
    virtual const Vec3* GetNearestHitVertex() = 0;                                              // 7
    virtual void SetOwner(render::ICollisionOwner* owner) = 0;                                  // 8
    virtual void Clear() = 0;                                                                   // 9
    virtual bool HasTree() = 0;                                                                 // 10

protected:
    ~IBSPTree() = default;
};

}  // namespace quor::world
