#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "world/core/math/Frustum.h"
#include "world/core/math/Geometry.h"
#include "world/core/IVisibleObject.h"
#include "world/core/SharedString.h"
#include "world/core/SpaceObject.h"

namespace quor::world {

// The renderer-side record of a drawn object; the object clears its in-use word when it dies.
struct RenderRecord {
    std::uint32_t inUse = 0;
};

// Draw passes of the culling: the scene keeps one frame frustum per pass.
enum CullPass : int {
    kCullPassSecond = 0,
    kCullPassMain = 1,
};

// Base of every SpaceObject that is drawn. Adds the IVisibleObject face, hide flags and a
// level of detail that decide visibility, bounds cached per space, and the two-stage frustum
// test: a cheap world-space sphere test decides most objects, and only those that straddle
// the frustum get the box test, done in the object's own space against a copy of the frame
// frustum so that the bound never has to be transformed.
class VisibleObject : public SpaceObject, public IVisibleObject {
public:
    VisibleObject();
    ~VisibleObject() override;

    // --- SpaceObject operations this class answers differently ---
    bool IsVisibleObject() override { return true; }
    void SetVisible(bool visible, bool recursive) override;
    bool IsVisible() override;
    void SetHideFlags(bool set, std::uint16_t mask, bool recursive) override;
    bool HasHideFlags(std::uint16_t mask) override { return (m_hideFlags & mask) != 0; }
    void SetScene(ObjectOwner* scene) override;
    // InvalidateTransform is the SpaceObject one: it also clears the bound caches' valid bits,
    // which live in the transform block.

    // --- the main table continues, in slot order ---
    virtual void SetCulledResult(std::uint8_t culled);                          // 69
    virtual int GetDrawPass();                                                  // 70
    virtual int GetPartDrawPass(int part);                                      // 71
    virtual common::SharedString GetResourceName();                                    // 72
    virtual void SetLod(int level, int a, int b);                               // 73
    virtual const Bounds* GetLocalBound();                                      // 74
    virtual const Bounds* GetPartBound(int part);                               // 75
    virtual const Bounds* GetPartBoundInParent(int part);                       // 76
    virtual const Bounds* GetPartBoundInWorld(int part);                        // 77
    virtual bool PreDraw();                                                     // 78
    virtual void DrawPart(int part);                                            // 79
    virtual void UpdateWorldBounds(int which);                                  // 80
    virtual bool IsCulled(int part, int pass);                                  // 81
    virtual bool GetPartCulled(int a, int b);                                   // 82

    // --- IVisibleObject, in slot order ---
    void SetInRenderList(std::uint8_t value) override { m_inRenderList = value; }
    VisibleObject* GetObject() override { return this; }
    int GetPartCount() override { return 1; }
    void SetPartParam(int, int) override {}
    bool IsVisibleThunk(int) override { return IsVisible(); }
    std::uint8_t GetFlag758() override { return m_cullCandidate; }
    bool IsCullingEnabled() override { return m_cullingEnabled != 0; }
    Vec3 GetBoundCenter(int space) override;
    float GetBoundRadius(int space) override;
    Vec3 GetBoundExtents(int space) override;
    Vec3 GetPartCenter(int part, int space) override;
    float GetPartRadius(int part, int space) override;
    Vec3 GetPartExtents(int part, int space) override;
    void GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) override;
    void GetPartWorldBound(int part, Vec3* center, float* radius, Vec3* extents,
                           int space) override;
    void GetBoundCorners(Vec3* out8, int selector, int space) override;
    void SetUserInt(int value) override { m_userInt = value; }
    int GetUserInt() override { return m_userInt; }
    void SetShortName(const char* name) override;
    const char* GetShortName() override { return m_shortName; }
    void AddString(const char* text) override;
    void SetString(int index, const char* text) override;
    const char* GetString(int index) override;
    void SetStringCount(int count) override;
    int GetStringCount() override { return static_cast<int>(m_strings.size()); }
    int GetUserInt2() override { return m_userInt2; }
    void SetUserInt2(int value) override { m_userInt2 = value; }
    void DrawParts(int pass) override;
    void Prepare() override {}
    bool GetSubtreeBox(Vec3& min, Vec3& max, ISpaceObject* reference) override;

    // --- culling ---
    // Culls the object for one pass against that pass's frame frustum and stores the result;
    // returns it (true: culled).
    bool UpdateCulling(int part, int pass);
    // The frame frustum of the pass carried into this object's space; mirrored objects get
    // the planes turned round.
    void RefreshFrustumCopy(int pass);
    std::uint8_t GetCulledResult(int pass) const;
    bool IsFullyInside(int pass) const { return m_fullyInside[PassIndex(pass)] != 0; }
    // The frustum copy of the pass; an empty frustum (all zero) until the object first
    // straddled the frame frustum, since only then is the copy made.
    const Frustum& GetLocalFrustum(int pass) const;
    bool HasLocalFrustum() const { return m_localFrustum != nullptr; }
    void SetCullCandidate(bool on) { m_cullCandidate = on ? 1 : 0; }
    void SetCullingEnabled(bool on) { m_cullingEnabled = on ? 1 : 0; }

    // The process-wide frame frustums (world space) the culling tests against; the scene's
    // frame sets them from its active camera. Main thread only.
    static void SetFrameFrustum(int pass, const Frustum& frustum);
    static const Frustum& GetFrameFrustum(int pass);

    // --- bounds ---
    // A bound taken into a space: 0 parent, 1 world, anything else the bound as it is. Each
    // out-pointer may be null.
    void GetBoundParts(const Bounds& bound, Vec3* center, float* radius, Vec3* extents,
                       int space);
    void BoundToParent(const Bounds& bound, Bounds& out);
    void BoundToWorld(const Bounds& bound, Bounds& out);

    std::uint16_t GetHideFlags() const { return m_hideFlags; }
    int GetLod() const { return m_lod; }
    void SetRenderRecord(RenderRecord* record) { m_renderRecord = record; }
    RenderRecord* GetRenderRecord() const { return m_renderRecord; }

    // The bound of objects that have none of their own.
    static const Bounds& ZeroBound();

private:
    static int PassIndex(int pass) { return pass != 0 ? 1 : 0; }

    // What the per-frame culling reads and writes comes first and together.
    std::uint16_t m_hideFlags = 0;
    std::uint8_t m_cullCandidate = 0;
    std::uint8_t m_cullingEnabled = 0;
    // Index 1 is the main pass (pass 1), index 0 the second pass (pass 0).
    std::uint8_t m_culled[2] = {0, 0};
    std::uint8_t m_fullyInside[2] = {1, 1};
    int m_lod = 0;
    std::uint8_t m_inRenderList = 0;
    Bounds m_worldBound;
    Bounds m_parentBound;
    int m_lodA = 0;
    int m_lodB = 0;
    int m_userInt = 0;
    int m_userInt2 = 0;
    RenderRecord* m_renderRecord = nullptr;
    char m_shortName[32] = {};
    std::vector<std::string> m_strings;
    // The two passes' frustum copies, made the first time the object straddles a frame
    // frustum: most objects are decided by the sphere test alone and never need them.
    std::unique_ptr<Frustum[]> m_localFrustum;
};

}  // namespace quor::world
