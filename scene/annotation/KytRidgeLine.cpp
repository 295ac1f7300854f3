#include "scene/annotation/KytRidgeLine.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytShape.h"

namespace {
constexpr double kTiny = 2.220446e-16;
constexpr double kPointEps = 1.1920929e-7;

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

const float* Corner(const KytTriangle* t, int k) { return t->pVertex[k]->fv(); }
}  // namespace

KytRidgeLine::KytRidgeLine(KytLink* link, const KytTriangle* triangle, const WqVector3D& pick)
    : Link(link), PickTriangle(triangle), PickPoint(pick)
{
}

KytRidgeLine::KytRidgeLine(const KytRidgeLine* source) { Copy(source); }

KytRidgeLine::~KytRidgeLine()
{
    Clear();
    FreeChains(LooseBorders);
}

void KytRidgeLine::FreeChains(KytStack<CElemBorder>& chains)
{
    while (CElemBorder* b = chains.Pop()) {
        while (b) {
            CElemBorder* next = b->pNext;
            delete b;
            b = next;
        }
    }
}

void KytRidgeLine::Clear()
{
    FreeChains(BorderChains);
    RidgePoints.RemoveAll();
    SparePoints.RemoveAll();
}

void KytRidgeLine::Copy(const KytRidgeLine* source)
{
    if (!source || source == this)
        return;
    NearPoint = source->NearPoint;
    NearStart = source->NearStart;
    NearEnd = source->NearEnd;
    Link = source->Link;
    PickTriangle = source->PickTriangle;
    PickPoint = source->PickPoint;
    std::copy(std::begin(source->PlaneNormal), std::end(source->PlaneNormal), PlaneNormal);
    PlaneOffset = source->PlaneOffset;
    const CElemBorder* from = source->BorderChains.GetHead();
    if (!from)
        return;
    CElemBorder* head = nullptr;
    CElemBorder* tail = nullptr;
    for (; from; from = from->pNext) {
        auto* b = new CElemBorder(from->pStart, from->pEnd);
        (tail ? tail->pNext : head) = b;
        tail = b;
    }
    BorderChains.Push(head);
}

void KytRidgeLine::Get(const KytLink* link)
{
    RidgePoints.RemoveAll();
    SparePoints.RemoveAll();
    const KytShapeRep* rep = ShapeRep(link);
    if (!rep)
        return;
    // One walk over the triangles with a state per vertex; the state follows, for each vertex,
    // the triangles that use it in array order, so the verdicts are those of a scan per vertex.
    const unsigned nv = rep->GetVertexCount();
    const KytPoint* base = rep->aVertex.data();
    std::vector<const KytPoint*> reference(nv, nullptr);
    std::vector<unsigned char> state(nv, 0);  // 1 smooth, 2 crease
    const KytTriangle* tris = rep->GetTriangles();
    for (unsigned i = 0, nt = rep->GetTriangleCount(); i < nt; ++i) {
        const KytTriangle& t = tris[i];
        for (int k = 0; k < 3; ++k) {
            const KytPoint* v = t.pVertex[k];
            if (!v || v < base || v >= base + nv)
                continue;
            if ((k > 0 && t.pVertex[0] == v) || (k > 1 && t.pVertex[1] == v))
                continue;  // a triangle counts once for a vertex, through its first corner
            const size_t idx = static_cast<size_t>(v - base);
            const KytPoint* n = t.pNormal[k];
            if (state[idx] == 2 || !n)
                continue;
            if (!reference[idx])
                reference[idx] = n;
            else if (n != reference[idx])
                state[idx] = 2;
            else
                state[idx] = 1;
        }
    }
    for (unsigned i = 0; i < nv; ++i)
        if (state[i] != 1)
            RidgePoints.Push(base[i].fv());
}

void KytRidgeLine::MakeBorder(const float* start, const float* end)
{
    LooseBorders.Push(new CElemBorder(start, end));
}

bool KytRidgeLine::CheckShareLine(CElemTriangle& record, int edge, CElemTriangle& other,
                                  const float* a, const float* b) const
{
    for (int f = 0; f < 3; ++f) {
        if (other.abShared[f])
            continue;
        const float* c = Corner(other.pTriangle, f);
        const float* d = Corner(other.pTriangle, (f + 1) % 3);
        if ((c == a && d == b) || (c == b && d == a)) {
            other.abShared[f] = true;
            record.abShared[edge] = true;
            return true;
        }
    }
    return false;
}

