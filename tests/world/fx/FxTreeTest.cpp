#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "platform/host/XmlNode.h"
#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/fx/FxTestSupport.h"
#include "world/core/track/TrackRegistry.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxMgr.h"

namespace quor::world {
namespace {

constexpr float kStep = 1.0f / 60.0f;
// Loop read from the element, active.
constexpr std::uint32_t kFlags = kFxFlagReadLoop;

struct FxTree : testing::Test {
    test::LogCapture log;
    FxMgr mgr;

    FxBase* Load(const test::EffectFileWriter& file, std::uint32_t flags = kFlags) {
        test::XmlDoc doc(file.Text());
        FxBase* root = mgr.CreateFromElement(doc.root, flags);
        if (root) mgr.AddObject(root);
        return root;
    }
    static FxBase* Child(FxBase* node, int i) { return node->ChildAt(i); }
};

TEST_F(FxTree, WindowsLifeSpanAndOrder) {
    test::EffectFileWriter file("Root");
    file.Set("Name", "root").Set("FxLifeSpan", 1.0);
    file.AddNode("Dummy").Set("Name", "late").Set("FxStartTime", 0.5).Set("FxLifeSpan", 2.0).Set("RenderOrder", 2);
    file.AddNode("FxGroup").Set("Name", "first").Set("FxStartTime", 0.0).Set("FxLifeSpan", 0.25).Set("RenderOrder", 1);
    file.AddNode("Dummy").Set("Name", "second").Set("FxStartTime", 0.1).Set("RenderOrder", 1).Add("Unknown");
    file.Add("NotAKind");
    FxBase* root = Load(file);
    ASSERT_NE(root, nullptr);
    EXPECT_FLOAT_EQ(root->GetLifeSpan(), 2.5f);
    EXPECT_EQ(root->GetChildElementCount(), 4u);
    ASSERT_EQ(root->ChildCount(), 3);
    // Equal render orders keep their file order.
    EXPECT_STREQ(root->GetChildName(0), "first");
    EXPECT_STREQ(root->GetChildName(1), "second");
    EXPECT_STREQ(root->GetChildName(2), "late");
    EXPECT_EQ(root->GetChildName(3), nullptr);
    EXPECT_EQ(root->GetChildState(-1), -1);
    EXPECT_EQ(static_cast<IFxBase*>(root)->GetChild(3), nullptr);
    EXPECT_EQ(static_cast<IFxBase*>(root)->GetChildCount(), 3);
    EXPECT_EQ(root->GetNodeCount(), 3);

    // Nothing starts at time 0 itself; start 0 begins on the first frame.
    EXPECT_EQ(root->GetChildState(0), kFxReady);
    root->Update();
    EXPECT_EQ(root->GetChildState(0), kFxPlaying);
    EXPECT_EQ(root->GetChildState(1), kFxReady);
    for (int i = 0; i < 7; ++i) root->Update();
    EXPECT_EQ(root->GetChildState(1), kFxPlaying);  // start 0.1 passed at frame 7
    EXPECT_NEAR(Child(root, 1)->GetTime(), kStep, 1e-5f);  // its own time: advanced once since

    // SetTime gives each child its time since its start.
    root->SetTime(0.2f);
    EXPECT_EQ(Child(root, 2)->GetTime(), 0.0f);
    EXPECT_NEAR(Child(root, 1)->GetTime(), 0.1f, 1e-6f);
}

TEST_F(FxTree, ChildWindowRestartsWhenTheRootLoops) {
    test::EffectFileWriter file("Root");
    file.Set("Loop", "true").Set("FxLifeSpan", 1.0);
    file.AddNode("Dummy").Set("FxLifeSpan", 0.25);
    FxBase* root = Load(file);
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(root->IsLoop());
    int stops = 0, starts = 0;
    std::int32_t last = root->GetChildState(0);
    for (int frame = 0; frame < 130; ++frame) {
        root->Update();
        const std::int32_t now = root->GetChildState(0);
        if (last == kFxPlaying && now == kFxReady) ++stops;
        if (last == kFxReady && now == kFxPlaying) ++starts;
        last = now;
    }
    EXPECT_EQ(starts, 3);  // frames 1, 61 and 121: the root jumped back to 0 twice
    EXPECT_EQ(stops, 2);
    EXPECT_NE(root->GetState(), kFxInactive);
}

TEST_F(FxTree, EndWithoutLoopDeactivatesTheTree) {
    test::EffectFileWriter file("Root");
    file.Set("FxLifeSpan", 0.1);
    file.AddNode("Dummy").Set("FxLifeSpan", 5.0).AddNode("Dummy");
    FxBase* root = Load(file);
    ASSERT_NE(root, nullptr);
    for (int i = 0; i < 400 && root->GetState() != kFxInactive; ++i) root->Update();
    EXPECT_EQ(root->GetState(), kFxInactive);
    EXPECT_EQ(Child(Child(root, 0), 0)->GetState(), kFxInactive);
    EXPECT_EQ(mgr.CountPlaying(), 0);
}

TEST_F(FxTree, LoopShorterThanOneStep) {
    test::EffectFileWriter file("Root");
    file.Set("Loop", "1").Set("FxLifeSpan", 0.001).Set("EndLessPlay", "false");
    file.AddNode("Dummy").Set("FxLifeSpan", 0.0005);
    FxBase* root = Load(file);
    ASSERT_NE(root, nullptr);
    EXPECT_FLOAT_EQ(root->GetLifeSpan(), 0.001f);
    for (int i = 0; i < 10; ++i) root->Update();  // one re-run a frame, then the next frame
    EXPECT_EQ(root->GetTime(), 0.0f);
    EXPECT_NE(root->GetState(), kFxInactive);
}

// A node that its culling always rejects.
struct CulledFx : FxBase {
    bool UpdateCulling() override {
        m_culled = 1;
        return true;
    }
};

TEST_F(FxTree, CulledRootsKeepTheirClockUnlessUpdatedAlways) {
    for (const char* always : {"false", "true"}) {
        test::EffectFileWriter file("Root");
        file.Set("UpdateAlways", always).Set("FxLifeSpan", 10.0);
        file.Add("Skipped");
        test::XmlDoc doc(file.Text());
        CulledFx root;
        root.MakeRoot();
        ASSERT_TRUE(root.LoadFromXml(doc.root, kFlags));
        root.SetFrameTime(kStep);
        for (int i = 0; i < 3; ++i) root.Update();
        const float want = std::string(always) == "true" ? 3 * kStep : kStep;
        EXPECT_NEAR(root.GetTime(), want, 1e-6f) << always;
    }
}

TEST_F(FxTree, FailingTrackDropsTheChildOnce) {
    const std::size_t tracks = TrackRegistry::GetInstance().Count();
    test::EffectFileWriter file("Root");
    auto& bad = file.AddNode("Dummy").Set("Name", "bad").Set("TrackType", 5);
    bad.Add("TrackSampled");
    bad.AddNode("Dummy");
    file.AddNode("Dummy").Set("Name", "fly").Set("TrackType", 6).Add("TrackFlyInBox");
    file.AddNode("Dummy").Set("Name", "line").Set("TrackType", 1).Add("TrackLine").Set("StartPos", "0,0,0").Set(
        "EndPos", "10,0,0").Set("TimeLen", "1000");
    FxBase* root = Load(file);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->ChildCount(), 2);
    EXPECT_STREQ(root->GetChildName(0), "fly");
    EXPECT_EQ(Child(root, 0)->GetTrack(), nullptr);
    EXPECT_NE(Child(root, 1)->GetTrack(), nullptr);
    EXPECT_EQ(Child(root, 1)->GetBindMode(), 7);
    int warnings = 0;
    for (const std::string& line : log.Lines())
        warnings += line.find("track in fx created failed, operation followed unexpected") != std::string::npos;
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(TrackRegistry::GetInstance().Count(), tracks + 1);
    mgr.ReleaseAll();
    EXPECT_EQ(TrackRegistry::GetInstance().Count(), tracks);
}

TEST_F(FxTree, DetachAndRemove) {
    test::EffectFileWriter file("Root");
    for (const char* name : {"a", "b", "c"}) file.AddNode("Dummy").Set("Name", name);
    FxBase* root = Load(file);
    ASSERT_NE(root, nullptr);
    FxBase* b = Child(root, 1);
    root->DetachChild(1, false);  // already attached: nothing
    root->DetachChild(7, true);
    ASSERT_EQ(root->ChildCount(), 3);
    root->DetachChild(1, true);
    ASSERT_EQ(root->ChildCount(), 2);
    EXPECT_STREQ(root->GetChildName(1), "c");
    EXPECT_TRUE(b->IsIndependent());
    EXPECT_EQ(b->Parent(), nullptr);
    mgr.AddObject(b);
    EXPECT_EQ(mgr.Count(), 2);
    // An attached node removed through the manager leaves its parent's list first.
    mgr.RemoveEffect(Child(root, 0));
    ASSERT_EQ(root->ChildCount(), 1);
    EXPECT_STREQ(root->GetChildName(0), "c");
    mgr.RemoveEffect(b);
    EXPECT_EQ(mgr.Count(), 1);
}

TEST_F(FxTree, Report) {
    test::EffectFileWriter file("Root");
    file.Set("Name", "root").Set("PosOffset", "1,2,3");
    file.AddNode("Dummy").Set("Name", "kid").AddNode("Dummy").Set("Name", "grandkid");
    FxBase* root = Load(file);
    ASSERT_NE(root, nullptr);
    root->SetPause(true);
    host::XmlNode* doc = host::XmlNode::NewDocument();
    common::IXmlNode* top = doc->AddChildElement("Report");
    mgr.DumpProperties(top);
    const std::string text = static_cast<host::XmlNode*>(top)->ToString();
    top->Release();
    doc->Release();
    EXPECT_NE(text.find(R"(<FxMgr><Fx name="root" type="6" position="1.000000,2.000000,3.000000" )"
                        R"(world_position="1.000000,2.000000,3.000000" visible="true" state="0" pause="true" )"
                        R"(frame_rate="1.000000" cur_time="0.000000"><Fx name="kid")"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(R"(<Fx name="grandkid")"), std::string::npos);
}

struct DirectionCase {
    const char* what;
    int type;
    bool inverse;
    Vec3 first, second, direction;
    Vec3 wantDirection, wantFirstAxis, wantSecondAxis;
};

TEST_F(FxTree, ResolveDirectionTable) {
    const Vec3 untouched(7, 7, 7);
    const DirectionCase cases[] = {
        {"first vector", 2, false, {0, 0, 2}, {0, 9, 0}, {5, 5, 5}, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}},
        {"second vector, vertical", 3, false, {0, 0, 2}, {0, 5, 0}, {5, 5, 5}, {0, 1, 0}, {0, 0, -1}, {1, 0, 0}},
        {"flattened", 1, true, {}, {}, {3, 4, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {"flattened without the inverse", 1, false, {}, {}, {0, 4, 3}, {0, 0, 1}, {0, 1, 0}, {-1, 0, 0}},
        {"too short", 0, true, {}, {}, {1e-6f, 0, 0}, {1e-6f, 0, 0}, untouched, untouched},
        {"flattened to nothing", 1, false, {}, {}, {0, 3, 0}, {0, 0, 0}, untouched, untouched},
        {"kept, vertical", 0, false, {}, {}, {0, -2, 0}, {0, -1, 0}, {0, 0, 1}, {1, 0, 0}},
    };
    FxBase node;
    for (const DirectionCase& c : cases) {
        SCOPED_TRACE(c.what);
        Vec3 direction = c.direction, a = untouched, b = untouched;
        node.ResolveDirection(c.first, c.second, c.type, c.inverse, direction, a, b);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(direction[i], c.wantDirection[i], 1e-6f) << i;
            EXPECT_NEAR(a[i], c.wantFirstAxis[i], 1e-6f) << i;
            EXPECT_NEAR(b[i], c.wantSecondAxis[i], 1e-6f) << i;
        }
    }
}

TEST_F(FxTree, BadInputIsRefused) {
    const std::string deep = [] {
        std::string open, close;
        for (int i = 0; i < 70; ++i) {
            open += "<Dummy>";
            close = "</Dummy>" + close;
        }
        return "<Root>" + open + "<x/>" + close + "</Root>";
    }();
    const struct {
        const char* what;
        std::string text;
        bool loads;
    } cases[] = {
        {"no child element", "<Root Name=\"x\"/>", false},
        {"only unknown kinds", "<Root><Particle/></Root>", true},
        {"kinds without creators yet", "<Root><Sprite/><FxCamera/></Root>", true},
        {"not xml", "<Root><Dummy></Root>", false},
        {"deeper than 64 levels", deep, false},
        {"NaN and huge numbers", "<Root FxLifeSpan=\"nan\" FxStartTime=\"1e39\"><Dummy FxLifeSpan=\"-inf\" "
                                 "RenderOrder=\"99999999999\" PosOffset=\"1e40,nan,\"/></Root>", true},
        {"long names", "<Root Name=\"" + std::string(200, 'n') + "\" BoneName=\"" + std::string(300, 'b') +
                           "\"><Dummy/></Root>", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::XmlDoc doc(c.text);
        FxBase* root = mgr.CreateFromElement(doc.root, kFlags);
        EXPECT_EQ(root != nullptr, c.loads);
        if (!root) continue;
        EXPECT_LE(std::strlen(root->GetName()), 39u);
        EXPECT_LE(std::strlen(root->GetBoneName()), 47u);
        for (int i = 0; i < 5; ++i) root->Update();
        root->Render();
        delete root;
    }
}

}  // namespace
}  // namespace quor::world
