#include "scene/annotation/KytEdge.h"

#include <cfloat>
#include <cmath>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytShape.h"

namespace {
constexpr double kTiny = 2.220446e-16;
constexpr float kPointEps = 1.1920929e-7f;

// Lengths of vanishing squares count as 0, so no root is taken of a rounding residue.
double GuardedLength(const WqVector3D& v)
{
    const double l2 = v.Length2();
    return l2 > kTiny ? std::sqrt(l2) : 0.0;
}

WqVector3D ToVector(const float* p) { return {p[0], p[1], p[2]}; }

const KytShapeRep* ShapeRep(const KytLink* link)
{
    if (!link || !link->pShape)
        return nullptr;
    return link->pShape->GetRep();
}

const float* Vertex(const KytTriangle* t, int k) { return t->pVertex[k]->fv(); }

float Dist2f(const float* a, const float* b)
{
    const float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return dx * dx + dy * dy + dz * dz;
}

// The base of an isosceles triangle (the side unlike the two equal ones), judged on squared
// side lengths; false when no two sides agree.
bool IsoscelesBase(const KytTriangle* t, float& base)
{
    const float s1 = Dist2f(Vertex(t, 1), Vertex(t, 0));
    const float s2 = Dist2f(Vertex(t, 2), Vertex(t, 1));
    const float s3 = Dist2f(Vertex(t, 0), Vertex(t, 2));
    constexpr float tol = 1e-5f;
    if (std::fabs(s1 - s2) <= tol)
        base = s3;
    else if (std::fabs(s3 - s2) <= tol)
        base = s1;
    else if (std::fabs(s1 - s3) <= tol)
        base = s2;
    else
        return false;
    return true;
}
}  // namespace

bool KytEdge::SamePoint(const float* a, const float* b)
{
    return std::fabs(a[0] - b[0]) <= kPointEps && std::fabs(a[1] - b[1]) <= kPointEps &&
           std::fabs(a[2] - b[2]) <= kPointEps;
}

KytEdge::KytEdge()
{
    for (int s = 0; s < kSlots; ++s)
        EdgeStart[s] = EdgeEnd[s] = nullptr;
}

KytEdge::KytEdge(const KytLink* link, const KytTriangle* triangle, const WqVector3D& pick)
    : KytEdge()
{
    Link = link;
    PickTriangle = triangle;
    PickPoint = pick;
}

KytEdge::~KytEdge() { EmptyLists(); }

void KytEdge::EmptyLists()
{
    Clear();
    Neighbours.RemoveAll();
    for (int s = 0; s < kSlots; ++s) {
        PointShared[s].RemoveAll();
        Coplanar[s].RemoveAll();
        Others[s].RemoveAll();
    }
}

void KytEdge::SetData(const KytLink* link, const KytTriangle* triangle, const WqVector3D& pick)
{
    Link = link;
    PickTriangle = triangle;
    PickPoint = pick;
    // A new query starts clean: lists left by the previous one would mix two meshes.
    EmptyLists();
    for (int s = 0; s < kSlots; ++s)
        EdgeStart[s] = EdgeEnd[s] = nullptr;
}

void KytEdge::ClearLine(KytStack<KytLines>& lines)
{
    while (KytLines* l = lines.Pop()) {
        while (l) {
            KytLines* next = l->next;
            delete l;
            l = next;
        }
    }
}

void KytEdge::ClearLine()
{
    for (auto& l : Lines)
        ClearLine(l);
}

void KytEdge::ClearSeg(KytStack<KytSeg>& segs)
{
    while (KytSeg* s = segs.Pop())
        delete s;
}

void KytEdge::ClearSeg()
{
    for (auto& s : Segments)
        ClearSeg(s);
}

void KytEdge::Clear()
{
    ClearLine();
    ClearSeg();
}

bool KytEdge::CheckPointShare(const KytTriangle* triangle, const float* point) const
{
    return SamePoint(Vertex(triangle, 0), point) || SamePoint(Vertex(triangle, 1), point) ||
           SamePoint(Vertex(triangle, 2), point);
}

