#pragma once
#include <cstdint>
#include <memory>
#include <vector>

// Mesh data of the kernel. Triangles point into the vertex and normal arrays of their
// representation, so a representation never grows once its triangles are linked.

struct KytPoint {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    const float* fv() const { return &x; }
    float* fv() { return &x; }
};
static_assert(sizeof(KytPoint) == 3 * sizeof(float), "a point is three packed floats");

// Hard (feature) edge marks of a triangle, for its edges 0-1, 1-2 and 2-0.
enum : unsigned {
    KYT_TRI_HARD_EDGE01 = 0x08,
    KYT_TRI_HARD_EDGE12 = 0x10,
    KYT_TRI_HARD_EDGE20 = 0x20,
};

struct KytTriangle {
    KytPoint* pVertex[3] = {};
    KytPoint* pNormal[3] = {};
    KytPoint* pFaceNormal = nullptr;
    // Neighbour across edge 0-1, 1-2 and 2-0; null on an open border.
    KytTriangle* pNeighbor[3] = {};
    unsigned uFlags = 0;
    uint16_t uColor = 0;  // index into KytColor::matarray
    float afTexCoord[3][2] = {};
};

struct KytTexture {
    int nWidth = 0, nHeight = 0;
    std::vector<unsigned char> rgb;  // 3 bytes a pixel, rows from the top
};

class CLineHash;

// Flag word of a representation.
enum : unsigned {
    KYT_REP_NEIGHBORS = 0x1,  // triangles' neighbour pointers and edge flags are set
};

class KytShapeRep {
public:
    std::vector<KytPoint> aVertex;
    std::vector<KytPoint> aNormal;      // vertex normals
    std::vector<KytPoint> aFaceNormal;  // one per triangle
    std::vector<KytTriangle> aTriangle;
    unsigned uFlags = 0;
    KytPoint boxMin, boxMax;  // axis-aligned box in the link's own frame
    std::unique_ptr<KytTexture> pTexture;

    KytTriangle* GetTriangles() { return aTriangle.data(); }
    const KytTriangle* GetTriangles() const { return aTriangle.data(); }
    unsigned GetTriangleCount() const { return static_cast<unsigned>(aTriangle.size()); }
    KytPoint* GetVertices() { return aVertex.data(); }
    unsigned GetVertexCount() const { return static_cast<unsigned>(aVertex.size()); }
    // Number of scratch line objects CalcSilhouette needs.
    unsigned GetElementCount() const { return GetTriangleCount(); }

    // Recomputes the box from the vertices.
    void UpdateBox();
    // Links triangles that share an edge (by position) and marks as hard the edges whose
    // faces bend by more than `hardAngleDeg`, and open borders.
    void LinkNeighbors(double hardAngleDeg = 30.0);
    // Marks silhouette candidates; the scratch array must hold GetElementCount() objects.
    bool CalcSilhouette(CLineHash* scratch, unsigned count);
};

// Scratch object of the silhouette computation: one per triangle.
class CLineHash {
public:
    const KytTriangle* pTriangle = nullptr;
    unsigned uEdgeMask = 0;
};

// Flag word of a shape.
enum : unsigned {
    KYT_SHAPE_SILHOUETTE = 0x1,  // silhouette data computed
};

class KytShape {
public:
    KytShape* pNext = nullptr;
    KytShapeRep* pRep = nullptr;  // owned by the model
    unsigned uFlags = 0;

    KytShapeRep* GetRep() const { return pRep; }
};
