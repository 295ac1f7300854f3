#include "scene/annotation/AuxTriangle.h"

#include <climits>
#include <cmath>
#include <new>

namespace {
constexpr double kEps = 2.220446e-16;

void Put(const WqVector3D& v, double* out)
{
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}
}  // namespace

AuxTriangle::AuxTriangle(unsigned int id) : KytAuxContents(id) {}

AuxTriangle::AuxTriangle(const AuxTriangle* source) : KytAuxContents(source)
{
    if (source) {
        for (int i = 0; i < 4; ++i)
            Color[i] = source->Color[i];
        CopyRecords(*source);
    }
}

AuxTriangle::AuxTriangle(const AuxTriangle& other) : KytAuxContents(other)
{
    for (int i = 0; i < 4; ++i)
        Color[i] = other.Color[i];
    CopyRecords(other);
}

AuxTriangle& AuxTriangle::operator=(const AuxTriangle& other)
{
    if (this != &other) {
        KytAuxContents::operator=(other);
        for (int i = 0; i < 4; ++i)
            Color[i] = other.Color[i];
        CopyRecords(other);
    }
    return *this;
}

AuxTriangle::~AuxTriangle()
{
    delete[] Triangles;
}

void AuxTriangle::CopyRecords(const AuxTriangle& source)
{
    delete[] Triangles;
    Triangles = nullptr;
    TriangleCount = 0;
    if (!source.Triangles || source.TriangleCount <= 0)
        return;
    Triangles = new (std::nothrow) Record[source.TriangleCount];
    if (!Triangles)
        return;
    for (int i = 0; i < source.TriangleCount; ++i)
        Triangles[i] = source.Triangles[i];
    TriangleCount = source.TriangleCount;
}

bool AuxTriangle::CreateData(long count)
{
    delete[] Triangles;
    Triangles = nullptr;
    TriangleCount = 0;
    if (count <= 0 || count > INT_MAX)
        return false;
    Triangles = new (std::nothrow) Record[count]();
    if (!Triangles)
        return false;
    TriangleCount = static_cast<int>(count);
    return true;
}

bool AuxTriangle::SetVertex(long i, const WqVector3D* const vertices, const WqVector3D& normal)
{
    if (!IsIndex(i) || !vertices)
        return false;
    Record& r = Triangles[i];
    for (int k = 0; k < 3; ++k)
        Put(vertices[k], r.Vertex[k]);
    Put(normal, r.Normal);
    r.Valid = true;
    return true;
}

bool AuxTriangle::SetVertex(long i, const WqVector3D* const vertices)
{
    if (!IsIndex(i) || !vertices)
        return false;
    double p[3][3];
    for (int k = 0; k < 3; ++k)
        Put(vertices[k], p[k]);
    double n[3];
    if (!CalcNormal(p[0], p[1], p[2], n))
        return false;
    return SetVertex(i, vertices, WqVector3D(n[0], n[1], n[2]));
}

bool AuxTriangle::SetNormal(long i, const WqVector3D& normal)
{
    if (!IsIndex(i))
        return false;
    Put(normal, Triangles[i].Normal);
    return true;
}

void AuxTriangle::SetColor(float r, float g, float b, float a)
{
    Color[0] = r;
    Color[1] = g;
    Color[2] = b;
    Color[3] = a;
}

bool AuxTriangle::CalcNormal(const double* const p, const double* const q, const double* const r,
                             double* const normal)
{
    const WqVector3D e1(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
    const WqVector3D e2(r[0] - q[0], r[1] - q[1], r[2] - q[2]);
    const double l1 = std::sqrt(e1.Length2()), l2 = std::sqrt(e2.Length2());
    if (l1 <= kEps || l2 <= kEps)
        return false;
    if (std::fabs(1.0 - e1.Dot(e2) / (l1 * l2)) <= kEps)
        return false;
    const WqVector3D n = e2.Cross(e1);
    const double n2 = n.Length2();
    if (n2 <= kEps)
        return false;
    const double len = std::sqrt(n2);
    normal[0] = n.x / len;
    normal[1] = n.y / len;
    normal[2] = n.z / len;
    return true;
}

KytAuxContents* AuxTriangle::Duplicate()
{
    return new (std::nothrow) AuxTriangle(this);
}

void AuxTriangle::Draw()
{
    if (!IsDraw())
        return;
    // Blending is set up for opaque colours too, so its state is saved for them as well.
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_COLOR_BUFFER_BIT |
                 GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, Color);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < TriangleCount; ++i) {
        const Record& r = Triangles[i];
        if (!r.Valid)
            continue;
        glNormal3dv(r.Normal);
        for (int k = 0; k < 3; ++k)
            glVertex3dv(r.Vertex[k]);
    }
    glEnd();
    glDepthMask(GL_TRUE);
    glPopAttrib();
}
