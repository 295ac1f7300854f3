// The scene list: scenes and the active one, shared lights, drawing, draw-type broadcast,
// moving views, the alpha stack and part property values.

#include "tests/support/scene/SceneFixture.h"

#include "scene/view/KytScenes.h"
#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytRecords.h"
#include "platform/wgl/Objects.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

using namespace scene_test;

namespace {

using Strings = std::vector<std::string>;

std::vector<KytScene*> Chain(const KytScenes& scenes)
{
    std::vector<KytScene*> out;
    for (KytScene* s = scenes.GetTopScene(false); s; s = s->Next())
        out.push_back(s);
    return out;
}

TEST_F(SceneFixture, ConstructionMakesTheDefaultLightAndMainView)
{
    KytLink root;
    KytScenes scenes(&root, nullptr);
    KytScene* main = scenes.GetTopScene(false);
    ASSERT_NE(main, nullptr);
    EXPECT_STREQ(main->GetName(), "MainView");
    EXPECT_EQ(main->GetRootLink(), &root);
    ASSERT_NE(scenes.GetTopLight(), nullptr);
    EXPECT_STREQ(scenes.GetTopLight()->GetName(), "Default");
    EXPECT_EQ(main->GetLight(0), scenes.GetTopLight());
    KytScenes empty;
    EXPECT_EQ(empty.GetTopScene(false), nullptr);
    EXPECT_EQ(empty.GetRootLink(), nullptr);
}

TEST_F(SceneFixture, AddSearchAndChangeTheActiveScene)
{
    KytScenes scenes;
    KytScene* a = scenes.AddScene("A");
    KytScene* b = scenes.AddScene(42u);
    KytScene* c = scenes.AddScene(static_cast<KytScene*>(nullptr));
    EXPECT_EQ(Chain(scenes), (std::vector<KytScene*>{a, b, c}));
    EXPECT_EQ(a->GetLight(0), scenes.GetTopLight());
    EXPECT_EQ(scenes.SearchScene(42u), b);
    EXPECT_EQ(scenes("A"), a);
    EXPECT_EQ(scenes.SearchScene("a"), nullptr);  // no case folding
    EXPECT_EQ(scenes(c->GetID()), c);

    const int makeCurrentBefore = quor::wgl::Stats().makeCurrent;
    EXPECT_EQ(scenes.ChangeActiveScene(a), a);  // already the head: nothing
    EXPECT_EQ(scenes.ChangeActiveScene("A"), a);
    EXPECT_EQ(quor::wgl::Stats().makeCurrent, makeCurrentBefore);
    EXPECT_EQ(scenes.ChangeActiveScene(777u), nullptr);
    EXPECT_EQ(Chain(scenes), (std::vector<KytScene*>{a, b, c}));
    EXPECT_EQ(scenes.ChangeActiveScene(42u), b);
    EXPECT_EQ(Chain(scenes), (std::vector<KytScene*>{b, a, c}));
    EXPECT_EQ(scenes.ChangeActiveScene(c), c);
    EXPECT_EQ(Chain(scenes), (std::vector<KytScene*>{c, b, a}));
    KytScene stranger;
    EXPECT_EQ(scenes.ChangeActiveScene(&stranger), nullptr);
}

TEST_F(SceneFixture, ChangeActiveSceneSetsItsViewport)
{
    KytScenes scenes;
    KytScene* a = scenes.AddScene("A");
    KytScene* b = scenes.AddScene("B");
    ASSERT_TRUE(a->Create(NewOgl(40, 30), 40, 30));
    ASSERT_TRUE(b->Create(NewOgl(20, 10), 20, 10));
    a->GetOgl()->MakeCurrent();
    scenes.ChangeActiveScene(b);
    EXPECT_EQ(KytOgl::hWndNow, b->GetOgl()->GetHwnd());
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 20);
    EXPECT_EQ(vp[3], 10);
}