bool KytRidgeLine::CalcBorder()
{
    Clear();
    const KytShapeRep* rep = ShapeRep(Link);
    if (!rep || rep->GetTriangleCount() == 0 || !PickTriangle)
        return false;
    const float* fn = PickTriangle->pFaceNormal->fv();
    std::copy(fn, fn + 3, PlaneNormal);
    auto offsetOf = [](const KytTriangle* t, const float* n) {
        float c[3];
        for (int i = 0; i < 3; ++i)
            c[i] = (Corner(t, 0)[i] + Corner(t, 1)[i] + Corner(t, 2)[i]) * 0.33333334f;
        return n[0] * c[0] + n[1] * c[1] + n[2] * c[2];
    };
    PlaneOffset = offsetOf(PickTriangle, PlaneNormal);

    std::vector<CElemTriangle> records;
    records.reserve(rep->GetTriangleCount());
    records.push_back({PickTriangle, {false, false, false}});
    const KytTriangle* tris = rep->GetTriangles();
    for (unsigned i = 0, n = rep->GetTriangleCount(); i < n; ++i) {
        const KytTriangle* t = &tris[i];
        if (t == PickTriangle)
            continue;
        const float* f = t->pFaceNormal->fv();
        const float cosine = PlaneNormal[0] * f[0] + PlaneNormal[1] * f[1] + PlaneNormal[2] * f[2];
        if (std::fabs(cosine) < 0.9998476951563913)
            continue;
        if (std::fabs(offsetOf(t, f) - PlaneOffset) < 0.1f)
            records.push_back({t, {false, false, false}});
    }

    // Edges hashed by their two point pointers: each edge pairs with the first edge of a later
    // record that is still unshared, which is what a look through the later records finds.
    struct Occurrence {
        uintptr_t lo, hi;
        uint32_t record;
        uint32_t edge;
    };
    std::vector<Occurrence> occ;
    occ.reserve(records.size() * 3);
    for (uint32_t r = 0; r < records.size(); ++r)
        for (uint32_t e = 0; e < 3; ++e) {
            auto a = reinterpret_cast<uintptr_t>(Corner(records[r].pTriangle, int(e)));
            auto b = reinterpret_cast<uintptr_t>(Corner(records[r].pTriangle, int(e + 1) % 3));
            occ.push_back({std::min(a, b), std::max(a, b), r, e});
        }
    std::sort(occ.begin(), occ.end(), [](const Occurrence& x, const Occurrence& y) {
        if (x.lo != y.lo)
            return x.lo < y.lo;
        if (x.hi != y.hi)
            return x.hi < y.hi;
        if (x.record != y.record)
            return x.record < y.record;
        return x.edge < y.edge;
    });
    for (size_t g = 0; g < occ.size();) {
        size_t end = g + 1;
        while (end < occ.size() && occ[end].lo == occ[g].lo && occ[end].hi == occ[g].hi)
            ++end;
        for (size_t i = g; i < end; ++i) {
            bool* mine = &records[occ[i].record].abShared[occ[i].edge];
            if (*mine)
                continue;
            for (size_t j = i + 1; j < end; ++j) {
                if (occ[j].record == occ[i].record)
                    continue;
                bool* theirs = &records[occ[j].record].abShared[occ[j].edge];
                if (*theirs)
                    continue;
                *mine = *theirs = true;
                break;
            }
        }
        g = end;
    }
    for (const CElemTriangle& r : records)
        for (int e = 0; e < 3; ++e)
            if (!r.abShared[e])
                MakeBorder(Corner(r.pTriangle, e), Corner(r.pTriangle, (e + 1) % 3));
    ConnectBorder();
    return true;
}

CElemBorder* KytRidgeLine::PickNextPoint(const float* point)
{
    for (CElemBorder* b : LooseBorders)
        if (b->pStart == point) {
            LooseBorders.Remove(b);
            return b;
        }
    return nullptr;
}

CElemBorder* KytRidgeLine::PickBeforePoint(const float* point)
{
    for (CElemBorder* b : LooseBorders)
        if (b->pEnd == point) {
            LooseBorders.Remove(b);
            return b;
        }
    return nullptr;
}

