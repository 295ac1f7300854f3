// Picking the overlay objects of the sample machine through the scene, in both projections:
// handles name their link, axis and half; joint glyphs their link; the centre-of-mass marker
// only itself; everything else, and every handle while the scene moves, in strict mode or
// without auxiliary objects, leaves the pick as it is without them.

#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "scene/annotation/AuxCOM.h"
#include "scene/annotation/AuxJoint.h"
#include "scene/annotation/AuxManip.h"
#include "scene/annotation/AuxSphere.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {

constexpr unsigned kManipId = 100, kJointId = 101, kComId = 102, kSphereId = 103;

class OverlayPick : public PartTreeFixture {
public:
    void SetUp() override
    {
        PartTreeFixture::SetUp();
        KytEnv::nUpAxis = 2;
        KytEnv::nManipMode = 0;
        KytScene::bMoving = false;
        KytScene::bStrictPick = false;
        root = KytBuild::SampleMachine(model);
        KytBuild::FindByName(model, "cover")->visual.uVisible = 0;
        for (const char* name : {"gearbox", "shaftA", "hinge", "slider", "nohandle"})
            links.push_back(KytBuild::FindByName(model, name));
        for (KytLink* l : {links[0], links[1], links[2], links[3]})
            stack.Append(l);
    }
    void TearDown() override
    {
        KytEnv::nUpAxis = 1;
        KytEnv::nManipMode = 0;
        KytScene::bMoving = false;
        KytScene::bStrictPick = false;
        PartTreeFixture::TearDown();
    }

    void Build(ProjectType type)
    {
        Open(root, 240, 240);
        // Datum planes and the transparent cover would stand in front of the handles.
        scene->GetContents()->SetSubContsState(6, false);
        scene->ChangeViewType(type);
        scene->ChangeViewPoint(35.0f, 60.0f, false);
        scene->FitView(false);
        manip = new AuxManip(kManipId, &stack);
        auto* joint = new AuxJoint(kJointId);
        joint->Push(links[2], true);
        joint->Push(links[3], true);
        auto* com = new AuxCOM(kComId, links[4]);
        AuxCOM::SetShow(true);
        sphere = new AuxSphere(kSphereId);
        lamp = KytBuild::FindByName(model, "lamp");
        sphereStack.RemoveAll();
        sphereStack.Append(lamp);
        sphere->Stack = &sphereStack;
        for (KytAuxContents* o : std::initializer_list<KytAuxContents*>{manip, joint, com, sphere})
            scene->AddAuxContents(o, AUX_STAGE_FIRST);
        for (KytAuxContents* o : std::initializer_list<KytAuxContents*>{manip, joint, com, sphere})
            o->FitView(scene->GetViewPort());
    }

    // Window point (from the top left) of a world point in the scene's last frame.
    std::pair<int, int> Window(const WqVector3D& p)
    {
        Frame();
        double mv[16], pj[16], x, y, z;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pj);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(p.x, p.y, p.z, mv, pj, vp, &x, &y, &z);
        return {static_cast<int>(std::lround(x)), height - static_cast<int>(std::lround(y))};
    }

    KytLink* root = nullptr;
    std::vector<KytLink*> links;
    KytStack<KytLink> stack, sphereStack;
    KytLink* lamp = nullptr;
    AuxManip* manip = nullptr;
    AuxSphere* sphere = nullptr;
};

struct Row {
    const char* what;
    int manipMode;
    // Candidate points along the object, k = 0 to 5: the first with nothing behind it is
    // clicked (the object alone), else the first (the object in front of a part).
    std::function<WqVector3D(OverlayPick&, int k)> point;
    unsigned kind;  // 0: the pick as without the overlay objects
    int link;       // index into links, -1 none
    uintptr_t item;
    uint32_t name4;
    bool result;
};

// Field by field: the record has padding, which a byte compare would read.
bool Same(const KytPickData& a, const KytPickData& b)
{
    return a.Kind == b.Kind && a.Link == b.Link && a.Level == b.Level && a.Item == b.Item &&
           a.Name4 == b.Name4 && a.Name5 == b.Name5 && a.Extra == b.Extra;
}

WqVector3D InManip(const KytLink* l, const WqVector3D& local)
{
    return l->mech.GetAbsPos(l->manip.mOrientation.Multi(local + l->manip.GetOrigin()));
}

WqVector3D InJoint(const KytLink* l, double z)
{
    return l->mech.GetAbsPos(l->jointFrame.GetAbsPos({0, 0, z}));
}