TEST_F(SceneFixture, DeleteScenesDownToNone)
{
    KytScenes scenes;
    KytScene* a = scenes.AddScene("A");
    KytScene* b = scenes.AddScene("B");
    ASSERT_TRUE(a->Create(NewOgl(16, 16), 16, 16));
    ASSERT_TRUE(b->Create(NewOgl(16, 16), 16, 16));
    EXPECT_EQ(quor::wgl::LiveContexts(), 2);
    EXPECT_FALSE(scenes.DeleteScene(static_cast<KytScene*>(nullptr)));
    EXPECT_FALSE(scenes.DeleteScene("none"));
    EXPECT_TRUE(scenes.DeleteScene("A"));
    EXPECT_EQ(Chain(scenes), (std::vector<KytScene*>{b}));
    EXPECT_EQ(KytOgl::hWndNow, b->GetOgl()->GetHwnd());
    EXPECT_TRUE(scenes.DeleteScene(b->GetID()));
    EXPECT_EQ(scenes.GetTopScene(false), nullptr);
    EXPECT_EQ(quor::wgl::LiveContexts(), 0);
    // The last one leaves no scene to make current.
    EXPECT_EQ(KytOgl::hWndNow, nullptr);
    EXPECT_EQ(quor::wgl::wglGetCurrentContext(), nullptr);
}

// A scene the host owns, or one of another list, is not this list's to delete: the owner
// frees it (under the sanitizers a second free would show).
TEST_F(SceneFixture, DeleteSceneRefusesASceneNotInTheList)
{
    KytScenes scenes, others;
    KytScene* a = scenes.AddScene("A");
    KytScene* elsewhere = others.AddScene("X");
    auto own = std::make_unique<KytScene>(nullptr, "own");
    EXPECT_FALSE(scenes.DeleteScene(own.get()));
    EXPECT_FALSE(scenes.DeleteScene(elsewhere));
    EXPECT_EQ(Chain(scenes), (std::vector<KytScene*>{a}));
    EXPECT_EQ(Chain(others), (std::vector<KytScene*>{elsewhere}));
    EXPECT_EQ(own->Next(), nullptr);
    EXPECT_TRUE(others.DeleteScene(elsewhere));
    EXPECT_TRUE(scenes.DeleteScene(a));
}

TEST_F(SceneFixture, TopSceneAndRootLinkOfTheFirstNormalScene)
{
    KytLink root, other;
    KytScenes scenes(&root, nullptr);
    KytScene* second = scenes.AddScene("second");
    second->SetRootLink(&other);
    scenes.GetTopScene(false)->SetNormal(false);
    EXPECT_EQ(scenes.GetTopScene(true), second);
    EXPECT_EQ(scenes.GetRootLink(), &other);
    second->SetNormal(false);
    EXPECT_EQ(scenes.GetTopScene(true), nullptr);
    EXPECT_EQ(scenes.GetRootLink(), nullptr);
}

TEST_F(SceneFixture, DrawSkipsScenesThatAreNotNormal)
{
    KytLink root;
    KytScenes scenes(&root, new RecordingScene(&root, "one"));
    auto* two = new RecordingScene(&root, "two");
    scenes.AddScene(two);
    ASSERT_TRUE(scenes.GetTopScene(false)->Create(NewOgl(16, 16), 16, 16));
    ASSERT_TRUE(two->Create(NewOgl(16, 16), 16, 16));
    two->SetNormal(false);
    ClearLog();
    scenes.Draw(true);
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "swap"), 1);
    ClearLog();
    scenes.Draw(false);
    EXPECT_EQ(std::count(Log().begin(), Log().end(), "swap"), 2);
    ClearLog();
    scenes.EnableDraw(false);
    scenes.Draw(false);
    EXPECT_TRUE(Log().empty());
}

class LightTable : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        first = scenes.AddScene("first");
        second = scenes.AddScene("second");
        ASSERT_TRUE(first->Create(NewOgl(16, 16), 16, 16));
        ASSERT_TRUE(second->Create(NewOgl(16, 16), 16, 16));
    }
    // The names of a scene's light entries up to the first empty one.
    static Strings Entries(const KytScene* s)
    {
        Strings names;
        for (int i = 0; i < 8 && s->GetLight(i); ++i)
            names.push_back(static_cast<const char*>(s->GetLight(i)->GetName()));
        return names;
    }
    KytScenes scenes;
    KytScene* first = nullptr;
    KytScene* second = nullptr;
};