const KytTriangle* KytEdge::CheckLineShare(const KytStack<const KytTriangle>& list,
                                           const float* a, const float* b, long skipIndex) const
{
    long i = 0;
    for (const KytTriangle* t : list) {
        if (i++ == skipIndex)
            continue;
        if (CheckPointShare(t, a) && CheckPointShare(t, b))
            return t;
    }
    return nullptr;
}

const KytTriangle* KytEdge::CheckLineShare(const KytStack<const KytTriangle>& list,
                                           const float* a, const float* b,
                                           const KytTriangle* skip) const
{
    for (const KytTriangle* t : list) {
        if (t == skip)
            continue;
        if (CheckPointShare(t, a) && CheckPointShare(t, b))
            return t;
    }
    return nullptr;
}

void KytEdge::GetNeighborTriangleOwnLine()
{
    Neighbours.RemoveAll();
    if (const KytShapeRep* rep = ShapeRep(Link); rep && PickTriangle) {
        const float* p1 = Vertex(PickTriangle, 0);
        const float* p2 = Vertex(PickTriangle, 1);
        const float* p3 = Vertex(PickTriangle, 2);
        const KytTriangle* tris = rep->GetTriangles();
        for (unsigned i = 0, n = rep->GetTriangleCount(); i < n; ++i) {
            const KytTriangle* t = &tris[i];
            if (t == PickTriangle)
                continue;
            int count = (CheckPointShare(t, p1) ? 1 : 0) + (CheckPointShare(t, p2) ? 1 : 0);
            if (count >= 1 && CheckPointShare(t, p3))
                ++count;
            if (count >= 2)
                Neighbours.Append(t);
        }
    }
    if (PickTriangle)
        Neighbours.Push(PickTriangle);
}

bool KytEdge::GetNeighborTriangleOwnPoint(int slot, const KytTriangle* triangle)
{
    const KytShapeRep* rep = ShapeRep(Link);
    if (!rep || rep->GetTriangleCount() == 0 || !triangle || slot < 0 || slot >= kSlots)
        return false;
    const float* p[3] = {Vertex(triangle, 0), Vertex(triangle, 1), Vertex(triangle, 2)};
    double d[3];
    for (int k = 0; k < 3; ++k)
        d[k] = GuardedLength(ToVector(p[k]) - PickPoint);
    // The edge opposite the vertex farthest from the pick.
    if (d[0] < d[1] && d[1] > d[2]) {
        EdgeStart[slot] = p[0];
        EdgeEnd[slot] = p[2];
    } else if (d[0] > d[1] && d[0] > d[2]) {
        EdgeStart[slot] = p[1];
        EdgeEnd[slot] = p[2];
    } else {
        EdgeStart[slot] = p[1];
        EdgeEnd[slot] = p[0];
    }
    KytStack<const KytTriangle>& shared = PointShared[slot];
    shared.RemoveAll();
    const KytTriangle* tris = rep->GetTriangles();
    // Each triangle is met once in this walk, so appending keeps the list unique.
    for (unsigned i = 0, n = rep->GetTriangleCount(); i < n; ++i) {
        const KytTriangle* t = &tris[i];
        if (t == triangle)
            continue;
        if (CheckPointShare(t, EdgeStart[slot]) || CheckPointShare(t, EdgeEnd[slot]))
            shared.Append(t);
    }
    shared.Push(triangle, true);
    return true;
}

bool KytEdge::SwitchTriangle(KytStack<const KytTriangle>& all,
                             KytStack<const KytTriangle>& parallel,
                             KytStack<const KytTriangle>& other) const
{
    if (all.IsEmpty())
        return false;
    const KytTriangle* ref = all.GetHead();
    const WqVector3D f0 = ToVector(ref->pFaceNormal->fv());
    parallel.Push(ref);
    bool first = true;
    for (const KytTriangle* t : all) {
        if (first) {
            first = false;
            continue;
        }
        const double c = std::fabs(ToVector(t->pFaceNormal->fv()).Dot(f0));
        if (std::fabs(c - 1.0) > 1e-5)
            other.Append(t);
        else
            parallel.Append(t);
    }
    return true;
}

