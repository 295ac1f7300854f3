#pragma once
#include "world/core/IExtVisibleHost.h"
#include "world/core/VisibleObject.h"

namespace quor::world {

// A visible object that takes part in the scene graph, transforms, culling and drawing like
// any other but forwards its drawing, bounds and culling questions to an object of the host.
// The host object is not owned and outlives the node.
class ExtVisibleNode : public VisibleObject {
public:
    ExtVisibleNode() = default;

    void SetOutsideObject(IExtVisibleHost* host) { m_host = host; }
    IExtVisibleHost* GetOutsideObject() const { return m_host; }
    // Tells the host object that the node is leaving its scene.
    void NotifyHostDetach();

    int GetObjectType() override { return 16; }
    void InvalidateTransform() override;
    void DrawParts(int pass) override;
    int GetDrawPass() override;
    int GetPartDrawPass(int part) override;
    const Bounds* GetLocalBound() override;
    const Bounds* GetPartBound(int part) override;
    const Bounds* GetPartBoundInParent(int part) override;
    const Bounds* GetPartBoundInWorld(int part) override;
    bool PreDraw() override;
    void DrawPart(int part) override;
    bool IsCulled(int part, int pass) override;
    bool GetPartCulled(int a, int b) override;
    // Follows the VisibleObject table: the host object's whole bound.
    virtual const Bounds* GetExtBound();

private:
    IExtVisibleHost* m_host = nullptr;
};

}  // namespace quor::world