TEST_F(LightTable, AttachFillsTheFirstFreeEntryUntilTheTableIsFull)
{
    for (int i = 1; i < 8; ++i)
        scenes.AttachLight(new KytLight(("L" + std::to_string(i)).c_str()), false);
    EXPECT_EQ(Entries(first), (Strings{"Default", "L1", "L2", "L3", "L4", "L5", "L6", "L7"}));
    first->GetOgl()->MakeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT7));
    // A ninth light joins the chain but no full table.
    auto* ninth = new KytLight("L8");
    scenes.AttachLight(ninth, false);
    EXPECT_EQ(Entries(second).size(), 8u);
    EXPECT_EQ(scenes.SearchLight("L8"), ninth);
    const Strings entries = Entries(first);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "L8"), 0);
}

TEST_F(LightTable, RemovingTheHeadLightShiftsEveryScene)
{
    scenes.AttachLight(new KytLight("L1"), false);
    scenes.AttachLight(new KytLight("L2"), false);
    KytLight* head = scenes.GetTopLight();
    scenes.RemoveLight(head);
    EXPECT_STREQ(scenes.GetTopLight()->GetName(), "L1");
    for (KytScene* s : {first, second}) {
        EXPECT_EQ(Entries(s), (Strings{"L1", "L2"}));
        // Each scene's own context lights the shifted entries; the freed slot goes dark.
        s->GetOgl()->MakeCurrent();
        EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
        EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
    }
    KytLight stranger("stranger");
    scenes.RemoveLight(&stranger);  // not ours: nothing
    scenes.RemoveLight(nullptr);
    EXPECT_EQ(Entries(first), (Strings{"L1", "L2"}));
}

// The diffuse colour GL holds for a light slot of the current context.
static std::vector<float> DiffuseOf(GLenum light)
{
    GLfloat c[4] = {-1, -1, -1, -1};
    glGetLightfv(light, GL_DIFFUSE, c);
    return {c[0], c[1], c[2]};
}

static KytLight* Coloured(const char* name, float r, float g, float b)
{
    auto* light = new KytLight(name);
    light->SetDiffuse(r, g, b);
    return light;
}

TEST_F(LightTable, RemovedLightsSlotsAreSentAgain)
{
    scenes.AttachLight(Coloured("red", 1, 0, 0), false);
    scenes.AttachLight(Coloured("green", 0, 1, 0), false);
    scenes.RemoveLight(scenes.SearchLight("red"));
    for (KytScene* s : {first, second}) {
        ASSERT_EQ(Entries(s), (Strings{"Default", "green"}));
        s->GetOgl()->MakeCurrent();
        EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
        EXPECT_EQ(DiffuseOf(GL_LIGHT1), (std::vector<float>{0, 1, 0}));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
    }

    // Switching the shifted light off darkens it, wherever it stood before.
    scenes.EnableLight("green", 0, false);
    for (KytScene* s : {first, second}) {
        s->GetOgl()->MakeCurrent();
        EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
    }

    // A new light takes the freed slot with its own colour; the old one comes back on.
    scenes.AttachLight(Coloured("blue", 0, 0, 1), false);
    scenes.EnableLight("green", 1, false);
    for (KytScene* s : {first, second}) {
        ASSERT_EQ(Entries(s), (Strings{"Default", "green", "blue"}));
        s->GetOgl()->MakeCurrent();
        EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
        EXPECT_EQ(DiffuseOf(GL_LIGHT1), (std::vector<float>{0, 1, 0}));
        EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
        EXPECT_EQ(DiffuseOf(GL_LIGHT2), (std::vector<float>{0, 0, 1}));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
    }

    // A switched-off light stays off when a removal sends it again.
    scenes.EnableLight("blue", 0, false);
    scenes.RemoveLight(scenes.SearchLight("green"));
    for (KytScene* s : {first, second}) {
        ASSERT_EQ(Entries(s), (Strings{"Default", "blue"}));
        s->GetOgl()->MakeCurrent();
        EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
        EXPECT_EQ(DiffuseOf(GL_LIGHT1), (std::vector<float>{0, 0, 1}));
        EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
    }
}

