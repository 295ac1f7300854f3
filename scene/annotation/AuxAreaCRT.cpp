#include "scene/annotation/AuxAreaCRT.h"

#include <cmath>
#include <cstring>
#include <new>

#include "platform/kernel/KytLink.h"
#include "scene/view/KytOgl.h"

namespace {

constexpr float kEps = 1.1920929e-7f;
constexpr float kTiny = 1.1754944e-38f;
constexpr double kPi = 3.14159265358979323846;

struct V3 {
    float x = 0, y = 0, z = 0;
    V3() = default;
    V3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
    explicit V3(const float* p) : x(p[0]), y(p[1]), z(p[2]) {}
    V3 operator+(const V3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    V3 operator-(const V3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    V3 operator*(float s) const { return {x * s, y * s, z * s}; }
    float Dot(const V3& o) const { return x * o.x + y * o.y + z * o.z; }
    V3 Cross(const V3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    float Len2() const { return Dot(*this); }
    void Store(float* p) const
    {
        p[0] = x;
        p[1] = y;
        p[2] = z;
    }
};

// `v` turned by `angle` radians about the unit axis `k`.
V3 Rotate(const V3& v, const V3& k, double angle)
{
    const float c = static_cast<float>(std::cos(angle)), s = static_cast<float>(std::sin(angle));
    return v * c + k.Cross(v) * s + k * (k.Dot(v) * (1.0f - c));
}

// Unit vector unless it is too short, then unchanged.
V3 UnitOrSame(const V3& v)
{
    const float l2 = v.Len2();
    if (l2 <= kEps)
        return v;
    const float l = std::sqrt(l2);
    return l <= kEps ? v : v * (1.0f / l);
}

const float kNearFront[4] = {1.0f, 0.0f, 0.0f, 0.7f};
const float kNearBack[4] = {1.0f, 1.0f, 1.0f, 0.7f};
const float kFarFront[4] = {0.7f, 0.7f, 0.0f, 0.2f};
const float kFarBack[4] = {0.3f, 0.3f, 0.3f, 0.2f};

void Near()
{
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kNearFront);
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, kNearBack);
}

void Far()
{
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kFarFront);
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, kFarBack);
}

}  // namespace

AuxAreaCRT::AuxAreaCRT(unsigned int id, KytLink* target) : AuxTarget(id, target) {}

AuxAreaCRT::AuxAreaCRT(const AuxAreaCRT* source) : AuxTarget(source)
{
    if (!source)
        return;
    fDepth = source->fDepth;
    fRightLeftAngle = source->fRightLeftAngle;
    fUpDownAngle = source->fUpDownAngle;
    std::memcpy(afCorner, source->afCorner, sizeof afCorner);
    bReverse = source->bReverse;
    nDrawMode = source->nDrawMode;
    std::memcpy(afVertex, source->afVertex, sizeof afVertex);
    std::memcpy(afNormal, source->afNormal, sizeof afNormal);
}

AuxAreaCRT::~AuxAreaCRT() = default;

KytAuxContents* AuxAreaCRT::Duplicate()
{
    return new (std::nothrow) AuxAreaCRT(this);
}

void AuxAreaCRT::Create(KytScene*)
{
    MakeDisp();
}

void AuxAreaCRT::MakeDisp()
{
    if (nDrawMode != 0)
        MakeDisp2();
    else
        MakeDisp1();
}

void AuxAreaCRT::ChangeAngle(float rightLeft, float upDown)
{
    fRightLeftAngle = rightLeft;
    fUpDownAngle = upDown;
    MakeDisp();
}

void AuxAreaCRT::ChangeDepth(float depth)
{
    fDepth = depth;
    MakeDisp();
}

void AuxAreaCRT::ChangeAngleDepth(float rightLeft, float upDown, float depth)
{
    fRightLeftAngle = rightLeft;
    fUpDownAngle = upDown;
    fDepth = depth;
    MakeDisp();
}

void AuxAreaCRT::Reverse()
{
    bReverse = !bReverse;
    MakeDisp();
}

