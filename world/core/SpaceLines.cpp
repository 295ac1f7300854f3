#include "world/core/SpaceLines.h"

#include <cmath>
#include <cstring>

#include "platform/host/IEffect.h"
#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"

namespace quor::world {

namespace {

render::IEffect* g_sharedEffect = nullptr;

render::IRenderer* Renderer() { return Interfaces().renderer; }

constexpr std::uint32_t kFormatColoured = 0x42;
constexpr std::uint32_t kFormatPlain = 0x2;
constexpr int kLineList = 2;
constexpr int kLineStrip = 3;
constexpr std::uint32_t kStateDrawn = 0x80;
constexpr std::uint32_t kStateHidden = 0x30;
// Vertex arrays beyond this many bytes are refused rather than sized with a wrapped count.
constexpr std::uint64_t kMaxVertexBytes = 0x7FFFFFFFu;

}  // namespace

void SpaceLines::CreateSharedResource() {
    render::IRenderer* renderer = Renderer();
    if (!renderer || g_sharedEffect) return;
    g_sharedEffect = renderer->CreateEffect();
    if (g_sharedEffect) g_sharedEffect->SetTechniqueName("SpaceLines");
}

void SpaceLines::ReleaseSharedResource() {
    if (g_sharedEffect && Renderer()) Renderer()->ReleaseEffect(g_sharedEffect);
    g_sharedEffect = nullptr;
}

render::IEffect* SpaceLines::SharedEffect() { return g_sharedEffect; }

SpaceLines::SpaceLines(int kind, bool vertexColours, std::uint32_t colour)
    : m_colour(colour), m_hasVertexColours(vertexColours ? 1 : 0), m_kind(static_cast<std::uint8_t>(kind)) {
    if (render::IRenderer* renderer = Renderer()) {
        m_renderable = renderer->CreateRenderable(g_sharedEffect);
        m_renderState = renderer->CreateRenderState();
        if (m_renderable && m_renderState) m_renderable->SetRenderState(m_renderState);
    }
}

SpaceLines::~SpaceLines() {
    ClearVertices();
    if (render::IRenderer* renderer = Renderer()) {
        if (m_renderable) renderer->ReleaseRenderable(m_renderable);
        if (m_renderState) renderer->ReleaseRenderState(m_renderState);
    }
    m_renderable = nullptr;
    m_renderState = nullptr;
}

void SpaceLines::Clear() {
    ClearVertices();
    VisibleObject::Clear();
}

void SpaceLines::ClearVertices() {
    m_vertices.clear();
    m_vertices.shrink_to_fit();
    m_indices.clear();
    m_indices.shrink_to_fit();
    m_vertexCount = m_drawVertexCount = m_indexCount = m_drawLineCount = 0;
    if (m_buffer && Renderer()) Renderer()->ReleaseVertexBuffer(m_buffer);
    m_buffer = nullptr;
    m_batch = PrimitiveBatch{};
}

std::uint32_t SpaceLines::VerticesForLines(int kind, std::uint32_t lines) {
    if (kind == 1) return lines <= 0x7FFFFFFFu ? lines * 2 : 0;
    if (kind == 2) return lines < 0xFFFFFFFFu ? lines + 1 : 0;
    return 0;
}

std::uint32_t SpaceLines::LinesForVertices(int kind, std::uint32_t vertices) {
    if (kind == 1) return vertices / 2;
    if (kind == 2) return vertices > 0 ? vertices - 1 : 0;
    return 0;
}

std::uint32_t SpaceLines::AvailableLines() const {
    if (m_kind == 3) return m_indexCount / 2;
    return LinesForVertices(m_kind, m_vertexCount);
}

bool SpaceLines::Init(std::uint32_t lineCount, std::uint32_t vertexCount) {
    if (lineCount == 0 && vertexCount == 0) return false;
    std::uint32_t vertices = 0;
    std::uint32_t indices = 0;
    if (m_kind == 3) {
        if (lineCount == 0 || vertexCount == 0) return false;
        // 16-bit indices name at most 65,536 vertices.
        if (vertexCount > kMaxIndexedVertices || lineCount > 0x7FFFFFFFu) {
            LogError("SpaceLines: %u vertices or %u lines do not fit indexed lines", vertexCount, lineCount);
            return false;
        }
        vertices = vertexCount;
        indices = lineCount * 2;
    } else {
        vertices = lineCount != 0 ? VerticesForLines(m_kind, lineCount) : vertexCount;
    }
    if (vertices == 0) return false;
    const std::uint32_t size = m_hasVertexColours ? 16 : 12;
    if (std::uint64_t{vertices} * size > kMaxVertexBytes) {
        LogError("SpaceLines: %u vertices are too many", vertices);
        return false;
    }
    ClearVertices();
    m_vertexSize = size;
    m_vertexCount = vertices;
    m_drawVertexCount = vertices;
    m_indexCount = indices;
    m_vertices.assign(std::size_t{vertices} * size, 0);
    if (m_kind == 3) m_indices.assign(indices, 0);
    // Every line is drawn from the start: a new object shows all it holds.
    m_drawLineCount = AvailableLines();
    m_drawEnabled = 1;
    if (m_renderable) m_renderable->SetState(kStateDrawn);
    if (render::IRenderer* renderer = Renderer()) m_buffer = renderer->CreateVertexBuffer();
    if (m_buffer) m_buffer->SetFormat(m_hasVertexColours ? kFormatColoured : kFormatPlain);
    SetColour(m_colour);
    Upload();
    HandDrawRecord();
    return true;
}

void SpaceLines::Upload() {
    m_dirty = 0;
    if (!m_buffer) return;
    m_buffer->SetVertices(m_vertices.data(), m_vertexCount, m_vertexSize);
    m_buffer->SetPrimitiveType(m_kind == 2 ? kLineStrip : kLineList);
    if (m_kind == 3) m_buffer->SetIndices(m_indices.data(), m_indexCount);
}

void SpaceLines::HandDrawRecord() {
    if (m_kind < 1 || m_kind > 3) return;
    const std::uint32_t drawVertices = m_kind == 3 ? m_vertexCount : m_drawVertexCount;
    PrimitiveBatchInit(m_batch, m_buffer, 0, drawVertices, 0, m_drawLineCount);
    if (m_renderable)
        m_renderable->SetDrawRecord(m_batch.stream, m_batch.ranges.data(),
                                    static_cast<std::uint32_t>(m_batch.ranges.size()));
}

Vec3* SpaceLines::PositionAt(std::uint32_t index) {
    return reinterpret_cast<Vec3*>(m_vertices.data() + std::size_t{index} * m_vertexSize);
}

std::uint32_t* SpaceLines::ColourAt(std::uint32_t index) {
    return reinterpret_cast<std::uint32_t*>(m_vertices.data() + std::size_t{index} * m_vertexSize + 12);
}

void SpaceLines::SetColour(std::uint32_t colour) {
    m_colour = colour;
    if (!m_hasVertexColours) return;
    for (std::uint32_t i = 0; i < m_vertexCount; ++i) std::memcpy(ColourAt(i), &colour, 4);
    m_dirty = 1;
}

void SpaceLines::SetDrawEnabled(bool enabled) {
    m_drawEnabled = enabled ? 1 : 0;
    if (m_renderable) m_renderable->SetState(enabled ? kStateDrawn : kStateHidden);
}

std::uint32_t SpaceLines::SetDrawLineCount(std::uint32_t count) {
    if (m_vertices.empty()) return 0;
    const std::uint32_t available = AvailableLines();
    m_drawLineCount = count < available ? count : available;
    if (m_kind != 3) m_drawVertexCount = VerticesForLines(m_kind, m_drawLineCount);
    // The renderer draws what the record says, so the new count must reach it.
    HandDrawRecord();
    return available;
}

void SpaceLines::SetVertex(std::uint32_t index, const Vec3* position, const std::uint32_t* colour) {
    if (index >= m_vertexCount) return;
    if (position) std::memcpy(PositionAt(index), position, 12);
    if (colour && m_hasVertexColours) std::memcpy(ColourAt(index), colour, 4);
    m_dirty = 1;
}

void SpaceLines::SetVertexXYZ(std::uint32_t index, float x, float y, float z, const std::uint32_t* colour) {
    const Vec3 p{x, y, z};
    SetVertex(index, &p, colour);
}

void SpaceLines::GetVertex(std::uint32_t index, Vec3* position, std::uint32_t* colour) {
    if (index >= m_vertexCount) return;
    if (position) std::memcpy(position, PositionAt(index), 12);
    if (colour) {
        if (m_hasVertexColours)
            std::memcpy(colour, ColourAt(index), 4);
        else
            *colour = m_colour;
    }
}

void SpaceLines::SetVertexColour(std::uint32_t index, std::uint32_t colour) {
    if (index >= m_vertexCount || !m_hasVertexColours) return;
    std::memcpy(ColourAt(index), &colour, 4);
    m_dirty = 1;
}

void SpaceLines::GetVertexColour(std::uint32_t* out, std::uint32_t index) {
    if (!out) return;
    if (!m_hasVertexColours) {
        *out = m_colour;
        return;
    }
    if (index < m_vertexCount) std::memcpy(out, ColourAt(index), 4);
}

void SpaceLines::SetIndex(std::uint32_t position, std::uint16_t vertex) {
    if (position < m_indexCount && vertex < m_vertexCount) {
        m_indices[position] = vertex;
        m_dirty = 1;
    }
}

void SpaceLines::GetLineVertices(std::uint32_t line, Vec3* from, Vec3* to) {
    if (line >= AvailableLines()) return;
    std::uint32_t a = 0, b = 0;
    if (m_kind == 1) {
        a = 2 * line;
        b = a + 1;
    } else if (m_kind == 2) {
        a = line;
        b = line + 1;
    } else {
        a = m_indices[2 * line];
        b = m_indices[2 * line + 1];
    }
    if (from) GetVertex(a, from, nullptr);
    if (to) GetVertex(b, to, nullptr);
}

void SpaceLines::TransformVertices(const Matrix& matrix, std::uint32_t firstLine, int lineCount) {
    if (m_vertices.empty()) return;
    const std::uint32_t available = AvailableLines();
    if (firstLine >= available) firstLine = 0;
    std::uint32_t count = available - firstLine;
    if (lineCount >= 0 && static_cast<std::uint32_t>(lineCount) < count) count = static_cast<std::uint32_t>(lineCount);
    if (count == 0) return;
    std::vector<std::uint8_t> done(m_vertexCount, 0);
    auto transform = [&](std::uint32_t v) {
        if (v >= m_vertexCount || done[v]) return;
        done[v] = 1;
        Vec3 p = *PositionAt(v);
        TransformCoord(p, matrix);
        std::memcpy(PositionAt(v), &p, 12);
    };
    for (std::uint32_t line = firstLine; line < firstLine + count; ++line) {
        if (m_kind == 1) {
            transform(2 * line);
            transform(2 * line + 1);
        } else if (m_kind == 2) {
            transform(line);
            transform(line + 1);
        } else {
            transform(m_indices[2 * line]);
            transform(m_indices[2 * line + 1]);
        }
    }
    m_dirty = 1;
}

void SpaceLines::Draw() {
    render::IRenderer* renderer = Renderer();
    if (m_drawLineCount == 0 || !renderer || !m_renderable) return;
    if (m_renderState) m_renderState->SetColour(m_hasVertexColours ? 0xFFFFFFFFu : m_colour);
    m_renderable->SetWorldMatrix(GetWorldMatrix().m);
    renderer->Submit(m_renderable);
}

void SpaceLines::CommitIfDirty() {
    if (m_vertices.empty() || !m_drawEnabled) return;
    if (m_dirty) Upload();
    Draw();
}

// --- shapes --------------------------------------------------------------------------------------

bool SpaceLines::PrepareStorage(int kind, std::uint32_t lines, std::uint32_t vertices) {
    if (m_vertices.empty()) {
        m_kind = static_cast<std::uint8_t>(kind);
        if (!Init(lines, vertices)) return false;
    }
    return !m_vertices.empty();
}

void SpaceLines::Put(std::uint32_t index, float x, float y, float z) { SetVertexXYZ(index, x, y, z, nullptr); }

void SpaceLines::PutLine(std::uint32_t position, std::uint32_t a, std::uint32_t b) {
    SetIndex(2 * position, static_cast<std::uint16_t>(a));
    SetIndex(2 * position + 1, static_cast<std::uint16_t>(b));
}

void SpaceLines::MakeSegment(const Vec3& from, const Vec3& to, std::uint32_t colour) {
    if (!PrepareStorage(1, 1, 0)) return;
    SetVertex(0, &from, &colour);
    SetVertex(1, &to, &colour);
}

void SpaceLines::MakeRectangle(float width, float height) {
    if (!PrepareStorage(2, 4, 0)) return;
    const float w = width / 2, h = height / 2;
    Put(0, w, h, 0);
    Put(1, -w, h, 0);
    Put(2, -w, -h, 0);
    Put(3, w, -h, 0);
    Put(4, w, h, 0);
}

void SpaceLines::MakeCircle(float radius, int segments) { MakeArc(radius, 360.0f, segments); }

void SpaceLines::MakeArc(float radius, float angleDegrees, int segments) {
    // The step divides by the segment count.
    if (segments <= 0) {
        LogWarning("SpaceLines: an arc needs at least one segment (%d given)", segments);
        return;
    }
    const std::uint32_t n = static_cast<std::uint32_t>(segments);
    if (!PrepareStorage(2, n, 0)) return;
    const float step = angleDegrees * 3.14159265358979f / 180.0f / static_cast<float>(n);
    for (std::uint32_t i = 0; i <= n; ++i) {
        const float a = step * static_cast<float>(i);
        Put(i, radius * std::cos(a), radius * std::sin(a), 0);
    }
}

void SpaceLines::MakeBox(const Vec3& min, const Vec3& max) {
    if (!PrepareStorage(3, 12, 8)) return;
    const float zs[2] = {min.z, max.z};
    for (int f = 0; f < 2; ++f) {
        Put(4 * f + 0, min.x, min.y, zs[f]);
        Put(4 * f + 1, max.x, min.y, zs[f]);
        Put(4 * f + 2, max.x, max.y, zs[f]);
        Put(4 * f + 3, min.x, max.y, zs[f]);
    }
    static const std::uint8_t kLines[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                               {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    for (std::uint32_t i = 0; i < 12; ++i) PutLine(i, kLines[i][0], kLines[i][1]);
}

void SpaceLines::MakeBoxCorners(const Vec3* minMax, float size) {
    if (!minMax || !PrepareStorage(3, 24, 32)) return;
    const Vec3& lo = minMax[0];
    const Vec3& hi = minMax[1];
    // Each corner gets three short strokes along its edges, pointing into the box.
    for (std::uint32_t c = 0; c < 8; ++c) {
        const Vec3 p{(c & 1) ? hi.x : lo.x, (c & 2) ? hi.y : lo.y, (c & 4) ? hi.z : lo.z};
        const float dx = (c & 1) ? -size : size, dy = (c & 2) ? -size : size, dz = (c & 4) ? -size : size;
        const std::uint32_t v = 4 * c;
        Put(v, p.x, p.y, p.z);
        Put(v + 1, p.x + dx, p.y, p.z);
        Put(v + 2, p.x, p.y + dy, p.z);
        Put(v + 3, p.x, p.y, p.z + dz);
        for (std::uint32_t k = 0; k < 3; ++k) PutLine(3 * c + k, v, v + 1 + k);
    }
}

void SpaceLines::MakeCross(float size) {
    if (!PrepareStorage(1, 3, 0)) return;
    const float s = size / 2;
    Put(0, -s, 0, 0);
    Put(1, s, 0, 0);
    Put(2, 0, -s, 0);
    Put(3, 0, s, 0);
    Put(4, 0, 0, -s);
    Put(5, 0, 0, s);
}

namespace {

// One arrow along an axis: 7 vertices from `base`, 9 lines from `line`. axis 0 x, 1 y, 2 z;
// the head's four points lie on the other two axes.
struct ArrowWriter {
    SpaceLines& lines;
    void Write(std::uint32_t base, std::uint32_t line, int axis, float length, float headStart, float halfWidth,
               const std::uint32_t* colour) {
        const int u = (axis + 1) % 3, w = (axis + 2) % 3;
        auto point = [&](std::uint32_t v, float along, float du, float dw) {
            Vec3 p{0, 0, 0};
            p[axis] = along;
            p[u] = du;
            p[w] = dw;
            lines.SetVertex(base + v, &p, colour);
        };
        point(0, 0, 0, 0);
        point(1, headStart, 0, 0);
        point(2, length, 0, 0);
        point(3, headStart, halfWidth, 0);
        point(4, headStart, -halfWidth, 0);
        point(5, headStart, 0, -halfWidth);
        point(6, headStart, 0, halfWidth);
        static const std::uint8_t kLines[9][2] = {{0, 1}, {2, 3}, {2, 4}, {2, 5}, {2, 6},
                                                  {3, 4}, {4, 5}, {5, 6}, {6, 3}};
        for (std::uint32_t i = 0; i < 9; ++i) {
            lines.SetIndex(2 * (line + i), static_cast<std::uint16_t>(base + kLines[i][0]));
            lines.SetIndex(2 * (line + i) + 1, static_cast<std::uint16_t>(base + kLines[i][1]));
        }
    }
};

}  // namespace

void SpaceLines::MakeArrow(float length) {
    if (!PrepareStorage(3, 9, 7)) return;
    ArrowWriter{*this}.Write(0, 0, 0, length, 0.875f * length, 0.025f * length, nullptr);
}

void SpaceLines::MakeAxes(float size, bool plain) {
    static const std::uint32_t kColours[3] = {0xFFC80000u, 0xFF00B000u, 0xFF0000E0u};
    // Per-vertex colours can only be switched on before the storage is sized.
    if (m_vertices.empty()) m_hasVertexColours = 1;
    if (plain) {
        if (!PrepareStorage(1, 3, 0)) return;
        for (int a = 0; a < 3; ++a) {
            Vec3 origin{0, 0, 0}, tip{0, 0, 0};
            tip[a] = size;
            SetVertex(2 * a, &origin, &kColours[a]);
            SetVertex(2 * a + 1, &tip, &kColours[a]);
        }
        return;
    }
    if (!PrepareStorage(3, 27, 21)) return;
    for (int a = 0; a < 3; ++a)
        ArrowWriter{*this}.Write(7 * a, 9 * a, a, size, 0.9f * size, 0.025f * size, &kColours[a]);
}

void SpaceLines::MakeGrid(float cellWidth, float cellHeight, int columns, int rows) {
    if (columns < 0 || rows < 0) return;
    const std::uint64_t lines = std::uint64_t(columns) + std::uint64_t(rows) + 2;
    if (lines > 0x3FFFFFFFu || !PrepareStorage(1, static_cast<std::uint32_t>(lines), 0)) return;
    const float W = columns * cellWidth / 2, H = rows * cellHeight / 2;
    std::uint32_t v = 0;
    for (int i = 0; i <= columns; ++i) {
        Put(v++, i * cellWidth - W, -H, 0);
        Put(v++, i * cellWidth - W, H, 0);
    }
    for (int j = 0; j <= rows; ++j) {
        Put(v++, -W, j * cellHeight - H, 0);
        Put(v++, W, j * cellHeight - H, 0);
    }
}

void SpaceLines::MakeMarker(float size) {
    if (!PrepareStorage(3, 39, 21)) return;
    // Three shafts with a double pyramid at their ends, one per axis, written x then y then z
    // into vertices 14..20, 0..6, 7..13.
    const float head = 0.2777778f * size;
    static const std::uint8_t kLines[13][2] = {{0, 1}, {1, 3}, {1, 4}, {1, 5}, {1, 6}, {2, 3}, {2, 4},
                                               {2, 5}, {2, 6}, {3, 4}, {4, 5}, {5, 6}, {6, 3}};
    const std::uint32_t bases[3] = {14, 0, 7};
    for (int a = 0; a < 3; ++a) {
        const int u = (a + 1) % 3, w = (a + 2) % 3;
        const std::uint32_t base = bases[a];
        auto point = [&](std::uint32_t v, float along, float du, float dw) {
            Vec3 p{0, 0, 0};
            p[a] = along;
            p[u] = du;
            p[w] = dw;
            SetVertex(base + v, &p, nullptr);
        };
        point(0, 0, 0, 0);
        point(1, size, 0, 0);
        point(2, size + head, 0, 0);
        point(3, size + head / 2, head / 2, 0);
        point(4, size + head / 2, 0, head / 2);
        point(5, size + head / 2, -head / 2, 0);
        point(6, size + head / 2, 0, -head / 2);
        for (std::uint32_t i = 0; i < 13; ++i) PutLine(13 * a + i, base + kLines[i][0], base + kLines[i][1]);
    }
}

}  // namespace quor::world
