#pragma once
// The names of one selection hit, decoded: what kind of thing was hit, the part, the level
// below the part (5 a triangle, 6 a vertex) and the item at that level.

#include <cstdint>

class KytLink;
struct KytTriangle;
struct KytPoint;

struct KytPickData {
    int32_t Kind = 0;
    KytLink* Link = nullptr;
    int32_t Level = 0;
    // A triangle or vertex of a part hit; an overlay object's third name as it was loaded.
    uintptr_t Item = 0;
    uint32_t Name4 = 0;
    uint32_t Name5 = 0;
    uint32_t Extra = 0;

    // Every word but Extra to zero.
    void ClearNames()
    {
        const uint32_t extra = Extra;
        *this = KytPickData();
        Extra = extra;
    }
    KytTriangle* Triangle() const { return reinterpret_cast<KytTriangle*>(Item); }
    KytPoint* Vertex() const { return reinterpret_cast<KytPoint*>(Item); }
};
