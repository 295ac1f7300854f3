#include <gtest/gtest.h>

#include <vector>

#include "platform/host/RecordingClient.h"
#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/fx/FxTestSupport.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/FxMgr.h"
#include "world/fx/SpeedRateFx.h"

namespace quor::world {
namespace {

struct SpeedRate : testing::Test {
    test::LogCapture log;
    host::RecordingClient client;
    FxMgr mgr;

    SpeedRate() { Interfaces().client = &client; }
    ~SpeedRate() override {
        mgr.ReleaseAll();
        Interfaces().client = nullptr;
    }

    // A root holding one speed-rate node of the life span; keys when given.
    SpeedRateFx* Load(float lifeSpan, const std::vector<std::pair<float, float>>& keys) {
        test::EffectFileWriter file("Root");
        file.Set("FxLifeSpan", 0.0);
        auto& node = file.Add("SpeedRate").Set("FxLifeSpan", static_cast<double>(lifeSpan));
        if (keys.empty())
            node.Add("Pad");
        else
            node.AddFloatKeys("SpeedRateFrame", 0, keys);
        test::XmlDoc doc(file.Text());
        FxBase* root = mgr.CreateFromElement(doc.root, kFxFlagReadLoop);
        if (!root) return nullptr;
        mgr.AddObject(root);
        root->SetFrameTime(0.25f);
        return dynamic_cast<SpeedRateFx*>(root->ChildAt(0));
    }
    float Last() const { return client.TimeScales().back(); }
};

TEST_F(SpeedRate, FollowsTimeOverLifeSpanOrTheKeys) {
    struct Case {
        float lifeSpan;
        std::vector<std::pair<float, float>> keys;
        float atStart, atMiddle;
    };
    const Case cases[] = {
        {2.0f, {}, 0.0f, 0.5f},
        {2.0f, {{0.0f, 1.0f}, {10.0f, 0.2f}}, 1.0f, 0.6f},
        {4.0f, {{0.0f, 1.0f}, {10.0f, 0.2f}}, 1.0f, 0.6f},
    };
    for (const Case& c : cases) {
        SpeedRateFx* node = Load(c.lifeSpan, c.keys);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetKind(), kFxKindPlain);
        FxBase* root = node->GetRoot();
        root->Update();  // the node starts; its time is still 0
        EXPECT_FLOAT_EQ(Last(), c.atStart);
        while (node->GetTime() < c.lifeSpan * 0.5f) root->Update();
        EXPECT_FLOAT_EQ(node->GetTime(), c.lifeSpan * 0.5f);
        EXPECT_NEAR(Last(), c.atMiddle, 1e-6f);
        mgr.ReleaseAll();
        EXPECT_EQ(Last(), 1.0f);
    }
}

TEST_F(SpeedRate, LastValueRepeatsAfterTheEndAndReleaseRestores) {
    SpeedRateFx* node = Load(1.0f, {{0.0f, 0.5f}, {1.0f, 0.1f}});
    ASSERT_NE(node, nullptr);
    FxBase* root = node->GetRoot();
    for (int i = 0; i < 12; ++i) root->Update();
    const float end = Last();
    EXPECT_NEAR(end, 0.1f, 1e-6f);
    // Its time no longer advances: every further frame sets the same scale.
    for (int i = 0; i < 3; ++i) {
        node->Update();
        EXPECT_EQ(Last(), end);
    }
    const std::size_t before = client.TimeScales().size();
    mgr.RemoveEffect(root);
    ASSERT_EQ(client.TimeScales().size(), before + 1);
    EXPECT_EQ(Last(), 1.0f);
}

TEST_F(SpeedRate, ZeroLifeSpanIsAtItsEndAndAnUnplayedNodeRestoresNothing) {
    SpeedRateFx* node = Load(0.0f, {});
    ASSERT_NE(node, nullptr);
    node->Update();
    EXPECT_EQ(Last(), 1.0f);

    mgr.ReleaseAll();
    client.Clear();
    ASSERT_NE(Load(1.0f, {}), nullptr);
    mgr.ReleaseAll();
    EXPECT_TRUE(client.TimeScales().empty());
}

}  // namespace
}  // namespace quor::world
