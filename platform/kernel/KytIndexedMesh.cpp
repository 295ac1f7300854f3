#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "platform/kernel/KytModel.h"

namespace KytBuild {

std::unique_ptr<KytShapeRep> IndexedRep(const std::vector<KytPoint>& vertices,
                                        const std::vector<KytPoint>& normals,
                                        const std::vector<std::array<int, 6>>& triangles,
                                        uint16_t color)
{
    auto rep = std::make_unique<KytShapeRep>();
    rep->aVertex = vertices;
    rep->aNormal = normals;
    rep->aFaceNormal.resize(triangles.size());
    rep->aTriangle.resize(triangles.size());
    for (size_t i = 0; i < triangles.size(); ++i) {
        KytTriangle& t = rep->aTriangle[i];
        for (int k = 0; k < 3; ++k) {
            t.pVertex[k] = &rep->aVertex[static_cast<size_t>(triangles[i][k])];
            const int n = triangles[i][3 + k];
            t.pNormal[k] = n >= 0 ? &rep->aNormal[static_cast<size_t>(n)] : nullptr;
        }
        const KytPoint &p0 = *t.pVertex[0], &p1 = *t.pVertex[1], &p2 = *t.pVertex[2];
        const double ux = p1.x - p0.x, uy = p1.y - p0.y, uz = p1.z - p0.z;
        const double vx = p2.x - p0.x, vy = p2.y - p0.y, vz = p2.z - p0.z;
        double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (len > 0) {
            nx /= len;
            ny /= len;
            nz /= len;
        }
        rep->aFaceNormal[i] = {float(nx), float(ny), float(nz)};
        t.pFaceNormal = &rep->aFaceNormal[i];
        t.uColor = color;
    }
    rep->UpdateBox();
    return rep;
}

std::unique_ptr<KytShapeRep> IndexedPlateRep(double cell, double thick,
                                             const std::vector<double>& radii, int segments,
                                             uint16_t color)
{
    constexpr double kPi = 3.14159265358979323846;
    segments = std::max(8, (segments + 3) / 4 * 4);
    const int cells = static_cast<int>(radii.size());
    std::vector<KytPoint> vertices;
    std::vector<KytPoint> normals = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0},
                                     {0, -1, 0}};
    enum { kTop, kBottom, kPosX, kNegX, kPosY, kNegY };
    std::vector<std::array<int, 6>> tris;
    // Cells meet on common square points: one vertex a position.
    std::map<std::tuple<long long, long long, long long>, int> index;
    auto vertex = [&](double x, double y, double z) {
        const auto key = std::make_tuple(std::llround(x * 1e5), std::llround(y * 1e5),
                                         std::llround(z * 1e5));
        auto [it, added] = index.try_emplace(key, static_cast<int>(vertices.size()));
        if (added)
            vertices.push_back({float(x), float(y), float(z)});
        return it->second;
    };
    auto quad = [&](int a, int b, int c, int d, int na, int nb, int nc, int nd) {
        tris.push_back({a, b, c, na, nb, nc});
        tris.push_back({a, c, d, na, nc, nd});
    };
    const double half = cell / 2;
    const double left = -cell * cells / 2, right = cell * cells / 2;
    for (int c = 0; c < cells; ++c) {
        const double ox = left + cell * (c + 0.5);
        const double r = radii[static_cast<size_t>(c)];
        std::vector<double> hx(segments), hy(segments), sx(segments), sy(segments);
        std::vector<int> wallNormal(segments);
        for (int i = 0; i < segments; ++i) {
            const double a = kPi / 4 + 2 * kPi * i / segments;
            const double dx = std::cos(a), dy = std::sin(a);
            hx[i] = ox + r * dx;
            hy[i] = r * dy;
            const double t = half / std::max(std::fabs(dx), std::fabs(dy));
            sx[i] = ox + dx * t;
            sy[i] = dy * t;
            wallNormal[i] = static_cast<int>(normals.size());
            normals.push_back({float(-dx), float(-dy), 0.0f});
        }
        for (int i = 0; i < segments; ++i) {
            const int j = (i + 1) % segments;
            const int ht0 = vertex(hx[i], hy[i], thick), ht1 = vertex(hx[j], hy[j], thick);
            const int hb0 = vertex(hx[i], hy[i], 0), hb1 = vertex(hx[j], hy[j], 0);
            const int st0 = vertex(sx[i], sy[i], thick), st1 = vertex(sx[j], sy[j], thick);
            const int sb0 = vertex(sx[i], sy[i], 0), sb1 = vertex(sx[j], sy[j], 0);
            quad(ht0, st0, st1, ht1, kTop, kTop, kTop, kTop);
            quad(hb0, hb1, sb1, sb0, kBottom, kBottom, kBottom, kBottom);
            quad(hb0, ht0, ht1, hb1, wallNormal[i], wallNormal[i], wallNormal[j], wallNormal[j]);
            // Outer walls only where the square side is the plate's own side.
            const double mx = (sx[i] + sx[j]) / 2, my = (sy[i] + sy[j]) / 2;
            const double lx = mx - ox;
            int n;
            if (std::fabs(lx) > std::fabs(my)) {
                const double sideX = lx > 0 ? ox + half : ox - half;
                if (std::fabs(sideX - left) > 1e-9 && std::fabs(sideX - right) > 1e-9)
                    continue;
                n = lx > 0 ? kPosX : kNegX;
            } else {
                n = my > 0 ? kPosY : kNegY;
            }
            quad(sb0, sb1, st1, st0, n, n, n, n);
        }
    }
    auto rep = IndexedRep(vertices, normals, tris, color);
    rep->LinkNeighbors();
    return rep;
}

}  // namespace KytBuild