TEST_F(OverlayPick, PickTableInBothProjections)
{
    using Point = std::function<WqVector3D(OverlayPick&, int)>;
    // A point of link l's manip frame, in units of the translation handle's size s (or of
    // the radius r for the rotation handle).
    auto bar = [](int l, double x, double y, double z) -> Point {
        return [=](OverlayPick& f, int) {
            const double s = f.links[l]->GetRadius() * 1.05;
            return InManip(f.links[l], {x * s, y * s, z * s});
        };
    };
    auto ball = [](int l, double x, double y, double z) -> Point {
        return [=](OverlayPick& f, int) {
            const double r = f.links[l]->GetRadius();
            return InManip(f.links[l], {x * r, y * r, z * r});
        };
    };
    // Along link l's joint z from `from` in steps of `step`.
    auto joint = [](int l, double from, double step) -> Point {
        return [=](OverlayPick& f, int k) { return InJoint(f.links[l], from + step * k); };
    };
    const std::vector<Row> rows = {
        {"gearbox x, positive half", 0, bar(0, 1, 0, 0), kManipId, 0, 0, 1, true},
        {"gearbox x, negative half", 0, bar(0, -1, 0, 0), kManipId, 0, 0, 0, true},
        {"gearbox y, negative half", 0, bar(0, 0, -1, 0), kManipId, 0, 1, 0, true},
        {"shaft x, positive half", 0, bar(1, 1, 0, 0), kManipId, 1, 0, 1, true},
        {"shaft z, positive half", 0, bar(1, 0, 0, 1), kManipId, 1, 2, 1, true},
        {"gearbox rotation, x end sphere", 1, ball(0, 1, 0, 0), kManipId, 0, 0, 0, true},
        {"gearbox rotation, z end sphere", 1, ball(0, 0, 0, 1), kManipId, 0, 2, 0, true},
        {"hinge rod", 0, joint(2, 30, 3), kManipId, 2, 0, 0, true},
        {"slider rod", 1, joint(3, 36, 2), kManipId, 3, 0, 0, true},
        {"hinge glyph", 0, joint(2, 14, -1), kJointId, 2, 0, 0, true},
        {"slider glyph", 0, joint(3, 14, -1), kJointId, 3, 0, 0, true},
        {"centre-of-mass plumb line", 0,
         [](OverlayPick& f, int k) { return f.links[4]->mech.GetAbsPos({0, 0, 1.0 + k}); },
         kComId, -1, 0, 0, false},
        {"sphere (not pickable)", 0, [](OverlayPick& f, int) { return f.lamp->mech.vPos; }, 0,
         -1, 0, 0, false},
    };
    for (ProjectType type : {PROJECT_PARALLEL, PROJECT_PERSPECTIVE}) {
        Build(type);
        for (const Row& r : rows) {
            SCOPED_TRACE(testing::Message()
                         << (type == PROJECT_PARALLEL ? "parallel " : "perspective ") << r.what);
            KytEnv::nManipMode = r.manipMode;
            int x = 0, y = 0;
            KytPickData without;
            bool withoutFound = true;
            for (int k = 5; k >= 0 && withoutFound; --k) {
                std::tie(x, y) = Window(r.point(*this, k));
                ASSERT_TRUE(x > 0 && y > 0 && x < width && y < height) << x << " " << y;
                without = KytPickData();
                withoutFound = scene->Pick(x, y, &without, false, false);
            }
            KytPickData with;
            const bool found = scene->Pick(x, y, &with, false, true);
            if (r.kind == 0) {
                EXPECT_EQ(found, withoutFound);
                EXPECT_TRUE(Same(with, without));
                continue;
            }
            EXPECT_EQ(found, r.result);
            EXPECT_EQ(with.Kind, static_cast<int32_t>(r.kind));
            EXPECT_EQ(with.Link, r.link < 0 ? nullptr : links[r.link]);
            EXPECT_EQ(with.Level, 0);
            EXPECT_EQ(with.Item, r.item);
            EXPECT_EQ(with.Name4, r.name4);
            // While the scene moves, in strict mode and without auxiliary objects the handles
            // are not there for the pick.
            KytScene::bMoving = true;
            KytPickData moving;
            const bool movingFound = scene->Pick(x, y, &moving, false, true);
            KytScene::bMoving = false;
            if (r.kind == kManipId) {
                EXPECT_EQ(movingFound, withoutFound);
                EXPECT_TRUE(Same(moving, without));
            }
            KytScene::bStrictPick = true;
            KytPickData strictWithout, strictWith;
            scene->Pick(x, y, &strictWithout, false, false);
            scene->Pick(x, y, &strictWith, false, true);
            KytScene::bStrictPick = false;
            EXPECT_TRUE(Same(strictWith, strictWithout));
        }
        scene.reset();
    }
}

// The work-axis glyph of the highlighted housing stands up through the gearbox and the
// transparent cover; datum planes cross them. What a contents draws before a part's own name
// leaves a record naming no part, which must not hide the part behind it: wherever the strict
// pick (a ray cast against the parts) finds a part, so does the pick.
TEST_F(OverlayPick, AGlyphInFrontOfAPartDoesNotHideIt)
{
    KytBuild::FindByName(model, "cover")->visual.uVisible = 1;
    for (ProjectType type : {PROJECT_PARALLEL, PROJECT_PERSPECTIVE}) {
        SCOPED_TRACE(type == PROJECT_PARALLEL ? "parallel" : "perspective");
        Build(type);
        scene->GetContents()->SetSubContsState(3, true);
        scene->GetContents()->SetSubContsState(6, true);
        std::vector<std::pair<int, int>> points;
        // Up the work axis, and a grid over the window.
        for (double z = 0; z <= 150; z += 2.5)
            points.push_back(Window({0, 0, z}));
        for (int y = 5; y < height; y += 10)
            for (int x = 5; x < width; x += 10)
                points.emplace_back(x, y);
        int parts = 0;
        for (const auto& [x, y] : points) {
            if (x < 0 || y < 0 || x >= width || y >= height)
                continue;
            KytScene::bStrictPick = true;
            KytPickData strict;
            const bool strictFound = scene->Pick(x, y, &strict, false, false);
            KytScene::bStrictPick = false;
            if (!strictFound)
                continue;
            ++parts;
            KytPickData r;
            EXPECT_TRUE(scene->Pick(x, y, &r, false, false)) << x << ", " << y;
            EXPECT_EQ(r.Kind, 1) << x << ", " << y;
            EXPECT_NE(r.Link, nullptr) << x << ", " << y;
        }
        EXPECT_GT(parts, 50);
        scene.reset();
    }
}

}  // namespace
}  // namespace scene_test
