#pragma once
// Helpers of the object-model tests: the recording renderer put into the interface table for
// the length of a test, a recording host object for ExtVisibleNode, and the world matrix of an
// object recomputed from scratch.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/host/RecordingRenderer.h"
#include "world/core/IExtVisibleHost.h"
#include "world/core/InterfaceTable.h"
#include "world/core/SpaceObject.h"
#include "world/core/VisibleObject.h"

namespace quor::test {

// Makes a RecordingRenderer the module's renderer while it lives.
class RendererScope {
public:
    RendererScope() : m_previous(Interfaces().renderer) { Interfaces().renderer = &renderer; }
    ~RendererScope() { Interfaces().renderer = m_previous; }
    RendererScope(const RendererScope&) = delete;
    RendererScope& operator=(const RendererScope&) = delete;

    host::RecordingRenderer renderer;

private:
    render::IRenderer* m_previous;
};

// The local matrix of an object from its public parts, in plain double arithmetic.
inline void LocalMatrixOf(world::SpaceObject& o, double out[16]) {
    const Matrix& r = *o.GetRotation();
    const Vec3 s = o.HasScale() ? *o.GetScale() : Vec3{1.0f, 1.0f, 1.0f};
    const Vec3 p = *o.GetPosition();
    for (int c = 0; c < 4; ++c) {
        out[c] = r.m[c] * double(s.x);
        out[4 + c] = r.m[4 + c] * double(s.y);
        out[8 + c] = r.m[8 + c] * double(s.z);
    }
    out[3] = out[7] = out[11] = 0.0;
    out[12] = p.x;
    out[13] = p.y;
    out[14] = p.z;
    out[15] = 1.0;
}

// World matrix recomputed from scratch: local x parent's local x ... up the chain. Returns the
// largest element met on the way, the scale that float rounding errors are relative to (a
// translation near zero may come out of large terms cancelling).
inline double ScratchWorldMatrix(world::SpaceObject& o, double out[16]) {
    LocalMatrixOf(o, out);
    double magnitude = 1.0;
    auto grow = [&magnitude](const double* m) {
        for (int i = 0; i < 16; ++i) {
            magnitude = std::max(magnitude, std::fabs(m[i]));
        }
    };
    grow(out);
    for (world::SpaceObject* p = o.Parent(); p; p = p->Parent()) {
        double parent[16];
        double r[16];
        LocalMatrixOf(*p, parent);
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
                double sum = 0.0;
                for (int k = 0; k < 4; ++k) {
                    sum += out[4 * i + k] * parent[4 * k + j];
                }
                r[4 * i + j] = sum;
            }
        }
        std::copy(r, r + 16, out);
        grow(parent);
        grow(out);
    }
    return magnitude;
}

// Largest element difference relative to the matrix's magnitude.
inline double MatrixError(const Matrix& a, const double b[16]) {
    double scale = 1.0;
    double error = 0.0;
    for (int i = 0; i < 16; ++i) {
        scale = std::max(scale, std::fabs(b[i]));
        error = std::max(error, std::fabs(double(a.m[i]) - b[i]));
    }
    return error / scale;
}

inline double MatrixError(const Matrix& a, const Matrix& b) {
    double d[16];
    for (int i = 0; i < 16; ++i) {
        d[i] = b.m[i];
    }
    return MatrixError(a, d);
}

// A host object behind an ExtVisibleNode: records every call by name and answers with what
// the test put into it.
class RecordingExtHost final : public world::IExtVisibleHost {
public:
    void SetInRenderList(std::uint8_t) override { Record("SetInRenderList"); }
    world::VisibleObject* GetObject() override { return nullptr; }
    void SetVisible(bool, bool) override { Record("SetVisible"); }
    bool IsVisible() override { return true; }
    int GetPartCount() override { return 1; }
    void SetPartParam(int, int) override {}
    bool IsVisibleThunk(int) override { return true; }
    std::uint8_t GetFlag758() override { return 0; }
    bool IsCullingEnabled() override { return false; }
    Vec3 GetBoundCenter(int) override { return {}; }
    float GetBoundRadius(int) override { return 0.0f; }
    Vec3 GetBoundExtents(int) override { return {}; }
    Vec3 GetPartCenter(int, int) override { return {}; }
    float GetPartRadius(int, int) override { return 0.0f; }
    Vec3 GetPartExtents(int, int) override { return {}; }
    void GetWorldBound(Vec3*, float*, Vec3*, int) override {}
    void GetPartWorldBound(int, Vec3*, float*, Vec3*, int) override {}
    void GetBoundCorners(Vec3*, int, int) override {}
    void SetUserInt(int) override {}
    int GetUserInt() override { return 0; }
    void SetShortName(const char*) override {}
    const char* GetShortName() override { return ""; }
    void AddString(const char*) override {}
    void SetString(int, const char*) override {}
    const char* GetString(int) override { return nullptr; }
    void SetStringCount(int) override {}
    int GetStringCount() override { return 0; }
    int GetUserInt2() override { return 0; }
    void SetUserInt2(int) override {}
    void DrawParts(int pass) override { Record("DrawParts(" + std::to_string(pass) + ")"); }
    void Prepare() override {}
    bool GetSubtreeBox(Vec3&, Vec3&, world::ISpaceObject*) override { return false; }

    int GetDrawPass() override { Record("GetDrawPass"); return drawPass; }
    int GetPartDrawPass(int part) override {
        Record("GetPartDrawPass(" + std::to_string(part) + ")");
        return drawPass;
    }
    void OnTransformChanged() override { Record("OnTransformChanged"); }
    const Bounds* GetBound() override { Record("GetBound"); return &bound; }
    const Bounds* GetPartBound(int part) override {
        Record("GetPartBound(" + std::to_string(part) + ")");
        return &bound;
    }
    const Bounds* GetPartBoundInParent(int part) override {
        Record("GetPartBoundInParent(" + std::to_string(part) + ")");
        return &bound;
    }
    const Bounds* GetPartBoundInWorld(int part) override {
        Record("GetPartBoundInWorld(" + std::to_string(part) + ")");
        return &bound;
    }
    bool PreDraw() override { Record("PreDraw"); return true; }
    void DrawPart(int part) override { Record("DrawPart(" + std::to_string(part) + ")"); }
    bool IsCulled(int part, int pass) override {
        Record("IsCulled(" + std::to_string(part) + "," + std::to_string(pass) + ")");
        return culled;
    }
    bool GetPartCulled(int a, int b) override {
        Record("GetPartCulled(" + std::to_string(a) + "," + std::to_string(b) + ")");
        return culled;
    }
    void OnDetach() override { Record("OnDetach"); }

    int Count(const std::string& name) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }

    std::vector<std::string> calls;
    Bounds bound{};
    int drawPass = 3;
    bool culled = true;

private:
    void Record(std::string name) { calls.push_back(std::move(name)); }
};

}  // namespace quor::test