TEST_F(LightTable, EnableLightByNameInEveryScene)
{
    scenes.AttachLight(new KytLight("L1"), false);
    scenes.EnableLight("L1", 0, false);
    for (KytScene* s : {first, second}) {
        s->GetOgl()->MakeCurrent();
        EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
        EXPECT_FALSE(s->GetLight(1)->IsEnabled());
    }
    scenes.EnableLight("L1", 1, false);
    first->GetOgl()->MakeCurrent();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
}

TEST_F(SceneFixture, ChangeBackColorKeepsAlpha)
{
    KytScenes scenes;
    KytScene* s = scenes.AddScene("s");
    ASSERT_TRUE(s->Create(NewOgl(8, 8), 8, 8));
    KytScene::afBackColor[3] = 0.5f;
    scenes.ChangeBackColor(0.25f, 0.5f, 1.0f, false);
    EXPECT_FLOAT_EQ(KytScene::afBackColor[0], 0.25f);
    EXPECT_FLOAT_EQ(KytScene::afBackColor[3], 0.5f);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[2], 1.0f);
}

// top
//   a (part, transparent)
//     a1 (part)
//   g (group)
//     b (part, transparent, not in the layer)
//     c (part, transparent)
//   d (part, hidden)
//     d1 (part, transparent)
class AlphaTree : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        top.nType = 1;
        g.nType = 256;
        top.AddChild(&a);
        a.AddChild(&a1);
        top.AddChild(&g);
        g.AddChild(&b);
        g.AddChild(&c);
        top.AddChild(&d);
        d.AddChild(&d1);
        KytVisual::uLayerMask = 1;
        a.visual.uTransparent = 1;
        b.visual.uVisible = 2;
        b.visual.uTransparent = 1;
        c.visual.uTransparent = 1;
        d.visual.uVisible = 0;
        d1.visual.uTransparent = 1;
    }
    void TearDown() override
    {
        KytVisual::uLayerMask = 1;
        SceneFixture::TearDown();
    }
    static std::vector<KytLink*> Stack()
    {
        std::vector<KytLink*> out;
        for (KytLink* l : KytScenes::AlphaStack)
            out.push_back(l);
        return out;
    }
    KytLink top, a, a1, g, b, c, d, d1;
};

TEST_F(AlphaTree, RootChangeRebuildsTheStackOfVisibleTransparentParts)
{
    KytScenes scenes(&top, nullptr);
    scenes.ChangeRootLink(&top, false, false);
    // Pushed at the head as found: the last found comes first.
    EXPECT_EQ(Stack(), (std::vector<KytLink*>{&c, &a}));
    // A transparent root is the only entry.
    scenes.ChangeRootLink(&a, false, false);
    EXPECT_EQ(Stack(), (std::vector<KytLink*>{&a}));
    EXPECT_EQ(scenes.GetTopScene(false)->GetRootLink(), &a);
    // The layer decides.
    KytVisual::uLayerMask = 3;
    scenes.ChangeRootLink(&top, false, false);
    EXPECT_EQ(Stack(), (std::vector<KytLink*>{&c, &b, &a}));
}

TEST_F(AlphaTree, AlphaStackFunctions)
{
    KYT_AppendAlphaStack(&a);
    KYT_AppendAlphaStack(&b);
    KYT_PushAlphaStack(&c);
    KYT_AppendAlphaStack(&c);  // unique: moves to the tail
    EXPECT_EQ(Stack(), (std::vector<KytLink*>{&a, &b, &c}));
    KYT_PushAlphaStack(&b);
    EXPECT_EQ(Stack(), (std::vector<KytLink*>{&b, &a, &c}));
    KYT_RemoveAlphaStack(&a);
    KYT_RemoveAlphaStack(nullptr);
    EXPECT_EQ(Stack(), (std::vector<KytLink*>{&b, &c}));
    EXPECT_EQ(KYT_GetAlphaStack(), &KytScenes::AlphaStack);
    KYT_ClearAlphaStack();
    EXPECT_EQ(KytScenes::AlphaStack.GetCount(), 0);
    KYT_RemoveAlphaStack(&a);
}