bool KytEdge::IsFlatPair(const KytTriangle* a, const KytTriangle* b)
{
    const KytPoint* n = a->pNormal[0];
    for (const KytTriangle* t : {a, b})
        for (int k = 0; k < 3; ++k)
            if (t->pNormal[k] != n)
                return false;
    float baseA = 0, baseB = 0;
    if (!IsoscelesBase(a, baseA) || !IsoscelesBase(b, baseB))
        return false;
    return std::fabs(baseA - baseB) <= 1e-5f;
}

void KytEdge::GetBoundingPoint(const KytStack<const KytTriangle>& face,
                               const KytStack<const KytTriangle>& others, KytStack<KytSeg>& segs)
{
    ClearSeg(segs);
    for (const KytTriangle* t : face) {
        for (int e = 0; e < 3; ++e) {
            const float* a = Vertex(t, e);
            const float* b = Vertex(t, (e + 1) % 3);
            if (CheckLineShare(face, a, b, t))
                continue;
            if (CheckLineShare(others, a, b, nullptr))
                segs.Append(new KytSeg{a, b});
        }
    }
}

KytLines* KytEdge::PickSegment(KytStack<KytSeg>& segs, const float* point)
{
    KytSeg* found = nullptr;
    const float* next = nullptr;
    for (KytSeg* s : segs) {
        if (SamePoint(s->first, point)) {
            found = s;
            next = s->second;
            break;
        }
    }
    if (!found) {
        for (KytSeg* s : segs) {
            if (SamePoint(s->second, point)) {
                found = s;
                next = s->first;
                break;
            }
        }
    }
    if (!found)
        return nullptr;
    segs.Remove(found);
    delete found;
    return new KytLines{next, nullptr};
}

void KytEdge::GetEdgeLine(KytStack<KytSeg>& segs, KytStack<KytLines>& lines)
{
    ClearLine(lines);
    while (KytSeg* seg = segs.Pop()) {
        const float* f = seg->first;
        const float* s = seg->second;
        delete seg;
        KytLines* head = new KytLines{s, nullptr};
        KytLines* tail = head;
        while (!segs.IsEmpty()) {
            KytLines* n = PickSegment(segs, tail->point);
            if (!n)
                break;
            tail->next = n;
            tail = n;
        }
        head = new KytLines{f, head};
        while (!segs.IsEmpty()) {
            KytLines* n = PickSegment(segs, head->point);
            if (!n)
                break;
            n->next = head;
            head = n;
        }
        lines.Append(head);
    }
}

bool KytEdge::SortLine(KytStack<KytLines>& lines) const
{
    if (lines.IsEmpty())
        return false;
    double best = DBL_MAX;
    KytLines* winner = nullptr;
    for (KytLines* line : lines) {
        int count = 0;
        double nearest = DBL_MAX;
        for (const KytLines* n = line; n; n = n->next) {
            ++count;
            const double d = (ToVector(n->point) - PickPoint).Length2();
            if (d < nearest)
                nearest = d;
        }
        if (count < 3)
            continue;
        if (nearest < best) {
            best = nearest;
            winner = line;
        }
    }
    if (!winner)
        return false;
    if (lines.GetHead() != winner) {
        lines.Remove(winner);
        lines.Push(winner);
    }
    return true;
}

