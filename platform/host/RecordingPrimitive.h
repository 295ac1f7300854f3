#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/IEffect.h"
#include "platform/host/IPrimitive.h"

namespace quor::host {

class RecordingVertexBuffer;

// One vertex of the position, packed colour, one texture pair layout (flags 0x142).
struct PrimitiveVertex {
    float x, y, z;
    std::uint32_t colour;
    float u, v;
};

// What one Draw call drew: its arguments, the count SetVertexCountUsed gave last (-1 when
// none), the transform, and a copy of the vertices it covers (recording on only).
struct PrimitiveDraw {
    int first = 0;
    int count = 0;
    int pass = 0;
    int used = -1;
    float transform[16] = {};
    std::vector<PrimitiveVertex> vertices;
};

// A state group of a recording effect: every operation as "name.op(a,b)" into its effect's list.
class RecordingEffectStateGroup final : public render::IEffectStateGroup {
public:
    RecordingEffectStateGroup(std::vector<std::string>* log, std::string name)
        : m_log(log), m_name(std::move(name)) {}
    void SetState(int operation, std::int32_t value0, std::int32_t value1) override {
        m_log->push_back(m_name + "." + std::to_string(operation) + "(" + std::to_string(value0) + "," +
                         std::to_string(value1) + ")");
    }

private:
    std::vector<std::string>* m_log;
    std::string m_name;
};

// An effect of the recording renderer; its draw pass is whatever the test sets.
class RecordingEffect final : public render::IEffect {
public:
    render::IEffectStateGroup* GetDebugLabel() override { return &m_label; }
    render::IEffectStateGroup* GetTextureStageState() override { return &m_stage; }
    render::IEffectStateGroup* GetBlendState() override { return &m_blend; }
    render::IEffectStateGroup* GetSamplerState(int stage) override { return stage == 0 ? &m_sampler : nullptr; }
    render::IEffectStateGroup* GetDepthStencilState() override { return &m_depth; }
    render::IEffectStateGroup* GetRasterState() override { return &m_raster; }
    // Every state-group operation, in order.
    std::vector<std::string> stateCalls;

    int GetDrawPass() override { return drawPass; }
    void SetTechniqueName(const char* name) override { techniqueName = name ? name : ""; }
    bool IsTransparent() override { return transparent; }
    int GetKind() override { return kind; }
    const char* GetName() override { return techniqueName.c_str(); }
    void PrintAllItems() override { ++prints; }

    int drawPass = 0;
    bool transparent = false;
    int kind = 0;
    int prints = 0;
    std::string techniqueName;

private:
    RecordingEffectStateGroup m_label{&stateCalls, "label"};
    RecordingEffectStateGroup m_stage{&stateCalls, "stage"};
    RecordingEffectStateGroup m_blend{&stateCalls, "blend"};
    RecordingEffectStateGroup m_sampler{&stateCalls, "sampler0"};
    RecordingEffectStateGroup m_depth{&stateCalls, "depth"};
    RecordingEffectStateGroup m_raster{&stateCalls, "raster"};
};

// A primitive of the recording renderer: logs every call with its arguments, in order
// ("Draw(-1,-1,0)", "Slot16(3,4)"), keeps the last transform and effect, and answers Submit
// as the test sets.
class RecordingPrimitive final : public render::IPrimitive {
public:
    RecordingPrimitive(int kind, std::uint32_t vertexFormat);
    ~RecordingPrimitive();
    RecordingPrimitive(const RecordingPrimitive&) = delete;
    RecordingPrimitive& operator=(const RecordingPrimitive&) = delete;

    // What every DrawEx and Draw reads or writes comes first, in one or two cache lines: a
    // ground draws a few dozen screen quads a frame, each call to a different primitive.
    const int kind;
    const std::uint32_t vertexFormat;
    // Off: SetVertexUV, Draw, DrawEx, SetTexture, SetVertexCountUsed and vertex locks keep no
    // log line or draw record (an array-backed primitive for measuring what writes into it).
    bool record = true;
    int drawExCount = 0;
    int drawCount = 0;
    // The pass of the Draw call the sink is told about (the 2D ground draws at pass 3).
    int lastPass = 0;
    // The latest screen quad (DrawEx): its rectangle and texture rectangle, a second texture
    // rectangle after it for a two-texture layout (0x200 in the vertex format); how many came
    // (drawExCount).
    float drawExRect[4] = {};
    float drawExUV[8] = {};
    // Called by every Draw with the primitive as it is then (a drawing renderer listens).
    std::function<void(const RecordingPrimitive&)> drawSink;

