#pragma once
#include <cstdint>

#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"

namespace quor::world {

class IVisibleObject;
class SpaceObject;

// The host's face of a line object. The slot order is the contract with the host.
class ISpaceLines {
public:
    virtual bool Init(std::uint32_t lineCount, std::uint32_t vertexCount) = 0;
    virtual SpaceObject* GetSpaceObject() = 0;
    virtual IVisibleObject* GetVisibleObject() = 0;
    virtual void MakeSegment(const Vec3& from, const Vec3& to, std::uint32_t colour) = 0;
    virtual void MakeRectangle(float width, float height) = 0;
    virtual void MakeCircle(float radius, int segments) = 0;
    virtual void MakeArc(float radius, float angleDegrees, int segments) = 0;
    virtual void MakeBox(const Vec3& min, const Vec3& max) = 0;
    virtual void MakeBoxCorners(const Vec3* minMax, float size) = 0;
    virtual void MakeCross(float size) = 0;
    virtual void MakeArrow(float length) = 0;
    virtual void MakeAxes(float size, bool plain) = 0;
    virtual void MakeGrid(float cellWidth, float cellHeight, int columns, int rows) = 0;
    virtual void MakeMarker(float size) = 0;
    virtual void SetVertexXYZ(std::uint32_t index, float x, float y, float z, const std::uint32_t* colour) = 0;
    virtual void SetVertex(std::uint32_t index, const Vec3* position, const std::uint32_t* colour) = 0;
    virtual void GetVertex(std::uint32_t index, Vec3* position, std::uint32_t* colour) = 0;
    virtual void SetVertexColour(std::uint32_t index, std::uint32_t colour) = 0;
    virtual void GetVertexColour(std::uint32_t* out, std::uint32_t index) = 0;
    virtual void SetIndex(std::uint32_t position, std::uint16_t vertex) = 0;
    virtual void TransformVertices(const Matrix& matrix, std::uint32_t firstLine, int lineCount) = 0;
    virtual void SetColour(std::uint32_t colour) = 0;
    virtual void GetColour(std::uint32_t* out) = 0;
    virtual void SetDrawEnabled(bool enabled) = 0;
    virtual std::uint32_t SetDrawLineCount(std::uint32_t count) = 0;
    virtual std::uint32_t GetDrawLineCount() = 0;
    virtual void GetLineVertices(std::uint32_t line, Vec3* from, Vec3* to) = 0;
    virtual const void* GetVertices() = 0;
    virtual std::uint32_t GetVertexCount() = 0;
    virtual const std::uint16_t* GetIndices() = 0;
    virtual std::uint32_t GetIndexCount() = 0;
    virtual void ClearVertices() = 0;

protected:
    ~ISpaceLines() = default;
};

}  // namespace quor::world
