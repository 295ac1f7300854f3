#include "platform/kernel/KytModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

KytLink* KytModel::AddLink(const char* name, KytLink* parent, int type)
{
    links_.push_back(std::make_unique<KytLink>());
    KytLink* l = links_.back().get();
    l->name = name ? name : "";
    l->uID = static_cast<unsigned>(links_.size());
    l->nType = type;
    if (parent)
        parent->AddChild(l);
    if (!root_)
        root_ = l;
    return l;
}

KytShape* KytModel::AddShape(std::unique_ptr<KytShapeRep> rep)
{
    shapes_.push_back(std::make_unique<KytShape>());
    KytShape* s = shapes_.back().get();
    s->pRep = rep.get();
    if (shapes_.size() > 1)
        shapes_[shapes_.size() - 2]->pNext = s;
    reps_.push_back(std::move(rep));
    return s;
}

void KytModel::SetShape(KytLink* link, KytShape* shape)
{
    link->pShape = shape;
    link->SetGeomCEN();
}

KytLinkProperty* KytModel::AddProperty()
{
    properties_.push_back(std::make_unique<KytLinkProperty>());
    return properties_.back().get();
}

KytLink* KytModel::FindLink(unsigned id) const
{
    for (const auto& l : links_)
        if (l->uID == id)
            return l.get();
    return nullptr;
}

namespace {
constexpr double kPi = 3.14159265358979323846;

// Collects faces with their own vertices, then links everything into a representation.
class MeshMaker {
public:
    explicit MeshMaker(uint16_t color) : color_(color) {}

    int Vertex(double x, double y, double z, double nx, double ny, double nz)
    {
        rep_->aVertex.push_back({float(x), float(y), float(z)});
        // Equal normals share one record, as the kernel stores them: the triangles of a flat
        // face then hold one and the same normal pointer.
        const std::array<float, 3> n{float(nx), float(ny), float(nz)};
        auto [it, added] = normalIndex_.try_emplace(n, static_cast<int>(rep_->aNormal.size()));
        if (added)
            rep_->aNormal.push_back({n[0], n[1], n[2]});
        vertexNormal_.push_back(it->second);
        return static_cast<int>(rep_->aVertex.size()) - 1;
    }
    void Tri(int a, int b, int c) { tris_.push_back({a, b, c}); }
    void Quad(int a, int b, int c, int d)
    {
        Tri(a, b, c);
        Tri(a, c, d);
    }

