#pragma once
#include <array>
#include <memory>
#include <vector>

#include "platform/kernel/KytColor.h"
#include "platform/kernel/KytLink.h"

// Owner of a part tree: links, shapes and their meshes live as long as the model.
class KytModel {
public:
    KytModel() = default;
    KytModel(const KytModel&) = delete;
    KytModel& operator=(const KytModel&) = delete;

    // A new link, appended under `parent` (assembly relation) when given; the first link
    // made becomes the root. Identifiers count from 1.
    KytLink* AddLink(const char* name, KytLink* parent = nullptr, int type = KYT_LINK_PART);
    // Takes a finished representation and wraps it in a shape owned by the model.
    KytShape* AddShape(std::unique_ptr<KytShapeRep> rep);
    // Gives `link` the shape and refreshes its centre, box and radius.
    void SetShape(KytLink* link, KytShape* shape);

    // A property record owned by the model.
    KytLinkProperty* AddProperty();

    KytLink* Root() const { return root_; }
    KytLink* FindLink(unsigned id) const;
    const std::vector<std::unique_ptr<KytLink>>& Links() const { return links_; }
    // Recomputes world placements from the relative ones.
    void UpdatePlacements() { KYT_UpdateWorldPlacement(root_); }

private:
    std::vector<std::unique_ptr<KytLink>> links_;
    std::vector<std::unique_ptr<KytShapeRep>> reps_;
    std::vector<std::unique_ptr<KytShape>> shapes_;
    std::vector<std::unique_ptr<KytLinkProperty>> properties_;
    KytLink* root_ = nullptr;
};

// Builders of small meshes and trees for tests and the demo. Meshes are closed, with
// outward normals, flat faces with per-face vertices, neighbours linked and hard edges set.
namespace KytBuild {
// Box spanning [-sx/2, sx/2] x [-sy/2, sy/2] x [-sz/2, sz/2]; 12 triangles.
std::unique_ptr<KytShapeRep> BoxRep(double sx, double sy, double sz, uint16_t color = 0);
// Square plate of side `side` and thickness `thick` (z from 0 to thick) with a round hole
// of `radius` at its centre; `segments` (a multiple of 4, at least 8) around the hole.
std::unique_ptr<KytShapeRep> PlateWithHoleRep(double side, double thick, double radius,
                                              int segments = 16, uint16_t color = 0);
// Cylinder around z from 0 to `height` with `segments` sides and smooth side normals.
std::unique_ptr<KytShapeRep> CylinderRep(double radius, double height, int segments = 16,
                                         uint16_t color = 0);

// Indexed meshes: faces share their vertices by pointer, and a vertex holds another normal
// pointer in each face that meets it on a crease (smooth walls share one normal a position).
// A row of square cells of side `cell` along x, centred on the origin, z from 0 to `thick`;
// cell i has a round hole of radii[i] at its centre with `segments` sides (a multiple of 4,
// at least 8). Neighbours are linked and hard edges set.
std::unique_ptr<KytShapeRep> IndexedPlateRep(double cell, double thick,
                                             const std::vector<double>& radii, int segments = 32,
                                             uint16_t color = 0);
// A mesh from positions, normals and triangles given as three vertex and three normal indices
// (a normal index of -1 leaves that corner without a normal). Face normals are computed;
// neighbours are not linked.
std::unique_ptr<KytShapeRep> IndexedRep(const std::vector<KytPoint>& vertices,
                                        const std::vector<KytPoint>& normals,
                                        const std::vector<std::array<int, 6>>& triangles,
                                        uint16_t color = 0);

// Link with a box shape placed at `pos` under `parent`.
KytLink* AddBox(KytModel& model, const char* name, KytLink* parent, const WqVector3D& pos,
                double sx, double sy, double sz, uint16_t color = 0);
// A tree of four links: root assembly "root" with parts "boxA" (unit cube at the origin),
// "boxB" (unit cube at x = 3) and "cylinder" (radius 0.5, height 2, at y = 3). Placements
// are updated.
KytLink* FourLinkTree(KytModel& model);

// The demonstration machine: a base plate with two holes of other radii (indexed), a gearbox of boxes (highlighted housing
// with a work axis), shafts, small bolts, a transparent cover (alpha 0.4), a textured panel,
// an emissive lamp, parts on layers 1 and 2, a kind-64 part, a no-clip part, a manikin whose
// segment names hit each simplified-manikin rule, a camera link pair, a datum and a clip link
// (kind 256, z up through the gearbox), property records (two materials; recycle rates none,
// 0, 0.3, 0.6 and 0.61) and custom-colour indices 0 to 5 (see SampleColorTable). Installs
// SampleMaterials() as the kernel's material table and updates placements.
KytLink* SampleMachine(KytModel& model);
// Distinct colours, one per material index the machine uses.
std::vector<KytMaterial> SampleMaterials();
// Custom colours for indices 0 to 5: lit, unlit, lit transparent, outlined, emissive, and
// part colours with the entry's alpha.
KytColorTable SampleColorTable();
// Named links of the machine (null when missing).
KytLink* FindByName(const KytModel& model, const char* name);

// A grid of `assemblies` assemblies, each with one large part and `parts` small ones (cylinders
// of `segments` sides, 4 triangles a side; the large one has 16 times as many sides), laid out
// so that none overlaps. Installs SampleMaterials() and updates placements.
KytLink* GridTree(KytModel& model, int assemblies, int parts, int segments);
}  // namespace KytBuild
