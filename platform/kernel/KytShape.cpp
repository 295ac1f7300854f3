#include "platform/kernel/KytShape.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

void KytShapeRep::UpdateBox()
{
    if (aVertex.empty()) {
        boxMin = boxMax = KytPoint{};
        return;
    }
    boxMin = boxMax = aVertex.front();
    for (const KytPoint& p : aVertex) {
        boxMin = {std::min(boxMin.x, p.x), std::min(boxMin.y, p.y), std::min(boxMin.z, p.z)};
        boxMax = {std::max(boxMax.x, p.x), std::max(boxMax.y, p.y), std::max(boxMax.z, p.z)};
    }
}

namespace {
using Key = std::tuple<float, float, float>;
Key KeyOf(const KytPoint* p) { return {p->x, p->y, p->z}; }
using EdgeKey = std::pair<Key, Key>;
}  // namespace

void KytShapeRep::LinkNeighbors(double hardAngleDeg)
{
    // Vertices are duplicated per face group, so edges are matched by position.
    std::map<EdgeKey, std::pair<KytTriangle*, int>> open;
    for (KytTriangle& t : aTriangle) {
        t.uFlags &= ~(KYT_TRI_HARD_EDGE01 | KYT_TRI_HARD_EDGE12 | KYT_TRI_HARD_EDGE20);
        for (int e = 0; e < 3; ++e)
            t.pNeighbor[e] = nullptr;
    }
    for (KytTriangle& t : aTriangle) {
        for (int e = 0; e < 3; ++e) {
            const Key a = KeyOf(t.pVertex[e]), b = KeyOf(t.pVertex[(e + 1) % 3]);
            auto it = open.find({b, a});
            if (it != open.end()) {
                KytTriangle* o = it->second.first;
                const int oe = it->second.second;
                t.pNeighbor[e] = o;
                o->pNeighbor[oe] = &t;
                open.erase(it);
            } else {
                open[{a, b}] = {&t, e};
            }
        }
    }
    const double cosHard = std::cos(hardAngleDeg * 3.14159265358979323846 / 180.0);
    const unsigned bits[3] = {KYT_TRI_HARD_EDGE01, KYT_TRI_HARD_EDGE12, KYT_TRI_HARD_EDGE20};
    for (KytTriangle& t : aTriangle) {
        for (int e = 0; e < 3; ++e) {
            const KytTriangle* o = t.pNeighbor[e];
            bool hard = o == nullptr;
            if (o) {
                const KytPoint& n1 = *t.pFaceNormal;
                const KytPoint& n2 = *o->pFaceNormal;
                hard = n1.x * n2.x + n1.y * n2.y + n1.z * n2.z < cosHard;
            }
            if (hard)
                t.uFlags |= bits[e];
        }
    }
    uFlags |= KYT_REP_NEIGHBORS;
}

bool KytShapeRep::CalcSilhouette(CLineHash* scratch, unsigned count)
{
    if (!scratch || count < GetElementCount())
        return false;
    for (unsigned i = 0; i < GetElementCount(); ++i) {
        scratch[i].pTriangle = &aTriangle[i];
        scratch[i].uEdgeMask = aTriangle[i].uFlags & (KYT_TRI_HARD_EDGE01 | KYT_TRI_HARD_EDGE12 |
                                                      KYT_TRI_HARD_EDGE20);
    }
    return true;
}
