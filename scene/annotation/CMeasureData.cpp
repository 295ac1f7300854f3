#include "scene/annotation/CMeasureData.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytShape.h"
#include "platform/kernel/TOKEN.h"
#include "scene/annotation/KytEdge.h"
#include "scene/annotation/KytRidgeLine.h"

namespace {
constexpr double kTiny = 2.220446e-16;
constexpr double kEps = 1.1920929e-7;
constexpr double kPi = 3.14159265358979;

// Lengths of vanishing squares count as 0, so no root is taken of a rounding residue.
double GuardedLength(const WqVector3D& v)
{
    const double l2 = v.Length2();
    return l2 > kTiny ? std::sqrt(l2) : 0.0;
}

WqVector3D ToVector(const float* p) { return {p[0], p[1], p[2]}; }

bool ValidIndex(int index) { return index == 0 || index == 1; }

KytShapeRep* ShapeRep(const KytLink* link)
{
    return link && link->pShape ? link->pShape->GetRep() : nullptr;
}

// A ridge line whose nearest border is known.
bool HasBorder(const KytRidgeLine* ridge)
{
    return ridge && ridge->NearStart && ridge->NearEnd;
}

// The six orders in which three given points may hold a triangle's corners.
constexpr int kOrders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

// The shortest text that reads back to exactly `v`, after one blank. to_chars ignores the
// locale, so a comma locale cannot make the text unreadable.
void AppendNumber(std::string& out, double v)
{
    char buf[64];
    buf[0] = ' ';
    const auto r = std::to_chars(buf + 1, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

template <class Int>
void AppendInt(std::string& out, Int v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void AppendVector(std::string& out, const WqVector3D& v)
{
    AppendNumber(out, v.x);
    AppendNumber(out, v.y);
    AppendNumber(out, v.z);
}

// Three values of a float triple; widening to double is exact, so the text names the float.
void SaveVertex(std::string& out, const float* v)
{
    AppendNumber(out, static_cast<double>(v[0]));
    AppendNumber(out, static_cast<double>(v[1]));
    AppendNumber(out, static_cast<double>(v[2]));
}

bool Is(const TOKEN& token, const char* word) { return token.szToken == word; }
}  // namespace

CMeasureData::CMeasureData() { Init(); }

CMeasureData::CMeasureData(const CMeasureData* source)
{
    Init();
    if (!source)
        return;
    CopyFrom(*source);
    HostWord = 0;
}

CMeasureData::CMeasureData(const CMeasureData& other)
{
    Init();
    CopyFrom(other);
}

CMeasureData& CMeasureData::operator=(const CMeasureData& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

CMeasureData::~CMeasureData()
{
    delete Ridge[0];
    delete Ridge[1];
}

void CMeasureData::CopyFrom(const CMeasureData& o)
{
    HostWord = o.HostWord;
    MeasureType = o.MeasureType;
    LabelShown = o.LabelShown;
    Angle = o.Angle;
    SnapType = o.SnapType;
    for (int i = 0; i < 2; ++i) {
        PointType[i] = o.PointType[i];
        PointLink[i] = o.PointLink[i];
        PointTriangle[i] = o.PointTriangle[i];
        Position[i] = o.Position[i];
        Center[i] = o.Center[i];
        Radius[i] = o.Radius[i];
        Normal[i] = o.Normal[i];
        SavedPosition[i] = o.SavedPosition[i];
        SavedNormal[i] = o.SavedNormal[i];
        KytRidgeLine* copy = o.Ridge[i] ? new KytRidgeLine(o.Ridge[i]) : nullptr;
        delete Ridge[i];
        Ridge[i] = copy;
    }
}

void CMeasureData::Init()
{
    HostWord = 0;
    MeasureType = 0;
    LabelShown = false;
    Angle = 0.0;
    SnapType = 0;
    for (int i = 0; i < 2; ++i) {
        PointLink[i] = nullptr;
        PointTriangle[i] = nullptr;
        PointType[i] = 8;
        Position[i] = WqVector3D();
        Normal[i] = WqVector3D();
        Radius[i] = 0.0;
        SavedPosition[i] = WqVector3D();
        SavedNormal[i] = WqVector3D();
        delete Ridge[i];
        Ridge[i] = nullptr;
    }
}

void CMeasureData::SetPointData(int i, KytLink* link, KytTriangle* triangle,
                                const WqVector3D& position, const WqVector3D& normal)
{
    if (!ValidIndex(i))
        return;
    PointLink[i] = link;
    PointTriangle[i] = triangle;
    Position[i] = SavedPosition[i] = position;
    Normal[i] = SavedNormal[i] = normal;
    KytRidgeLine* ridge = Ridge[i];
    switch (PointType[i]) {
    case 1:
        Normal[i].Normarize();
        break;
    case 3:
        // Without a ridge line and its border the picked position stands.
        if (HasBorder(ridge)) {
            const WqVector3D a = ToVector(ridge->NearStart), b = ToVector(ridge->NearEnd);
            const WqVector3D p = ridge->NearPoint;
            ridge->NearPoint = GuardedLength(p - a) <= GuardedLength(b - p) ? a : b;
            Normal[i] = WqVector3D();
        }
        break;
    case 4:
        if (SnapType == 1 && ridge) {
            std::swap(ridge->NearPoint, Position[i]);
        } else if (SnapType == 2 && HasBorder(ridge)) {
            ridge->NearPoint = Position[i];
            const WqVector3D a = ToVector(ridge->NearStart), b = ToVector(ridge->NearEnd);
            const WqVector3D& p = ridge->NearPoint;
            Position[i] = GuardedLength(b - p) < GuardedLength(p - a) ? b : a;
        }
        break;
    default:
        break;
    }
}

bool CMeasureData::SetCircleData(int i, KytLink* link, KytTriangle* triangle,
                                 const WqVector3D& position, WqVector3D& normal)
{
    if (!ValidIndex(i))
        return false;
    KytEdge edge(link, triangle, position);
    WqVector3D centre, point;
    double radius = 0.0;
    if (!edge.CalcCircle(centre, radius, point))
        return false;
    edge.GetNormal(normal);
    PointLink[i] = link;
    Radius[i] = radius;
    Center[i] = centre;
    Position[i] = point;
    Normal[i] = SavedNormal[i] = normal;
    SavedPosition[i] = position;
    PointTriangle[i] = triangle;
    return true;
}

bool CMeasureData::HasPoints() const
{
    if (!PointLink[0] || !PointLink[1])
        return false;
    const auto needsRidge = [](int type) { return type == 1 || type == 3; };
    if ((needsRidge(PointType[0]) && !Ridge[0]) || (needsRidge(PointType[1]) && !Ridge[1]))
        return false;
    return MeasureType == 2 || PointType[0] != 1 || Ridge[0]->NearStart;
}

bool CMeasureData::GetPoints(WqVector3D& first, WqVector3D& second, WqVector3D& foot)
{
    KytLink* l0 = PointLink[0];
    KytLink* l1 = PointLink[1];
    if (!l0 || !l1)
        return false;
    // Elements on ridge lines need them; after a load there are none.
    const auto needsRidge = [](int type) { return type == 1 || type == 3; };
    if ((needsRidge(PointType[0]) && !Ridge[0]) || (needsRidge(PointType[1]) && !Ridge[1]))
        return false;

    WqVector3D n;
    switch (PointType[0]) {
    case 1:
        n = l0->mech.mRot.Multi(Normal[0]);
        first = Ridge[0]->NearPoint;
        break;
    case 3:
        first = Ridge[0]->NearPoint;
        break;
    case 4:
        first = Position[0];
        n = l0->mech.mRot.Multi(Normal[0]);
        break;
    case 5:
    case 6:
        first = Center[0];
        n = l0->mech.mRot.Multi(Normal[0]);
        break;
    default:
        break;
    }
    first = l0->mech.GetAbsPos(first);

    switch (PointType[1]) {
    case 1:
    case 3:
        second = Ridge[1]->NearPoint;
        break;
    case 4:
        second = Position[1];
        break;
    case 5:
    case 6:
        second = Center[1];
        break;
    default:
        break;
    }
    second = l1->mech.GetAbsPos(second);

    if (MeasureType == 2) {
        if (PointType[0] == 4)
            return CalcCrossPlaneAngle(first, second, foot, n);
        if (PointType[0] == 1)
            return CalcCrossLineAngle(first, second, foot, n);
        return false;
    }
    if (PointType[0] == 1) {
        if (!Ridge[0]->NearStart)
            return false;
        const WqVector3D e = l0->mech.GetAbsPos(ToVector(Ridge[0]->NearStart));
        WqVector3D u = first - e;
        u.Normarize();
        foot = e + u * u.Dot(second - e);
        return true;
    }
    const double h = n.Dot(first) - n.Dot(second);
    if (std::fabs(h) > kEps) {
        foot = second + n * h;
        return true;
    }
    foot = second;
    return false;
}

bool CMeasureData::CalcCrossPlaneAngle(WqVector3D& first, WqVector3D& second, WqVector3D& mid,
                                       WqVector3D& nf)
{
    const WqVector3D ns = PointLink[1]->mech.mRot.Multi(Normal[1]);
    const double lengths = GuardedLength(ns) * GuardedLength(nf);
    // A face without a normal has no angle to another.
    if (!(lengths > 0.0)) {
        Angle = 0.0;
        return false;
    }
    const double k = std::clamp(ns.Dot(nf) / lengths, -1.0, 1.0);
    if (std::fabs(std::fabs(k) - 1.0) < kEps) {
        Angle = 0.0;
        const double d = nf.Dot(first) - nf.Dot(second);
        second += nf * d;
        mid = first + (second - first) * 0.5;
        Center[0] = mid;
        return false;
    }
    Angle = kPi - std::acos(k);
    if (std::fabs(k) > kTiny) {
        const double t = ns.Dot(second - first) / k;
        const WqVector3D i = first + nf * t;
        const WqVector3D o = i - first;
        WqVector3D p = o.Cross(ns.Cross(nf));
        p.Normarize();
        const double s = std::sin(Angle);
        const double ol = GuardedLength(o);
        Radius[0] = std::fabs(s) < kTiny ? ol : ol * k / s;
        Center[0] = first + p * Radius[0];
        WqVector3D leg = i - Center[0];
        if (p.Dot(leg) < 0.0)
            leg = -leg;
        // Radius[0] is negative for normals more than 90 degrees apart; the leg keeps its
        // direction and takes the length alone.
        const double ll = GuardedLength(leg);
        if (ll > 0.0)
            leg *= std::fabs(Radius[0]) / ll;
        second = Center[0] + leg;
    } else {
        const double n = ns.Dot(second - first);
        Center[0] = first + ns * n;
        Radius[0] = n;
        second = Center[0] - nf * n;
    }
    mid = first;
    return true;
}

bool CMeasureData::CalcCrossLineAngle(WqVector3D& first, WqVector3D& second, WqVector3D& mid,
                                      WqVector3D& n)
{
    Angle = 0.0;
    Center[0] = first;
    if (!HasBorder(Ridge[0]) || !HasBorder(Ridge[1]))
        return false;
    const KytMech& m0 = PointLink[0]->mech;
    const KytMech& m1 = PointLink[1]->mech;
    const WqVector3D a0 = m0.GetAbsPos(ToVector(Ridge[0]->NearStart));
    const WqVector3D b0 = m0.GetAbsPos(ToVector(Ridge[0]->NearEnd));
    const WqVector3D a1 = m1.GetAbsPos(ToVector(Ridge[1]->NearStart));
    const WqVector3D b1 = m1.GetAbsPos(ToVector(Ridge[1]->NearEnd));
    const WqVector3D* ends0[2] = {&a0, &b0};
    const WqVector3D* ends1[2] = {&a1, &b1};
    // Pairs in the order (A0, A1), (B0, A1), (A0, B1), (B0, B1); a later one wins only when
    // strictly closer.
    int best0 = 0, best1 = 0;
    double best = GuardedLength(a0 - a1);
    for (int pair = 1; pair < 4; ++pair) {
        const int e0 = pair & 1, e1 = pair >> 1;
        const double d = GuardedLength(*ends0[e0] - *ends1[e1]);
        if (d < best)
            best = d, best0 = e0, best1 = e1;
    }
    const WqVector3D k0 = *ends0[best0], f0 = *ends0[1 - best0];
    const WqVector3D k1 = *ends1[best1], f1 = *ends1[1 - best1];
    Center[0] = k0;
    const WqVector3D d0 = f0 - k0, d1 = f1 - k1;
    const double l0 = GuardedLength(d0), l1 = GuardedLength(d1);
    if (l0 < kEps || l1 < kEps)
        return false;
    Angle = std::acos(std::clamp(d0.Dot(d1) / (l1 * l0), -1.0, 1.0));
    Radius[0] = GuardedLength(first - k0);
    second = k0 + d1 * (Radius[0] / l1);
    n = d0.Cross(d1);
    n.Normarize();
    mid = first;
    Normal[0] = k1;
    Normal[1] = f1;
    Radius[1] = l1;
    Center[1] = k0 + d1;
    return true;
}

void CMeasureData::Scale(double factor)
{
    Position[0] *= factor;
    Position[1] *= factor;
}

bool CMeasureData::IsVEqual(const WqVector3D& a, const WqVector3D& b)
{
    return GuardedLength(a - b) <= kEps;
}

namespace {
// The first triangle of `rep` whose corners equal p, q and r in one of the six orders.
KytTriangle* FindTriangle(KytShapeRep* rep, const WqVector3D& p, const WqVector3D& q,
                          const WqVector3D& r, bool (*equal)(const WqVector3D&, const WqVector3D&))
{
    const WqVector3D given[3] = {p, q, r};
    for (unsigned t = 0, n = rep->GetTriangleCount(); t < n; ++t) {
        KytTriangle* tri = &rep->GetTriangles()[t];
        if (!tri->pVertex[0] || !tri->pVertex[1] || !tri->pVertex[2])
            continue;
        const WqVector3D corner[3] = {ToVector(tri->pVertex[0]->fv()),
                                      ToVector(tri->pVertex[1]->fv()),
                                      ToVector(tri->pVertex[2]->fv())};
        for (const auto& order : kOrders)
            if (equal(given[0], corner[order[0]]) && equal(given[1], corner[order[1]]) &&
                equal(given[2], corner[order[2]]))
                return tri;
    }
    return nullptr;
}
}  // namespace

int CMeasureData::SetTriangle(int index, const WqVector3D& p, const WqVector3D& q,
                              const WqVector3D& r)
{
    KytLink* link = PointLink[index];
    KytShapeRep* rep = ShapeRep(link);
    if (!rep)
        return -1;
    link->UnitTransOne();
    KytTriangle* tri = FindTriangle(rep, p, q, r, IsVEqual);
    if (!tri)
        return -1;
    PointTriangle[index] = tri;
    return 0;
}

KytTriangle* CMeasureData::SearchSameTri(int index, KytLink* link) const
{
    if (!ValidIndex(index) || !link)
        return nullptr;
    const KytTriangle* own = PointTriangle[index];
    if (!own || !own->pVertex[0] || !own->pVertex[1] || !own->pVertex[2])
        return nullptr;
    KytShapeRep* rep = ShapeRep(link);
    if (!rep)
        return nullptr;
    return FindTriangle(rep, ToVector(own->pVertex[0]->fv()), ToVector(own->pVertex[1]->fv()),
                        ToVector(own->pVertex[2]->fv()), IsVEqual);
}

void CMeasureData::SaveTri(std::string& out, int index) const
{
    const KytTriangle* tri = PointTriangle[index];
    out += "    Faceset {\n";
    static const char* const kNames[3] = {"     Vertex0", "     Vertex1", "     Vertex2"};
    for (int k = 0; k < 3; ++k) {
        if (!tri->pVertex[k])
            continue;
        out += kNames[k];
        SaveVertex(out, tri->pVertex[k]->fv());
        out += '\n';
    }
    out += "    }\n";
}

void CMeasureData::Save(std::ostream& os) const
{
    std::string out;
    out.reserve(512);
    out += "  MeasureData {\n   Type ";
    AppendInt(out, MeasureType >= 0 && MeasureType <= 4 ? MeasureType : 0);
    out += "\n   Snap ";
    AppendInt(out, SnapType);
    out += '\n';
    for (int i = 0; i < 2; ++i) {
        const KytLink* link = PointLink[i];
        if (!link)
            continue;
        out += i == 0 ? "   PointData0 {\n    ID " : "   PointData1 {\n    ID ";
        AppendInt(out, link->uID);
        out += "\n    Type ";
        AppendInt(out, PointType[i] >= 0 && PointType[i] <= 7 ? PointType[i] : 4);
        out += "\n    Position";
        AppendVector(out, SavedPosition[i]);
        out += "\n    Normal";
        AppendVector(out, SavedNormal[i]);
        out += '\n';
        if (PointTriangle[i])
            SaveTri(out, i);
        out += "   }\n";
    }
    out += "  }\n";
    os.write(out.data(), static_cast<std::streamsize>(out.size()));
}

int CMeasureData::LoadTri(TOKEN& token, int i)
{
    if (!PointLink[i])
        return -1;
    WqVector3D v[3];
    while (token.GetToken() >= 0) {
        if (Is(token, "}"))
            return SetTriangle(i, v[0], v[1], v[2]);
        for (int k = 0; k < 3; ++k) {
            static const char* const kNames[3] = {"Vertex0", "Vertex1", "Vertex2"};
            if (Is(token, kNames[k])) {
                if (token.GetCVector(v[k]))
                    return -1;
                break;
            }
        }
    }
    // The input ended inside the face: the block is cut short.
    return -1;
}

int CMeasureData::LoadPoint(TOKEN& token, int i)
{
    while (token.GetToken() >= 0) {
        if (Is(token, "}"))
            return 0;
        if (Is(token, "ID")) {
            unsigned id = 0;
            if (token.GetUINT(id))
                return -1;
            PointLink[i] = KYT_GetLoadedLink(id);
            if (!PointLink[i])
                return -1;
        } else if (Is(token, "Type")) {
            int type = 0;
            if (token.GetINT(type))
                return -1;
            if (type >= 0 && type <= 7)
                PointType[i] = type;
        } else if (Is(token, "Position")) {
            if (token.GetCVector(SavedPosition[i]))
                return -1;
        } else if (Is(token, "Normal")) {
            if (token.GetCVector(SavedNormal[i]))
                return -1;
        } else if (Is(token, "Faceset")) {
            if (token.GetToken() < 0 || !Is(token, "{") || LoadTri(token, i))
                return -1;
        }
    }
    return -1;
}

int CMeasureData::Load(TOKEN& token)
{
    // Read into a scratch object holding what the block may change, and commit only a whole
    // block: a failed load leaves this object as it was.
    CMeasureData work;
    work.MeasureType = MeasureType;
    work.SnapType = SnapType;
    for (int i = 0; i < 2; ++i) {
        work.PointType[i] = PointType[i];
        work.PointLink[i] = PointLink[i];
        work.PointTriangle[i] = PointTriangle[i];
        work.SavedPosition[i] = SavedPosition[i];
        work.SavedNormal[i] = SavedNormal[i];
    }
    if (work.LoadBlock(token)) {
        std::fprintf(stderr, "MeasureData block refused at \"%.32s\"%s\n", token.szToken.c_str(),
                     token.szToken.empty() ? " (end of input)" : "");
        return -1;
    }
    MeasureType = work.MeasureType;
    SnapType = work.SnapType;
    for (int i = 0; i < 2; ++i) {
        PointType[i] = work.PointType[i];
        PointLink[i] = work.PointLink[i];
        PointTriangle[i] = work.PointTriangle[i];
        SavedPosition[i] = work.SavedPosition[i];
        SavedNormal[i] = work.SavedNormal[i];
    }
    return 0;
}

int CMeasureData::LoadBlock(TOKEN& token)
{
    while (token.GetToken() >= 0) {
        if (Is(token, "}")) {
            return 0;
        } else if (Is(token, "Type")) {
            int type = 0;
            if (token.GetINT(type))
                return -1;
            if (type >= 0 && type <= 4)
                MeasureType = type;
        } else if (Is(token, "Snap")) {
            if (token.GetINT(SnapType))
                return -1;
        } else if (Is(token, "PointData0") || Is(token, "PointData1")) {
            const int i = token.szToken.back() - '0';
            if (token.GetToken() < 0 || !Is(token, "{") || LoadPoint(token, i))
                return -1;
        }
    }
    // A block the input cuts short is not a measurement.
    return -1;
}