void KytRidgeLine::ConnectBorder()
{
    // The loose list in its order; each border is found again through its start or its end
    // point, where a cursor per point skips the borders already taken, so the first loose
    // border with a given end is found without walking the list.
    std::vector<CElemBorder*> loose;
    loose.reserve(static_cast<size_t>(LooseBorders.GetCount()));
    for (CElemBorder* b : LooseBorders)
        loose.push_back(b);
    LooseBorders.RemoveAll();
    struct Bucket {
        std::vector<uint32_t> items;
        size_t cursor = 0;
    };
    std::unordered_map<const float*, Bucket> byStart, byEnd;
    byStart.reserve(loose.size());
    byEnd.reserve(loose.size());
    for (uint32_t i = 0; i < loose.size(); ++i) {
        byStart[loose[i]->pStart].items.push_back(i);
        byEnd[loose[i]->pEnd].items.push_back(i);
    }
    std::vector<unsigned char> taken(loose.size(), 0);
    auto take = [&](std::unordered_map<const float*, Bucket>& map,
                    const float* point) -> CElemBorder* {
        auto it = map.find(point);
        if (it == map.end())
            return nullptr;
        Bucket& bucket = it->second;
        while (bucket.cursor < bucket.items.size() && taken[bucket.items[bucket.cursor]])
            ++bucket.cursor;
        if (bucket.cursor == bucket.items.size())
            return nullptr;
        const uint32_t i = bucket.items[bucket.cursor++];
        taken[i] = 1;
        return loose[i];
    };
    for (size_t head = 0; head < loose.size(); ++head) {
        if (taken[head])
            continue;
        taken[head] = 1;
        CElemBorder* first = loose[head];
        CElemBorder* last = first;
        while (CElemBorder* b = take(byStart, last->pEnd)) {
            last->pNext = b;
            last = b;
        }
        while (CElemBorder* b = take(byEnd, first->pStart)) {
            b->pNext = first;
            first = b;
        }
        BorderChains.Push(first);
    }
}

bool KytRidgeLine::NearestBorder(bool reorder)
{
    if (BorderChains.IsEmpty())
        return false;
    double best = 3.4028234663852886e38;
    CElemBorder* chosen = nullptr;
    CElemBorder* chosenChain = nullptr;
    WqVector3D foot;
    const WqVector3D& p = PickPoint;
    bool done = false;
    for (CElemBorder* chain : BorderChains) {
        for (CElemBorder* b = chain; b && !done; b = b->pNext) {
            const WqVector3D s = ToVector(b->pStart), e = ToVector(b->pEnd);
            if (GuardedLength(p - s) <= kPointEps) {
                chosen = b, chosenChain = chain, foot = s, done = true;
                break;
            }
            const double len = GuardedLength(e - s);
            if (len <= kPointEps) {
                chosen = b, chosenChain = chain, foot = e, done = true;
                break;
            }
            const double o = (p - s).Dot(e - s) / len;
            if (o < 0.0 || o > len)
                continue;
            const WqVector3D f = s + (e - s) * (o / len);
            const double d = GuardedLength(p - f);
            if (d <= kPointEps) {
                chosen = b, chosenChain = chain, foot = f, done = true;
                break;
            }
            if (d < best) {
                best = d;
                chosen = b, chosenChain = chain, foot = f;
            }
        }
        if (done)
            break;
    }
    if (!chosen)
        return false;
    if (reorder && BorderChains.GetHead() != chosenChain) {
        BorderChains.Remove(chosenChain);
        BorderChains.Push(chosenChain);
    }
    NearStart = chosen->pStart;
    NearEnd = chosen->pEnd;
    NearPoint = foot;
    return true;
}

bool KytRidgeLine::GetSeg() { return NearestBorder(true); }

bool KytRidgeLine::GetCircle(CElemCircle*) { return NearestBorder(false); }

bool KytRidgeLine::GetLine()
{
    // Without a chain there is no figure to report.
    const CElemBorder* chain = BorderChains.GetHead();
    if (!chain)
        return false;
    if (!chain->pNext)
        return true;
    double best = DBL_MAX;
    const WqVector3D& p = PickPoint;
    for (const CElemBorder* b = chain; b->pNext; b = b->pNext) {
        const WqVector3D s = ToVector(b->pStart), e = ToVector(b->pEnd);
        WqVector3D d = e - s;
        const double dl = std::sqrt(d.Length2());
        if (dl > kTiny)
            d = d * (1.0 / dl);
        const WqVector3D w = p - s;
        const double r = std::sqrt(w.Length2());
        if (r < kTiny) {
            NearStart = b->pStart;
            NearEnd = b->pEnd;
            NearPoint = p;
            return true;
        }
        const double t = d.Dot(w) / r;
        // Rounding can push |t| past 1.
        const double k = t * std::sqrt(std::max(0.0, 1.0 - t * t));
        if (std::fabs(k) < best) {
            NearStart = b->pStart;
            NearEnd = b->pEnd;
            NearPoint = p + w * (k / r);
            best = std::fabs(k);
        }
    }
    return true;
}