bool KytEdge::CalcCircle(WqVector3D& centre, double& radius, WqVector3D& point)
{
    if (!PickTriangle)
        return false;
    GetNeighborTriangleOwnLine();
    const int slots = Neighbours.GetCount() < kSlots ? Neighbours.GetCount() : kSlots;
    for (int s = 0; s < slots; ++s) {
        const KytTriangle* t = Neighbours.Get(s);
        if (!GetNeighborTriangleOwnPoint(s, t))
            continue;
        KytStack<const KytTriangle>& shared = PointShared[s];
        if (shared.GetCount() <= 2)
            continue;
        Coplanar[s].RemoveAll();
        Others[s].RemoveAll();
        bool face = false;
        for (int tries = shared.GetCount(); tries > 0; --tries) {
            SwitchTriangle(shared, Coplanar[s], Others[s]);
            const int n = Coplanar[s].GetCount();
            if (n > 2 || (n == 2 && IsFlatPair(Coplanar[s].Get(0), Coplanar[s].Get(1)))) {
                face = true;
                break;
            }
            // The next triangle becomes the reference.
            const KytTriangle* first = shared.Pop();
            shared.Append(first);
            Coplanar[s].RemoveAll();
            Others[s].RemoveAll();
        }
        if (!face)
            continue;
        GetBoundingPoint(Coplanar[s], Others[s], Segments[s]);
        if (Segments[s].GetCount() <= 2)
            continue;
        GetEdgeLine(Segments[s], Lines[s]);
        if (!SortLine(Lines[s]))
            continue;
        const KytLines* l1 = Lines[s].GetHead();
        const WqVector3D a = ToVector(l1->point);
        const WqVector3D b = ToVector(l1->next->point);
        const WqVector3D c = ToVector(l1->next->next->point);
        double r = 0.0;
        WqVector3D cen;
        if (!CalcCircleParameter(a, b, c, r, cen))
            continue;
        if (r <= kPointEps || r > Link->GetRadius())
            continue;
        centre = cen;
        radius = r;
        point = a;
        return true;
    }
    return false;
}

bool KytEdge::GetNormal(WqVector3D& normal) const
{
    const KytTriangle* t = Coplanar[0].GetHead();
    if (!t)
        return false;
    normal = ToVector(t->pFaceNormal->fv());
    return true;
}

namespace {
bool CircleFit(const WqVector3D& a, const WqVector3D& b, const WqVector3D& c, double& radius,
               WqVector3D& centre)
{
    const double la = GuardedLength(c - b), lb = GuardedLength(a - c), lc = GuardedLength(b - a);
    const double la2 = la * la, lb2 = lb * lb, lc2 = lc * lc;
    const double wa = la2 * (lb2 + lc2 - la2);
    const double wb = lb2 * (lc2 + la2 - lb2);
    const double wc = lc2 * (la2 + lb2 - lc2);
    const WqVector3D sum = c * wc + b * wb + a * wa;
    const double cross = GuardedLength((c - b).Cross(a - b));
    const double d = 4.0 * cross * cross;
    if (d <= kTiny)
        return false;
    centre = sum * (1.0 / d);
    radius = GuardedLength(a - centre);
    return true;
}
}  // namespace

bool CalcCircleParameter(const WqVector3D& p1, const WqVector3D& p2, const WqVector3D& p3,
                         double& radius, WqVector3D& centre)
{
    const WqVector3D* orders[6][3] = {{&p1, &p2, &p3}, {&p3, &p1, &p2}, {&p2, &p3, &p1},
                                      {&p1, &p3, &p2}, {&p2, &p1, &p3}, {&p3, &p2, &p1}};
    for (const auto& o : orders)
        if (CircleFit(*o[0], *o[1], *o[2], radius, centre))
            return true;
    return false;
}

void MakeAxisRotMatrix(double angle, const WqVector3D& axis, WqMatrix33D& out)
{
    const double co = std::cos(angle), si = std::sin(angle);
    const double u[3] = {axis.x, axis.y, axis.z};
    const double k[3][3] = {{0, -axis.z, axis.y}, {axis.z, 0, -axis.x}, {-axis.y, axis.x, 0}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double uu = u[i] * u[j];
            out.m[i][j] = uu + co * ((i == j ? 1.0 : 0.0) - uu) + si * k[i][j];
        }
}