TEST_F(AlphaTree, CustomColourStackFollowsTheColourTable)
{
    KytScenes scenes(&top, nullptr);
    KytScenes::ColorTable.entries.resize(2);
    KytScenes::ColorTable.entries[1].bTransparent = true;
    a1.nCustomColor = 1;
    d1.nCustomColor = 1;  // hidden links count too: only the colour decides
    c.nCustomColor = 5;   // out of the table
    scenes.ChangeDrawType(DRAWTYPE_CUSTOM_COLOR, nullptr, nullptr, false, true);
    EXPECT_EQ(Stack(), (std::vector<KytLink*>{&d1, &a1}));
}

TEST_F(AlphaTree, DrawTypeBroadcastAndItsMessage)
{
    quor::wgl::HWND main = quor::wgl::CreateStandInWindow(10, 10);
    KytEnv::hMainWnd = main;
    KytScenes scenes(&top, new RecordingScene(&top, "main"));
    static_cast<RecordingScene*>(scenes.GetTopScene(false))->InstallContents();
    auto* hidden = static_cast<RecordingScene*>(scenes.AddScene(new RecordingScene(nullptr, "hidden")));
    hidden->SetNormal(false);
    hidden->InstallContents();

    struct Case {
        bool showTarget;
        bool sphere;
        DRAWTYPE type;
        int message;  // 0: none sent
    } cases[] = {
        {false, false, DRAWTYPE_WIRE, 0},
        {true, true, DRAWTYPE_WIRE, 0},
        {true, false, DRAWTYPE_CUSTOM_COLOR, 1},
        {true, true, DRAWTYPE_CUSTOM_COLOR, 1},
        {false, true, DRAWTYPE_CUSTOM_COLOR, 2},
        {false, false, DRAWTYPE_CUSTOM_COLOR, 0},
    };
    for (const Case& k : cases) {
        quor::wgl::ClearMessageLog(main);
        KytScene::bShowTargetLink = k.showTarget;
        KytLinkContents::Sphere.bSphereMode = k.sphere;
        scenes.ChangeDrawType(k.type, nullptr, nullptr, false, false);
        const auto& log = quor::wgl::MessageLog(main);
        if (k.message == 0) {
            EXPECT_TRUE(log.empty());
        } else {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0].msg, 1157u);
            EXPECT_EQ(log[0].wParam, static_cast<quor::wgl::WPARAM>(k.message));
            EXPECT_EQ(log[0].lParam, 0);
        }
        EXPECT_EQ(scenes.GetTopScene(false)->GetDrawType(), k.type);
    }
    // Scenes that are not normal keep their type unless all scenes are asked.
    EXPECT_EQ(hidden->GetDrawType(), DRAWTYPE_SHADE);
    EXPECT_TRUE(scenes.IsCustomColor());
    scenes.ChangeDrawType(DRAWTYPE_EDGE, nullptr, nullptr, false, true);
    EXPECT_EQ(hidden->GetDrawType(), DRAWTYPE_EDGE);
    EXPECT_FALSE(scenes.IsCustomColor());
    scenes.CheckSilhouette(main);
    EXPECT_EQ(KytEnv::nSilhouetteCalls, 1);
    KytEnv::Reset();
}

TEST_F(SceneFixture, MovingViewsAreBalanced)
{
    KytScenes scenes;
    auto* s = static_cast<RecordingScene*>(scenes.AddScene(new RecordingScene(nullptr, "s")));
    s->InstallContents();
    KytLinkContents::lfContributionRate = 0.018;
    KytLinkContents::lfContributionRateDynamic = 0.1;
    scenes.StartMovingViews();
    EXPECT_TRUE(scenes.IsMovingViews());
    EXPECT_TRUE(KytScene::bMoving);
    EXPECT_TRUE(s->IsMoving());
    EXPECT_DOUBLE_EQ(KytLinkContents::lfContributionRate, 0.1);
    scenes.StartMovingViews();  // ignored: the saved rate stays the real one
    scenes.EndMovingViews(false);
    EXPECT_FALSE(KytScene::bMoving);
    EXPECT_FALSE(s->IsMoving());
    EXPECT_DOUBLE_EQ(KytLinkContents::lfContributionRate, 0.018);
    scenes.EndMovingViews(false);
    EXPECT_DOUBLE_EQ(KytLinkContents::lfContributionRate, 0.018);
}

