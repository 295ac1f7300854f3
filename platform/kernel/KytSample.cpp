// The demonstration machine and the grid tree of the tests, demo and benchmarks.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/kernel/KytModel.h"

namespace {
// Material identities: only their addresses matter.
const int kMaterialSteel = 1;
const int kMaterialResin = 2;

enum : uint16_t {
    kGrey = 0, kRed, kGreen, kBlue, kYellow, kCyan, kMagenta, kOrange, kWhite, kPurple,
};

KytLink* Part(KytModel& model, const char* name, KytLink* parent, std::unique_ptr<KytShapeRep> rep,
              const WqVector3D& pos, int type = KYT_LINK_PART)
{
    KytLink* l = model.AddLink(name, parent, type);
    l->referMech.vPos = pos;
    model.SetShape(l, model.AddShape(std::move(rep)));
    return l;
}

KytLinkProperty* Property(KytModel& model, KytLink* link, const void* material, double recycle)
{
    KytLinkProperty* p = model.AddProperty();
    p->pMaterial = material;
    p->dRecycleRate = recycle;
    link->pProperty = p;
    return p;
}

// A 2 x 2 checker of red and blue on a 10 x 10 texture: its rows of 30 bytes are not a
// multiple of four.
std::unique_ptr<KytTexture> Checker()
{
    auto tex = std::make_unique<KytTexture>();
    tex->nWidth = 10;
    tex->nHeight = 10;
    tex->rgb.resize(10 * 10 * 3);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool red = ((x / 5) + (y / 5)) % 2 == 0;
            unsigned char* p = &tex->rgb[(y * 10 + x) * 3];
            p[0] = red ? 255 : 0;
            p[1] = 0;
            p[2] = red ? 0 : 255;
        }
    return tex;
}

// Links for the overlay objects: joints of both families, manipulator records, a link without
// size, a chain of links that never get handles, a screen panel and a tilted box.
void AddOverlayLinks(KytModel& model, KytLink* root)
{
    using KytBuild::BoxRep;
    KytLink* gearbox = KytBuild::FindByName(model, "gearbox");
    gearbox->nJointKind = 1;
    gearbox->manip.nAxis = 1;
    gearbox->manip.bDirection = true;
    gearbox->manip.nOriginMode = 1;
    KytLink* shaft = KytBuild::FindByName(model, "shaftA");
    shaft->nJointKind = 1;
    shaft->manip.nAxis = 4;
    shaft->manip.bDirection = false;
    shaft->manip.nOriginMode = 2;
    shaft->manip.vOriginOffset = {0, 0, 30};

    // A hinge turning about its frame's z (the world y) at the arm's left end.
    KytLink* hinge = Part(model, "hinge", root, BoxRep(30, 10, 10, kOrange), {-150, 40, 20});
    hinge->nJointKind = 2;
    hinge->jointFrame.vPos = {-15, 0, 0};
    hinge->jointFrame.mRot = WqMatrix33D(1, 0, 0, 0, 0, 1, 0, -1, 0);
    hinge->dJointValue = 30.0;
    // A slider travelling along its frame's z (the world z), from its top face.
    KytLink* slider = Part(model, "slider", root, BoxRep(10, 10, 30, kGreen), {-150, -30, 20});
    slider->nJointKind = 8;
    slider->jointFrame.vPos = {0, 0, 15};
    slider->dJointValue = 12.5;

    KytLink* mover = model.AddLink("mover", root, KYT_LINK_NOSIZE);
    mover->referMech.vPos = {-150, 100, 30};
    mover->nJointKind = 1;
    mover->manip.nAxis = 2;

    KytLink* chain = model.AddLink("nohandle", root, KYT_LINK_NOHANDLE);
    chain->referMech.vPos = {0, 120, 0};
    Part(model, "nohandle_part", chain, BoxRep(12, 12, 12, kPurple), {0, 0, 15},
         KYT_LINK_NOHANDLE);

    Part(model, "screen", root, BoxRep(50, 2, 36, kCyan), {70, 130, 30});
    KytLink* tilted = Part(model, "tilted", root, BoxRep(20, 20, 20, kGreen), {-70, 130, 20});
    tilted->referMech.mRot.MakeRotMatrix(std::cos(M_PI / 6), std::sin(M_PI / 6), 0);
}
}  // namespace