    render::IVertexBuffer* GetVertexBuffer() override;
    void Release() override;
    void Commit() override;
    void SetTransform(const float* world) override;
    void SetEffect(render::IEffect* effect) override;
    render::IEffect* GetEffect() override;
    void SetVertexCount(int primitives, int vertices, int indexed, int flags) override;
    void SetVertexUV(int index, const float* position, float u, float v,
                     std::uint32_t colour) override;
    std::intptr_t Slot8(std::intptr_t a, std::intptr_t b) override { return Pass(8, a, b); }
    std::intptr_t Slot9(std::intptr_t a, std::intptr_t b) override { return Pass(9, a, b); }
    void SetTexture(int stage, render::ITexture* texture) override;
    bool Submit() override;
    void SetMaterial(render::IMaterial* material) override;
    void Draw(int first, int count, int pass) override;
    void SetVertexCountUsed(int count) override;
    void DrawEx(int index, const float* rect, int flags, const float* textureRect) override;
    std::intptr_t Slot16(std::intptr_t a, std::intptr_t b) override { return Pass(16, a, b); }
    std::intptr_t Slot17(std::intptr_t a, std::intptr_t b) override { return Pass(17, a, b); }
    std::intptr_t Slot18(std::intptr_t a, std::intptr_t b) override { return Pass(18, a, b); }
    std::intptr_t Slot19(std::intptr_t a, std::intptr_t b) override { return Pass(19, a, b); }
    std::intptr_t Slot20(std::intptr_t a, std::intptr_t b) override { return Pass(20, a, b); }
    std::intptr_t Slot21(std::intptr_t a, std::intptr_t b) override { return Pass(21, a, b); }
    std::intptr_t Slot22(std::intptr_t a, std::intptr_t b) override { return Pass(22, a, b); }
    std::intptr_t Slot23(std::intptr_t a, std::intptr_t b) override { return Pass(23, a, b); }
    std::intptr_t Slot24(std::intptr_t a, std::intptr_t b) override { return Pass(24, a, b); }
    std::intptr_t Slot25(std::intptr_t a, std::intptr_t b) override { return Pass(25, a, b); }
    std::intptr_t Slot26(std::intptr_t a, std::intptr_t b) override { return Pass(26, a, b); }
    std::intptr_t Slot27(std::intptr_t a, std::intptr_t b) override { return Pass(27, a, b); }
    std::intptr_t Slot28(std::intptr_t a, std::intptr_t b) override { return Pass(28, a, b); }
    std::intptr_t Slot29(std::intptr_t a, std::intptr_t b) override { return Pass(29, a, b); }
    std::intptr_t Slot30(std::intptr_t a, std::intptr_t b) override { return Pass(30, a, b); }
    std::intptr_t Slot31(std::intptr_t a, std::intptr_t b) override { return Pass(31, a, b); }
    std::intptr_t Slot32(std::intptr_t a, std::intptr_t b) override { return Pass(32, a, b); }
    std::intptr_t Slot33(std::intptr_t a, std::intptr_t b) override { return Pass(33, a, b); }
    std::intptr_t Slot34(std::intptr_t a, std::intptr_t b) override { return Pass(34, a, b); }
    std::intptr_t Slot35(std::intptr_t a, std::intptr_t b) override { return Pass(35, a, b); }
    std::intptr_t Slot36(std::intptr_t a, std::intptr_t b) override { return Pass(36, a, b); }
    std::intptr_t Slot37(std::intptr_t a, std::intptr_t b) override { return Pass(37, a, b); }
    std::intptr_t Slot38(std::intptr_t a, std::intptr_t b) override { return Pass(38, a, b); }
    std::intptr_t Slot39(std::intptr_t a, std::intptr_t b) override { return Pass(39, a, b); }
    std::intptr_t Slot40(std::intptr_t a, std::intptr_t b) override { return Pass(40, a, b); }
    std::intptr_t Slot41(std::intptr_t a, std::intptr_t b) override { return Pass(41, a, b); }
    std::intptr_t Slot42(std::intptr_t a, std::intptr_t b) override { return Pass(42, a, b); }
    std::intptr_t Slot43(std::intptr_t a, std::intptr_t b) override { return Pass(43, a, b); }
    std::intptr_t Slot44(std::intptr_t a, std::intptr_t b) override { return Pass(44, a, b); }
    std::intptr_t Slot45(std::intptr_t a, std::intptr_t b) override { return Pass(45, a, b); }
    std::intptr_t Slot46(std::intptr_t a, std::intptr_t b) override { return Pass(46, a, b); }
    std::intptr_t Slot47(std::intptr_t a, std::intptr_t b) override { return Pass(47, a, b); }
    std::intptr_t Slot48(std::intptr_t a, std::intptr_t b) override { return Pass(48, a, b); }
    // Vertex editing: the array grows to cover the range; locks and unlocks are counted.
    void* LockVertices(int first, int count) override;
    void UnlockVertices() override;
    int locks = 0;
    int unlocks = 0;
    // Pre-transformed primitives (format 0x144) lock in the device's layout (x, y, z, rhw,
    // colour, u, v); the unlock copies the locked vertices into the vertex array.
    struct ScreenVertex {
        float x, y, z, rhw;
        std::uint32_t colour;
        float u, v;
    };
    std::vector<ScreenVertex> screenLock;
    int screenLockFirst = 0;
    int screenLockCount = 0;

    std::vector<std::string> calls;
    float transform[16] = {};
    render::IEffect* effect = nullptr;
    render::IMaterial* material = nullptr;
    bool submitAnswer = false;
    int releaseCount = 0;

    // The vertex array: its capacity is SetVertexCount's vertex count when given, else four
    // vertices per primitive for kind 7 (quads) and one per count for other kinds. SetVertexUV writes into it, growing it up to
    // the capacity; writes beyond are counted.
    std::vector<PrimitiveVertex> vertices;
    std::size_t capacity = 0;
    int badWrites = 0;
    int used = -1;
    render::ITexture* textures[8] = {};
    std::vector<PrimitiveDraw> draws;
    RecordingVertexBuffer* Buffer() const { return m_buffer.get(); }

private:
    [[gnu::noinline]] void LogVertex(int index, std::uint32_t colour);
    [[gnu::noinline]] void GrowVertices(std::size_t size);

    std::unique_ptr<RecordingVertexBuffer> m_buffer;
    // A pass-through slot answers the sum of its slot number and arguments, so a test can see
    // that the answer came back unchanged.
    std::intptr_t Pass(int slot, std::intptr_t a, std::intptr_t b);
};

}  // namespace quor::host