class PropertyValues : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        const char* tz = std::getenv("TZ");
        savedTz = tz ? tz : "";
        hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
        root.nType = 1;
        root.AddChild(&p1);
        root.AddChild(&p2);
        root.AddChild(&p3);
        n1.ulKey = 7;
        p1.pAnnotate = &n1;
        n2.ulKey = 7;
        p2.pAnnotate = &other;
        other.ulKey = 3;
        other.pNext = &n2;
        dr.ulKey = 9;
        dr.ulDRKey = 100;
        p3.pDRAnnotate = &dr;
        KytPropertyTableLink::Clear();
        KytPropertyTableLink::AddPropertyTableRec("Bought", 0);
        KytPropertyTableLink::AddPropertyTableRec("Count", 1);
        KytPropertyTableLink::AddPropertyTableRec("Weight", 2);
        KytPropertyTableLink::AddPropertyTableRec("Made", 4);
        KytPropertyTableLink::AddPropertyTableRec("Maker", 3);
        KytPropertyTableLink::AddPropertyTableRec("Odd", 9);
    }
    void TearDown() override
    {
        if (hadTz)
            setenv("TZ", savedTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        KytPropertyTableLink::Clear();
        SceneFixture::TearDown();
    }
    static KytPropertyValue Bool(bool b)
    {
        KytPropertyValue v;
        v.b = b;
        return v;
    }
    static KytPropertyValue Int(long l)
    {
        KytPropertyValue v;
        v.l = l;
        return v;
    }
    static KytPropertyValue Time(long long t)
    {
        KytPropertyValue v;
        v.t = t;
        return v;
    }
    std::string Query(KytScenes& scenes, const char* property, unsigned int key, int* found = nullptr)
    {
        CString out;
        int r = scenes.GetPartPropertyValue(property, key, out);
        if (found)
            *found = r;
        return static_cast<const char*>(out);
    }

    std::string savedTz;
    bool hadTz = false;
    KytLink root, p1, p2, p3;
    KytAnnotateData n1, n2, other;
    KytDRAnnotateData dr;
};

TEST_F(PropertyValues, ValuesJoinedPerPartAndPerValue)
{
    KytScenes scenes(&root, nullptr);
    p1.propertyValues["Bought"] = {Bool(true)};
    p2.propertyValues["Bought"] = {Bool(false)};
    p1.propertyValues["Count"] = {Int(3), Int(-4)};
    p2.propertyValues["Count"] = {Int(5)};
    p1.propertyValues["Made"] = {Time(0), Time(86400 + 3661)};
    p2.propertyValues["Made"] = {Time(-1LL << 62)};  // no calendar can show it
    p1.propertyValues["Odd"] = {Int(1)};
    int found = 0;
    EXPECT_EQ(Query(scenes, "Bought", 7, &found), "True/False");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(Query(scenes, "Count", 7), "3,-4/5");
    EXPECT_EQ(Query(scenes, "Made", 7), "Thu Jan  1 00:00:00 1970,Fri Jan  2 01:01:01 1970/");
    EXPECT_EQ(Query(scenes, "Odd", 7), "/");
    // A part that matches without a value still counts.
    EXPECT_EQ(Query(scenes, "Weight", 7, &found), "/");
    EXPECT_EQ(found, 1);
    EXPECT_EQ(Query(scenes, "Count", 3), "5");
    EXPECT_EQ(Query(scenes, "Count", 8, &found), "");
    EXPECT_EQ(found, 0);
    EXPECT_EQ(Query(scenes, "Nothing", 7, &found), "");
    EXPECT_EQ(found, 0);
    CString out;
    EXPECT_EQ(scenes.GetPartPropertyValue(nullptr, 7u, out), 0);
    EXPECT_EQ(scenes.GetPartPropertyValue("Count", static_cast<KytAnnotateData*>(nullptr), out), 0);
    EXPECT_EQ(scenes.GetPartPropertyValue("Count", &n1, out), 1);
    EXPECT_STREQ(out, "3,-4/5");
}

