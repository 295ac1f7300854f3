#pragma once
#include <cstdint>
#include <vector>

#include "world/core/ISpaceLines.h"
#include "world/core/PrimitiveBatch.h"
#include "world/core/VisibleObject.h"

namespace quor::render {
class IEffect;
class IRenderable;
class IRenderState;
class IVertexBuffer;
}

namespace quor::world {

// A placed, visible set of 3D line segments with one colour or a colour per vertex. Kind 1 is
// a line list (2 vertices a line), 2 a line strip (lines + 1 vertices), 3 an indexed line list.
// All line objects draw with one shared renderer effect made at world start-up.
class SpaceLines final : public ISpaceLines, public VisibleObject {
public:
    static constexpr std::uint32_t kDefaultColour = 0xFFFFFFFFu;
    // Indices are 16 bits wide.
    static constexpr std::uint32_t kMaxIndexedVertices = 65536;

    SpaceLines(int kind, bool vertexColours, std::uint32_t colour);
    ~SpaceLines() override;

    int GetObjectType() override { return 5; }
    void Clear() override;

    // --- ISpaceLines ---
    bool Init(std::uint32_t lineCount, std::uint32_t vertexCount) override;
    SpaceObject* GetSpaceObject() override { return this; }
    IVisibleObject* GetVisibleObject() override { return this; }
    void MakeSegment(const Vec3& from, const Vec3& to, std::uint32_t colour) override;
    void MakeRectangle(float width, float height) override;
    void MakeCircle(float radius, int segments) override;
    void MakeArc(float radius, float angleDegrees, int segments) override;
    void MakeBox(const Vec3& min, const Vec3& max) override;
    void MakeBoxCorners(const Vec3* minMax, float size) override;
    void MakeCross(float size) override;
    void MakeArrow(float length) override;
    void MakeAxes(float size, bool plain) override;
    void MakeGrid(float cellWidth, float cellHeight, int columns, int rows) override;
    void MakeMarker(float size) override;
    void SetVertexXYZ(std::uint32_t index, float x, float y, float z, const std::uint32_t* colour) override;
    void SetVertex(std::uint32_t index, const Vec3* position, const std::uint32_t* colour) override;
    void GetVertex(std::uint32_t index, Vec3* position, std::uint32_t* colour) override;
    void SetVertexColour(std::uint32_t index, std::uint32_t colour) override;
    void GetVertexColour(std::uint32_t* out, std::uint32_t index) override;
    void SetIndex(std::uint32_t position, std::uint16_t vertex) override;
    void TransformVertices(const Matrix& matrix, std::uint32_t firstLine, int lineCount) override;
    void SetColour(std::uint32_t colour) override;
    void GetColour(std::uint32_t* out) override { if (out) *out = m_colour; }
    void SetDrawEnabled(bool enabled) override;
    std::uint32_t SetDrawLineCount(std::uint32_t count) override;
    std::uint32_t GetDrawLineCount() override { return m_drawLineCount; }
    void GetLineVertices(std::uint32_t line, Vec3* from, Vec3* to) override;
    const void* GetVertices() override { return m_vertices.empty() ? nullptr : m_vertices.data(); }
    std::uint32_t GetVertexCount() override { return m_vertexCount; }
    const std::uint16_t* GetIndices() override { return m_indices.empty() ? nullptr : m_indices.data(); }
    std::uint32_t GetIndexCount() override { return m_indexCount; }
    void ClearVertices() override;

    // Submits the lines to the renderer when any are to be drawn.
    void Draw();
    // Sends changed vertices to the buffer, then draws; only with vertices and drawing on.
    void CommitIfDirty();

    int GetKind() const { return m_kind; }
    bool HasVertexColours() const { return m_hasVertexColours != 0; }
    bool IsDrawEnabled() const { return m_drawEnabled != 0; }
    std::uint32_t GetDrawVertexCount() const { return m_drawVertexCount; }
    // Lines the vertices (or indices) hold.
    std::uint32_t AvailableLines() const;

    // The shared "SpaceLines" effect (world start-up and shutdown).
    static void CreateSharedResource();
    static void ReleaseSharedResource();
    static render::IEffect* SharedEffect();

private:
    static std::uint32_t VerticesForLines(int kind, std::uint32_t lines);
    static std::uint32_t LinesForVertices(int kind, std::uint32_t vertices);
    Vec3* PositionAt(std::uint32_t index);
    std::uint32_t* ColourAt(std::uint32_t index);
    // Sets the kind and sizes the storage when the object has no vertices yet; false when it
    // has none afterwards.
    bool PrepareStorage(int kind, std::uint32_t lines, std::uint32_t vertices);
    void Put(std::uint32_t index, float x, float y, float z);
    void PutLine(std::uint32_t position, std::uint32_t a, std::uint32_t b);
    // The draw range as the counts now stand, handed to the renderable.
    void HandDrawRecord();
    void Upload();

    std::vector<std::uint8_t> m_vertices;
    std::uint32_t m_drawVertexCount = 0;
    std::uint32_t m_vertexCount = 0;
    std::uint32_t m_vertexSize = 12;
    std::vector<std::uint16_t> m_indices;
    std::uint32_t m_indexCount = 0;
    std::uint32_t m_drawLineCount = 0;
    std::uint32_t m_colour = kDefaultColour;
    std::uint8_t m_hasVertexColours = 0;
    std::uint8_t m_kind = 1;
    std::uint8_t m_drawEnabled = 0;
    std::uint8_t m_dirty = 0;
    render::IVertexBuffer* m_buffer = nullptr;
    render::IRenderable* m_renderable = nullptr;
    render::IRenderState* m_renderState = nullptr;
    PrimitiveBatch m_batch;
};

}  // namespace quor::world