void AuxAreaCRT::ReverseWidthHeight()
{
    float t[3];
    std::memcpy(t, afCorner[1], sizeof t);
    std::memcpy(afCorner[1], afCorner[3], sizeof t);
    std::memcpy(afCorner[3], t, sizeof t);
    bReverse = !bReverse;
    MakeDisp();
}

void AuxAreaCRT::SetPoints(const float p1[3], const float p2[3], bool xWidth)
{
    if (!p1 || !p2)
        return;
    int k = 0;
    if (!xWidth) {
        const float dx = std::fabs(p1[0] - p2[0]), dy = std::fabs(p1[1] - p2[1]),
                    dz = std::fabs(p1[2] - p2[2]);
        if (dy <= dx && dz <= dx)
            k = 0;
        else if (dy >= dx && dz <= dy)
            k = 1;
        else
            k = 2;
    }
    for (int i = 0; i < 3; ++i) {
        afCorner[0][i] = p1[i];
        afCorner[2][i] = p2[i];
        afCorner[3][i] = i == k ? p2[i] : p1[i];
        afCorner[1][i] = i == k ? p1[i] : p2[i];
    }
}

bool AuxAreaCRT::Set(float diagonal, float ratioW, float ratioH, float cx, float cy, float cz)
{
    const V3 p0(afCorner[0]);
    const V3 du = V3(afCorner[3]) - p0, dv = V3(afCorner[1]) - p0;
    const float lu2 = du.Len2(), lv2 = dv.Len2();
    if (lu2 < kEps || lv2 < kEps)
        return false;
    const float lu = std::sqrt(lu2), lv = std::sqrt(lv2);
    if (lu <= kTiny || lv <= kTiny || std::fabs(ratioW) <= kTiny)
        return false;
    const V3 u = du * (1.0f / lu), v = dv * (1.0f / lv);
    const V3 m0(cx, cy, cz);
    const float m = ratioH / ratioW;
    const float w = std::sqrt(diagonal * diagonal / (m * m + 1.0f));
    const V3 hw = u * (w / 2.0f), hh = v * (m * w / 2.0f);
    (m0 - hw - hh).Store(afCorner[0]);
    (m0 - hw + hh).Store(afCorner[1]);
    (m0 + hw + hh).Store(afCorner[2]);
    (m0 + hw - hh).Store(afCorner[3]);
    return true;
}

void AuxAreaCRT::GetCenter(float& x, float& y, float& z) const
{
    x = (afCorner[0][0] + afCorner[2][0]) / 2.0f;
    y = (afCorner[0][1] + afCorner[2][1]) / 2.0f;
    z = (afCorner[0][2] + afCorner[2][2]) / 2.0f;
}

void AuxAreaCRT::GetSize(float& width, float& height) const
{
    const float w2 = (V3(afCorner[3]) - V3(afCorner[0])).Len2();
    const float h2 = (V3(afCorner[1]) - V3(afCorner[0])).Len2();
    width = w2 < kEps ? 0.0f : std::sqrt(w2);
    height = h2 < kEps ? 0.0f : std::sqrt(h2);
}

