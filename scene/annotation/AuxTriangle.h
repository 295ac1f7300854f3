#pragma once
// A set of translucent triangles in world coordinates.

#include "scene/annotation/KytAuxContents.h"

class AuxTriangle : public KytAuxContents {
public:
    struct Record {
        double Vertex[3][3];
        double Normal[3];
        bool Valid;
    };

    explicit AuxTriangle(unsigned int id = 0);
    explicit AuxTriangle(const AuxTriangle* source);
    AuxTriangle(const AuxTriangle& other);
    AuxTriangle& operator=(const AuxTriangle& other);
    ~AuxTriangle() override;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    // Replaces the records by `count` empty ones. False, with no records, for a count of 0 or
    // less or one that cannot be allocated.
    bool CreateData(long count);
    bool SetVertex(long i, const WqVector3D* const vertices, const WqVector3D& normal);
    // The normal from the vertices; false, the record unchanged, for a degenerate triangle.
    bool SetVertex(long i, const WqVector3D* const vertices);
    bool SetNormal(long i, const WqVector3D& normal);
    void SetColor(float r, float g, float b, float a);
    static bool CalcNormal(const double* const p, const double* const q, const double* const r,
                           double* const normal);

    float Color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Record* Triangles = nullptr;  // owned
    int TriangleCount = 0;

private:
    void CopyRecords(const AuxTriangle& source);
    bool IsIndex(long i) const { return Triangles && i >= 0 && i < TriangleCount; }
};