    std::unique_ptr<KytShapeRep> Finish()
    {
        KytShapeRep& r = *rep_;
        r.aFaceNormal.resize(tris_.size());
        r.aTriangle.resize(tris_.size());
        for (size_t i = 0; i < tris_.size(); ++i) {
            KytTriangle& t = r.aTriangle[i];
            for (int k = 0; k < 3; ++k) {
                t.pVertex[k] = &r.aVertex[tris_[i][k]];
                t.pNormal[k] = &r.aNormal[vertexNormal_[tris_[i][k]]];
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
            r.aFaceNormal[i] = {float(nx), float(ny), float(nz)};
            t.pFaceNormal = &r.aFaceNormal[i];
            t.uColor = color_;
        }
        r.UpdateBox();
        r.LinkNeighbors();
        return std::move(rep_);
    }

private:
    uint16_t color_;
    std::unique_ptr<KytShapeRep> rep_ = std::make_unique<KytShapeRep>();
    std::vector<std::array<int, 3>> tris_;
    std::map<std::array<float, 3>, int> normalIndex_;
    std::vector<int> vertexNormal_;
};
}  // namespace

namespace KytBuild {

std::unique_ptr<KytShapeRep> BoxRep(double sx, double sy, double sz, uint16_t color)
{
    MeshMaker m(color);
    const double x = sx / 2, y = sy / 2, z = sz / 2;
    struct Face {
        double n[3];
        double c[4][3];
    };
    const Face faces[6] = {
        {{0, 0, -1}, {{-x, -y, -z}, {-x, y, -z}, {x, y, -z}, {x, -y, -z}}},
        {{0, 0, 1}, {{-x, -y, z}, {x, -y, z}, {x, y, z}, {-x, y, z}}},
        {{0, -1, 0}, {{-x, -y, -z}, {x, -y, -z}, {x, -y, z}, {-x, -y, z}}},
        {{0, 1, 0}, {{-x, y, -z}, {-x, y, z}, {x, y, z}, {x, y, -z}}},
        {{-1, 0, 0}, {{-x, -y, -z}, {-x, -y, z}, {-x, y, z}, {-x, y, -z}}},
        {{1, 0, 0}, {{x, -y, -z}, {x, y, -z}, {x, y, z}, {x, -y, z}}},
    };
    for (const Face& f : faces) {
        int v[4];
        for (int k = 0; k < 4; ++k)
            v[k] = m.Vertex(f.c[k][0], f.c[k][1], f.c[k][2], f.n[0], f.n[1], f.n[2]);
        m.Quad(v[0], v[1], v[2], v[3]);
    }
    return m.Finish();
}

std::unique_ptr<KytShapeRep> PlateWithHoleRep(double side, double thick, double radius,
                                              int segments, uint16_t color)
{
    if (segments < 8)
        segments = 8;
    segments = (segments + 3) / 4 * 4;
    MeshMaker m(color);
    const double half = side / 2;
    std::vector<double> cx(segments), cy(segments), sxv(segments), syv(segments);
    for (int i = 0; i < segments; ++i) {
        // Starting at 45 degrees puts every fourth square point on a corner.
        const double a = kPi / 4 + 2 * kPi * i / segments;
        const double dx = std::cos(a), dy = std::sin(a);
        cx[i] = radius * dx;
        cy[i] = radius * dy;
        const double t = half / std::max(std::fabs(dx), std::fabs(dy));
        sxv[i] = dx * t;
        syv[i] = dy * t;
    }
    for (int i = 0; i < segments; ++i) {
        const int j = (i + 1) % segments;
        // Top (z = thick) and bottom (z = 0) rings between the hole and the border.
        int a = m.Vertex(cx[i], cy[i], thick, 0, 0, 1), b = m.Vertex(sxv[i], syv[i], thick, 0, 0, 1);
        int c = m.Vertex(sxv[j], syv[j], thick, 0, 0, 1), d = m.Vertex(cx[j], cy[j], thick, 0, 0, 1);
        m.Quad(a, b, c, d);
        a = m.Vertex(cx[i], cy[i], 0, 0, 0, -1);
        b = m.Vertex(cx[j], cy[j], 0, 0, 0, -1);
        c = m.Vertex(sxv[j], syv[j], 0, 0, 0, -1);
        d = m.Vertex(sxv[i], syv[i], 0, 0, 0, -1);
        m.Quad(a, b, c, d);
        // Outer wall: the normal of the side this segment lies on.
        const double mx = (sxv[i] + sxv[j]) / 2, my = (syv[i] + syv[j]) / 2;
        double nx = 0, ny = 0;
        if (std::fabs(mx) > std::fabs(my))
            nx = mx > 0 ? 1 : -1;
        else
            ny = my > 0 ? 1 : -1;
        a = m.Vertex(sxv[i], syv[i], 0, nx, ny, 0);
        b = m.Vertex(sxv[j], syv[j], 0, nx, ny, 0);
        c = m.Vertex(sxv[j], syv[j], thick, nx, ny, 0);
        d = m.Vertex(sxv[i], syv[i], thick, nx, ny, 0);
        m.Quad(a, b, c, d);
        // Hole wall, facing the axis.
        a = m.Vertex(cx[i], cy[i], 0, -cx[i] / radius, -cy[i] / radius, 0);
        b = m.Vertex(cx[i], cy[i], thick, -cx[i] / radius, -cy[i] / radius, 0);
        c = m.Vertex(cx[j], cy[j], thick, -cx[j] / radius, -cy[j] / radius, 0);
        d = m.Vertex(cx[j], cy[j], 0, -cx[j] / radius, -cy[j] / radius, 0);
        m.Quad(a, b, c, d);
    }
    return m.Finish();
}

std::unique_ptr<KytShapeRep> CylinderRep(double radius, double height, int segments,
                                         uint16_t color)
{
    if (segments < 3)
        segments = 3;
    MeshMaker m(color);
    const int top = m.Vertex(0, 0, height, 0, 0, 1);
    const int bottom = m.Vertex(0, 0, 0, 0, 0, -1);
    for (int i = 0; i < segments; ++i) {
        const double a0 = 2 * kPi * i / segments, a1 = 2 * kPi * ((i + 1) % segments) / segments;
        const double c0 = std::cos(a0), s0 = std::sin(a0), c1 = std::cos(a1), s1 = std::sin(a1);
        const int a = m.Vertex(radius * c0, radius * s0, 0, c0, s0, 0);
        const int b = m.Vertex(radius * c1, radius * s1, 0, c1, s1, 0);
        const int c = m.Vertex(radius * c1, radius * s1, height, c1, s1, 0);
        const int d = m.Vertex(radius * c0, radius * s0, height, c0, s0, 0);
        m.Quad(a, b, c, d);
        m.Tri(top, m.Vertex(radius * c0, radius * s0, height, 0, 0, 1),
              m.Vertex(radius * c1, radius * s1, height, 0, 0, 1));
        m.Tri(bottom, m.Vertex(radius * c1, radius * s1, 0, 0, 0, -1),
              m.Vertex(radius * c0, radius * s0, 0, 0, 0, -1));
    }
    return m.Finish();
}

KytLink* AddBox(KytModel& model, const char* name, KytLink* parent, const WqVector3D& pos,
                double sx, double sy, double sz, uint16_t color)
{
    KytLink* l = model.AddLink(name, parent, KYT_LINK_PART);
    l->referMech.vPos = pos;
    model.SetShape(l, model.AddShape(BoxRep(sx, sy, sz, color)));
    return l;
}

KytLink* FourLinkTree(KytModel& model)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    AddBox(model, "boxA", root, {0, 0, 0}, 1, 1, 1, 0);
    AddBox(model, "boxB", root, {3, 0, 0}, 1, 1, 1, 1);
    KytLink* cyl = model.AddLink("cylinder", root, KYT_LINK_PART);
    cyl->referMech.vPos = {0, 3, 0};
    model.SetShape(cyl, model.AddShape(CylinderRep(0.5, 2.0, 16, 2)));
    model.UpdatePlacements();
    return root;
}

}  // namespace KytBuild
