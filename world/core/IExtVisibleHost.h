#pragma once
#include "world/core/math/Geometry.h"
#include "world/core/IVisibleObject.h"

namespace quor::world {

// A visible object the host implements itself and puts into a scene through an
// ExtVisibleNode. It begins with the IVisibleObject layout; of that part the node calls only
// DrawParts. The operations below follow in this slot order.
class IExtVisibleHost : public IVisibleObject {
public:
    virtual int GetDrawPass() = 0;                                               // 32
    virtual int GetPartDrawPass(int part) = 0;                                   // 33
    virtual void OnTransformChanged() = 0;                                       // 34
    virtual const Bounds* GetBound() = 0;                                        // 35
    virtual const Bounds* GetPartBound(int part) = 0;                            // 36
    virtual const Bounds* GetPartBoundInParent(int part) = 0;                    // 37
    virtual const Bounds* GetPartBoundInWorld(int part) = 0;                     // 38
    virtual bool PreDraw() = 0;                                                  // 39
    virtual void DrawPart(int part) = 0;                                         // 40
    virtual bool IsCulled(int part, int pass) = 0;                               // 41
    virtual bool GetPartCulled(int a, int b) = 0;                                // 42
    virtual void OnDetach() = 0;                                                 // 43

protected:
    ~IExtVisibleHost() = default;
};

}  // namespace quor::world