namespace KytBuild {

std::vector<KytMaterial> SampleMaterials()
{
    const float colours[10][3] = {{0.6f, 0.6f, 0.6f}, {0.9f, 0.15f, 0.1f}, {0.1f, 0.8f, 0.2f},
                                  {0.15f, 0.3f, 0.9f}, {0.95f, 0.85f, 0.1f}, {0.1f, 0.85f, 0.85f},
                                  {0.85f, 0.2f, 0.8f}, {1.0f, 0.55f, 0.1f}, {1.0f, 1.0f, 1.0f},
                                  {0.5f, 0.2f, 0.7f}};
    std::vector<KytMaterial> table(10);
    for (size_t i = 0; i < table.size(); ++i) {
        std::copy(colours[i], colours[i] + 3, table[i].afColor);
        table[i].afColor[3] = 1.0f;
    }
    return table;
}

KytColorTable SampleColorTable()
{
    KytColorTable table;
    table.entries.resize(6);
    auto set = [](float* to, float r, float g, float b, float a) {
        to[0] = r, to[1] = g, to[2] = b, to[3] = a;
    };
    set(table.entries[0].afColor, 0.2f, 0.6f, 1.0f, 1.0f);
    set(table.entries[1].afColor, 1.0f, 0.5f, 0.0f, 1.0f);
    table.entries[1].bLit = false;
    set(table.entries[2].afColor, 0.0f, 1.0f, 0.0f, 0.5f);
    table.entries[2].bTransparent = true;
    set(table.entries[3].afColor, 1.0f, 1.0f, 0.0f, 1.0f);
    table.entries[3].bOutline = true;
    set(table.entries[4].afColor, 0.2f, 0.2f, 0.2f, 1.0f);
    set(table.entries[4].afEmission, 1.0f, 0.0f, 0.0f, 1.0f);
    table.entries[4].bEmission = true;
    table.entries[5].bUsePartColor = true;
    return table;
}

KytLink* FindByName(const KytModel& model, const char* name)
{
    for (const auto& l : model.Links())
        if (l->name == name)
            return l.get();
    return nullptr;
}

KytLink* SampleMachine(KytModel& model)
{
    KytColor::SetTable(SampleMaterials());
    KytLink* root = model.AddLink("machine", nullptr, KYT_LINK_ASSEMBLY);

    // Two holes of other radii, in a mesh whose faces share their vertices.
    KytLink* plate =
        Part(model, "plate", root, IndexedPlateRep(100, 10, {22, 14}, 32, kGrey), {0, 0, 0});
    Property(model, plate, &kMaterialSteel, 0.3)->abFlag[13] = 1;

    KytLink* gearbox = model.AddLink("gearbox", root, KYT_LINK_ASSEMBLY);
    gearbox->referMech.vPos = {0, 0, 10};
    KytLink* housing = Part(model, "housing", gearbox, BoxRep(80, 60, 50, kRed), {0, 0, 25});
    housing->bHighlight = true;
    housing->nCustomColor = 1;
    Property(model, housing, &kMaterialSteel, 0.0)->abFlag[13] = 1;
    KytLink* axis = model.AddLink("workaxis", housing, KYT_LINK_WORKAXIS);
    axis->referMech.vPos = {0, 0, 25};
    KytLink* shaftA = Part(model, "shaftA", gearbox, CylinderRep(6, 60, 16, kBlue), {-25, 0, 50});
    Property(model, shaftA, &kMaterialResin, 0.6)->abFlag[12] = 1;
    KytLink* shaftB = Part(model, "shaftB", gearbox, CylinderRep(6, 40, 16, kBlue), {25, 0, 50});
    Property(model, shaftB, &kMaterialSteel, 0.6)->abFlag[12] = 1;

    const double corner = 90;
    const char* bolts[4] = {"bolt1", "bolt2", "bolt3", "bolt4"};
    for (int i = 0; i < 4; ++i)
        Part(model, bolts[i], root, BoxRep(2, 2, 2, kYellow),
             {(i & 1) ? corner : -corner, (i & 2) ? corner : -corner, 11});

    KytLink* cover = Part(model, "cover", root, BoxRep(100, 80, 4, kCyan), {0, 0, 80});
    cover->visual.uTransparent = 1;
    cover->fAlpha = 0.4f;
    cover->nCustomColor = 2;

    auto panelRep = BoxRep(60, 2, 40, kWhite);
    panelRep->pTexture = Checker();
    for (KytTriangle& t : panelRep->aTriangle)
        for (int k = 0; k < 3; ++k) {
            t.afTexCoord[k][0] = (t.pVertex[k]->x + 30.0f) / 60.0f;
            t.afTexCoord[k][1] = (t.pVertex[k]->z + 20.0f) / 40.0f;
        }
    KytLink* panel = Part(model, "panel", root, std::move(panelRep), {0, -80, 35});
    panel->nCustomColor = 3;
    Property(model, panel, &kMaterialResin, 0.61)->abFlag[44] = 1;

    KytLink* lamp = Part(model, "lamp", root, BoxRep(10, 10, 10, kYellow), {70, 60, 20});
    lamp->visual.uEmission = 1;
    lamp->fEmissionLevel = 0.8f;
    lamp->nCustomColor = 4;

    KytLink* layer2 = Part(model, "layer2part", root, BoxRep(20, 20, 20, kMagenta), {-70, 60, 20});
    layer2->visual.uVisible = 2;
    KytLink* solid = Part(model, "solid64", root, BoxRep(15, 15, 15, kOrange), {-70, -50, 18},
                          KYT_LINK_SOLIDPART);
    solid->nCustomColor = 5;
    KytLink* noclip = Part(model, "noclip", root, BoxRep(15, 15, 30, kPurple), {70, -50, 25});
    noclip->bNoClip = true;

    // Manikin: segment names that hit each rule of the simplified drawing, and one too short
    // for any.
    KytLink* human = model.AddLink("human", root, KYT_LINK_ASSEMBLY);
    human->referMech.vPos = {130, 0, 10};
    KytLink* torso = Part(model, "torso", human, BoxRep(16, 10, 30, kGreen), {0, 0, 45},
                          KYT_LINK_HUMAN);
    Part(model, "h_head", torso, BoxRep(10, 10, 10, kOrange), {0, 0, 22}, KYT_LINK_HUMAN);
    Part(model, "arms_pL", torso, BoxRep(5, 5, 25, kGreen), {-11, 0, 0}, KYT_LINK_HUMAN);
    Part(model, "chest_p", torso, BoxRep(5, 5, 25, kGreen), {11, 0, 0}, KYT_LINK_HUMAN);
    Part(model, "upRleg", torso, BoxRep(6, 6, 28, kBlue), {-4, 0, -30}, KYT_LINK_HUMAN);
    Part(model, "wfoot", torso, BoxRep(6, 12, 4, kBlue), {4, 2, -42}, KYT_LINK_HUMAN);
    Part(model, "ab", torso, BoxRep(4, 4, 4, kWhite), {0, -7, 10}, KYT_LINK_HUMAN);

    KytLink* camera = model.AddLink("camera", root, KYT_LINK_CAMERA);
    camera->referMech.vPos = {-120, -120, 110};
    MakeMatrixZ(WqVector3D(120, 120, -70), camera->referMech.mRot);
    KytLink* view = model.AddLink("camera_view", camera, KYT_LINK_CAMERA);
    view->fViewAngle = 40.0f;

    model.AddLink("datum", root, KYT_LINK_DATUM);
    KytLink* clip = model.AddLink("clip", root, KYT_LINK_DATUM);
    clip->referMech.vPos = {0, 0, 40};
    // z along +y: the half with y > 0 is cut away.
    clip->referMech.mRot = WqMatrix33D(1, 0, 0, 0, 0, 1, 0, -1, 0);

    AddOverlayLinks(model, root);
    model.UpdatePlacements();
    // Handle sizes read the radius: refresh it where handles are drawn.
    for (const char* name : {"gearbox", "shaftA", "hinge", "slider"})
        FindByName(model, name)->SetGeomCEN();
    return root;
}

KytLink* GridTree(KytModel& model, int assemblies, int parts, int segments)
{
    KytColor::SetTable(SampleMaterials());
    assemblies = std::max(1, assemblies);
    parts = std::max(0, parts);
    segments = std::max(3, segments);
    KytLink* root = model.AddLink("grid", nullptr, KYT_LINK_ASSEMBLY);
    const int columns = std::max(1, static_cast<int>(std::ceil(std::sqrt(double(parts)))));
    const double pitch = 6.0;
    const double width = std::max(50.0, columns * pitch + 10.0);
    const int perRow = std::max(1, static_cast<int>(std::ceil(std::sqrt(double(assemblies)))));
    char name[64];
    for (int a = 0; a < assemblies; ++a) {
        std::snprintf(name, sizeof name, "asm%d", a);
        KytLink* assembly = model.AddLink(name, root, KYT_LINK_ASSEMBLY);
        assembly->referMech.vPos = {(a % perRow) * width * 2, (a / perRow) * width * 2, 0};
        std::snprintf(name, sizeof name, "asm%d_large", a);
        Part(model, name, assembly, CylinderRep(20, 10, segments * 16, uint16_t(a % 10)),
             {0, 0, 0});
        for (int p = 0; p < parts; ++p) {
            std::snprintf(name, sizeof name, "asm%d_p%d", a, p);
            Part(model, name, assembly, CylinderRep(2, 4, segments, uint16_t((a + p) % 10)),
                 {(p % columns) * pitch - width / 2, 30 + (p / columns) * pitch, 0});
        }
    }
    model.UpdatePlacements();
    return root;
}

}  // namespace KytBuild
