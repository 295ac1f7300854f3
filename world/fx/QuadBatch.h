#pragma once
#include <cstdint>

namespace quor::render {
class IEffect;
class IMaterial;
class IRenderable;
class ITexture;
class IVertexBuffer;
}  // namespace quor::render

namespace quor::world {

// A pre-transformed vertex of the batch's array (format 0x144: x, y, z, rhw, ARGB, u, v).
struct QuadVertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 28, "the batch's vertices are 28 bytes");

// A queued vertex: position relative to the label's top-left, z 0.5, texture pair, colour.
struct QueuedVertex {
    float x, y, z, u, v;
    std::uint32_t colour;
};

// The process-wide overlay batch the screen labels draw their windows with: 3000 draw slots
// (a material and a draw item each) so that every flush of a frame keeps its own texture, one
// array of 100000 vertices the renderer reads at submit, and a queue of 2400 vertices for the
// label being drawn. Made at the world's start-up, released at its shutdown; used only from a
// label pass, under the label list's lock.
class QuadBatch {
public:
    static constexpr int kSlots = 3000;
    static constexpr int kVertices = 100000;
    static constexpr int kQueue = 2400;

    static void Create();
    static void Release();
    static bool IsCreated();

    // The current slot's "Tex0"; logs "cur_rx_id out of max" past the last slot.
    static void SetTexture(render::ITexture* texture);
    // Queues one vertex (the excess over kQueue is dropped).
    static void AddVertex(float x, float y, float u, float v, std::uint32_t colour);
    // One white vertex at the polar point of the radius of (dx, dy) and the arc tangent of a / b.
    static QueuedVertex WhiteVertex(int dx, int dy, float a, float b);

    // Start of a label pass: the first slot and vertex.
    static void BeginPass();
    // Start of one label's turn: an empty queue.
    static void BeginLabel();
    // Writes the queue at (left, top) with the depth; false (nothing written, queue kept) when
    // the array cannot take it.
    static bool WriteQueued(float left, float top, float depth);
    // Submits the queued triangles with the current slot and moves on; past the last slot
    // nothing is drawn and the queue stays.
    static void DrawQueued();

    static int CurrentSlot();
    static int VertexBase();
    static int QueuedCount();
    static const QuadVertex* Vertices();
    static const QueuedVertex* Queued();
    static render::IRenderable* SlotRenderable(int slot);
    static render::IMaterial* SlotMaterial(int slot);
    static render::IVertexBuffer* Buffer();
};

}  // namespace quor::world
