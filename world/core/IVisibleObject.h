#pragma once
#include <cstdint>

#include "world/core/math/Vector.h"

namespace quor::world {

class ISpaceObject;
class VisibleObject;

// Bound spaces of the bound queries.
enum BoundSpace : int {
    kBoundParent = 0,
    kBoundWorld = 1,
    kBoundLocal = 2,
};

// The drawn-object face through which the scene and the host ask for bounds, parts and
// per-object texts. A host-implemented node begins with this same layout. The slot order is
// part of the contract with the host.
class IVisibleObject {
public:
    virtual void SetInRenderList(std::uint8_t value) = 0;                       // 0
    virtual VisibleObject* GetObject() = 0;                                     // 1
    virtual void SetVisible(bool visible, bool recursive) = 0;                  // 2
    virtual bool IsVisible() = 0;                                               // 3
    virtual int GetPartCount() = 0;                                             // 4
    virtual void SetPartParam(int a, int b) = 0;                                // 5
    virtual bool IsVisibleThunk(int part) = 0;                                  // 6
    virtual std::uint8_t GetFlag758() = 0;                                      // 7
    virtual bool IsCullingEnabled() = 0;                                        // 8
    virtual Vec3 GetBoundCenter(int space) = 0;                                 // 9
    virtual float GetBoundRadius(int space) = 0;                                // 10
    virtual Vec3 GetBoundExtents(int space) = 0;                                // 11
    virtual Vec3 GetPartCenter(int part, int space) = 0;                        // 12
    virtual float GetPartRadius(int part, int space) = 0;                       // 13
    virtual Vec3 GetPartExtents(int part, int space) = 0;                       // 14
    virtual void GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) = 0; // 15
    virtual void GetPartWorldBound(int part, Vec3* center, float* radius, Vec3* extents,
                                   int space) = 0;                              // 16
    virtual void GetBoundCorners(Vec3* out8, int selector, int space) = 0;      // 17
    virtual void SetUserInt(int value) = 0;                                     // 18
    virtual int GetUserInt() = 0;                                               // 19
    virtual void SetShortName(const char* name) = 0;                            // 20
    virtual const char* GetShortName() = 0;                                     // 21
    virtual void AddString(const char* text) = 0;                               // 22
    virtual void SetString(int index, const char* text) = 0;                    // 23
    virtual const char* GetString(int index) = 0;                               // 24
    virtual void SetStringCount(int count) = 0;                                 // 25
    virtual int GetStringCount() = 0;                                           // 26
    virtual int GetUserInt2() = 0;                                              // 27
    virtual void SetUserInt2(int value) = 0;                                    // 28
    virtual void DrawParts(int pass) = 0;                                       // 29
    virtual void Prepare() = 0;                                                 // 30
    virtual bool GetSubtreeBox(Vec3& min, Vec3& max, ISpaceObject* reference) = 0; // 31

protected:
    ~IVisibleObject() = default;
};

}  // namespace quor::world