TEST_F(PropertyValues, ReviewKeysAndAnnotationObjects)
{
    KytScenes scenes(&root, nullptr);
    KytPropertyValue maker;
    maker.s = "ACME";
    p3.propertyValues["Maker"] = {maker};
    CString out;
    EXPECT_EQ(scenes.GetPartPropertyValue("Maker", 100ul, 9u, out), 1);
    EXPECT_STREQ(out, "ACME");
    CString none;
    EXPECT_EQ(scenes.GetPartPropertyValue("Maker", 100ul, 8u, none), 0);
    AuxDRAnnotate unbound;
    unbound.pDRData = &dr;
    EXPECT_EQ(scenes.GetPartPropertyValue("Maker", &unbound, none), 0);  // no target link
    AuxDRAnnotate bound(AuxDRAnnotate::ID, &p3);
    bound.pDRData = &dr;
    CString viaObject;
    EXPECT_EQ(scenes.GetPartPropertyValue("Maker", &bound, viaObject), 1);
    EXPECT_STREQ(viaObject, "ACME");
}

TEST_F(SceneFixture, ForwardingRemovesAuxObjectsInEveryScene)
{
    KytScenes scenes;
    KytScene* a = scenes.AddScene("a");
    KytScene* b = scenes.AddScene("b");
    a->AddAuxContents(new RecordingAux("x", 5), AUX_STAGE_FIRST);
    b->AddAuxContents(new RecordingAux("y", 5), AUX_STAGE_SECOND);
    b->AddAuxContents(new RecordingAux("z", 5), AUX_STAGE_SECOND);
    scenes.RemoveAuxContents(5u, false, true);
    EXPECT_EQ(a->SearchAuxContents(5), nullptr);
    EXPECT_EQ(b->SearchAuxContents(5), nullptr);
}

} // namespace

namespace {

TEST_F(SceneFixture, RootChangesRecheckTheVisibilityOfEveryObject)
{
    KytLink root, part;
    root.AddChild(&part);
    KytScenes scenes(&root, nullptr);
    KytScene* s = scenes.GetTopScene(false);
    s->AddAuxContents(new RecordingAux("f", 1), AUX_STAGE_FIRST);
    s->AddAuxContents(new RecordingAux("s", 2), AUX_STAGE_SECOND);
    ClearLog();
    scenes.ChangeRootLink(s, &root, false);  // already its root: nothing
    EXPECT_TRUE(Log().empty());
    scenes.ChangeRootLink(s, &part, false);
    EXPECT_EQ(Log(), (Strings{"f:CheckVisual", "s:CheckVisual"}));
    EXPECT_EQ(s->GetRootLink(), &part);
    EXPECT_EQ(scenes.GetRootLink(), &part);
    ClearLog();
    scenes.Remake(false);
    EXPECT_EQ(Log(), (Strings{"f:CheckVisual", "s:CheckVisual"}));
    scenes.ChangeRootLink(&root, false, false);
    EXPECT_EQ(s->GetRootLink(), &root);
}

} // namespace

namespace {

TEST_F(SceneFixture, InitializeCountsShapesAndSetsEverySceneUpAgain)
{
    KytShape first, second;
    first.pNext = &second;
    KytEnv::pTopShape = &first;
    KytLink root;
    KytScenes scenes;
    KytScene* a = scenes.AddScene("a");
    KytScene* b = scenes.AddScene("b");
    ASSERT_TRUE(a->Create(NewOgl(16, 16), 16, 16));
    a->AddAuxContents(new RecordingAux("f", 1), AUX_STAGE_FIRST);
    ClearLog();
    scenes.Initialize(&root, true);
    EXPECT_EQ(KytScenes::nShapeCnt, 2);
    EXPECT_EQ(a->GetRootLink(), &root);
    EXPECT_EQ(b->GetRootLink(), &root);
    // The created scene sets its objects up again; the other has no context yet.
    EXPECT_EQ(Log(), (Strings{"f:Create"}));
    scenes.Initialize(nullptr, false);
    EXPECT_EQ(KytScenes::nShapeCnt, 0);
    KytEnv::Reset();
}

} // namespace