bool AuxAreaCRT::MakePoints(float bottomSign)
{
    for (int i = 0; i < 4; ++i) {
        std::memcpy(afVertex[i], afCorner[i], sizeof afVertex[i]);
        std::memcpy(afVertex[i + 4], afCorner[i], sizeof afVertex[i]);
    }
    const V3 v0(afVertex[0]), v1(afVertex[1]), v2(afVertex[2]), v3(afVertex[3]);
    const V3 down = v0 - v1, across = v2 - v1;
    if (down.Len2() < kEps || across.Len2() < kEps)
        return false;
    const V3 e1 = down * (1.0f / std::sqrt(down.Len2()));
    const V3 e2 = across * (1.0f / std::sqrt(across.Len2()));
    const V3 cross = e2.Cross(e1);
    if (cross.Len2() < kEps)
        return false;
    const V3 n = cross * (1.0f / std::sqrt(cross.Len2()));
    const float s = bReverse ? -1.0f : 1.0f;
    const float depth = s * fDepth;
    const double t = fUpDownAngle - 90.0;
    const V3 d1 = Rotate(n, e2, t / (bottomSign * s * 180.0) * kPi);
    const V3 d2 = Rotate(n, e2, t / (-bottomSign * s * 180.0) * kPi);
    V3 v4 = v0 + d1 * depth, v7 = v3 + d1 * depth;
    V3 v5 = v1 + d2 * depth, v6 = v2 + d2 * depth;
    V3 w = v7 - v4;
    const float w2 = w.Len2();
    if (w2 >= kEps && std::sqrt(w2) > kEps) {
        const float len = static_cast<float>(
            std::tan((fRightLeftAngle - 90.0) * 0.017453292519943278) * fDepth);
        w = w * (len / std::sqrt(w2));
        v4 = v4 - w;
        v5 = v5 - w;
        v6 = v6 + w;
        v7 = v7 + w;
    }
    v4.Store(afVertex[4]);
    v5.Store(afVertex[5]);
    v6.Store(afVertex[6]);
    v7.Store(afVertex[7]);
    return true;
}

void AuxAreaCRT::MakeDisp1()
{
    if (!MakePoints(1.0f))
        return;
    const float s = bReverse ? -1.0f : 1.0f;
    const V3 v0(afVertex[0]), v1(afVertex[1]), v2(afVertex[2]), v3(afVertex[3]);
    const V3 v5(afVertex[5]), v7(afVertex[7]);
    (UnitOrSame((v0 - v3).Cross(v7 - v3)) * s).Store(afNormal[0]);
    (UnitOrSame((v2 - v1).Cross(v5 - v1)) * s).Store(afNormal[1]);
}

void AuxAreaCRT::MakeDisp2()
{
    if (!MakePoints(-1.0f))
        return;
    const float s = bReverse ? -1.0f : 1.0f;
    for (int i = 0; i < 4; ++i) {
        const int a = i, b = (i + 1) % 4;
        const V3 va(afVertex[a]), vb(afVertex[b]), farB(afVertex[b + 4]);
        (UnitOrSame((farB - vb).Cross(va - vb)) * s).Store(afNormal[i]);
    }
}

void AuxAreaCRT::DrawMode1() const
{
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(5.0f);
    glBegin(GL_QUADS);
    glNormal3fv(afNormal[0]);
    Near();
    glVertex3fv(afVertex[0]);
    glVertex3fv(afVertex[3]);
    Far();
    glVertex3fv(afVertex[7]);
    glVertex3fv(afVertex[4]);
    glNormal3fv(afNormal[1]);
    Near();
    glVertex3fv(afVertex[2]);
    glVertex3fv(afVertex[1]);
    Far();
    glVertex3fv(afVertex[5]);
    glVertex3fv(afVertex[6]);
    glEnd();
    static const float kLine[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kLine);
    glBegin(GL_LINES);
    for (int i : {0, 3, 2, 1}) {
        glVertex3fv(afVertex[i]);
        glVertex3fv(afVertex[i + 4]);
    }
    glEnd();
}

void AuxAreaCRT::DrawMode2() const
{
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        const int a = i, b = (i + 1) % 4;
        glNormal3fv(afNormal[i]);
        Near();
        glVertex3fv(afVertex[a]);
        glVertex3fv(afVertex[b]);
        Far();
        glVertex3fv(afVertex[b + 4]);
        glVertex3fv(afVertex[a + 4]);
    }
    glEnd();
}

void AuxAreaCRT::Draw()
{
    if (!IsDraw())
        return;
    glPushMatrix();
    if (pTargetLink)
        KytOgl::MultMatrix(pTargetLink->mech);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT |
                 GL_LINE_BIT);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glFrontFace(bReverse ? GL_CW : GL_CCW);
    glDisable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    if (nDrawMode != 0)
        DrawMode2();
    else
        DrawMode1();
    glPopAttrib();
    glPopMatrix();
}
