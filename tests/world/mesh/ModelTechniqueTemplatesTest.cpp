#include "world/mesh/ModelMaterial.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/core/ObjectModelSupport.h"

namespace {

using namespace quor;
using namespace quor::test;

// Releases what the templates made when the test ends.
struct Templates {
    Templates() { EXPECT_TRUE(world::RegisterModelTechniqueTemplates()); }
    ~Templates() { world::ReleaseMaterialStateCaches(); }
};

TEST(ModelTechniqueTemplates, DescriptionsFollowTheTemplatesInOrder) {
    RendererScope scope;
    Templates templates;
    const std::string bounds = " bounds -3.40282347e+38 3.40282347e+38 0 1";
    const std::string colourOp = "param DiffuseColorOp type 2 count 1 stage-state 0 1 picker ListPicker_ColorOp label "
                                 "\xD1\xD5\xC9\xAB\xD4\xCB\xCB\xE3" + bounds + " default 0x4";
    const std::string tex0 = "param Tex0 type 9 count 1 texture 0 0 picker FilePicker label "
                             "\xD1\xD5\xC9\xAB\xCC\xF9\xCD\xBC" + bounds;
    const std::vector<std::string> stageZero = {"stage 0 1 4", "stage 0 4 4", "stage 0 2 3",
                                                "stage 0 3 2", "stage 0 5 3", "stage 0 6 2"};
    std::vector<std::string> normal = {"depth 0 1 0"};
    normal.insert(normal.end(), stageZero.begin(), stageZero.end());
    normal.insert(normal.end(), {"stage-setter 1 5 -1", colourOp, tex0});
    std::vector<std::string> alpha = {"depth 0 1 1", "raster 0 0 1", "raster 0 1 3"};
    alpha.insert(alpha.end(), stageZero.begin(), stageZero.end());
    alpha.insert(alpha.end(), {"stage 1 1 2", "stage 1 4 4", "stage 1 2 1", "stage 1 5 1", "stage 1 6 4", colourOp,
                               "param Alpha type 3 count 1 render-state 0 60 picker AlphaPicker label "
                               "\xCD\xB8\xC3\xF7\xB6\xC8" + bounds + " default 0xFF000000",
                               tex0});
    EXPECT_EQ(scope.renderer.TechniqueNames(), (std::vector<std::string>{"<ModelNormalTech>", "<ModelAlphaTech>"}));
    EXPECT_EQ(scope.renderer.TechniqueDescription("<ModelNormalTech>"), normal);
    EXPECT_EQ(scope.renderer.TechniqueDescription("<ModelAlphaTech>"), alpha);
    EXPECT_EQ(scope.renderer.Calls(), (std::vector<std::string>{"GetTechnique(<ModelNormalTech>)",
                                                                "GetTechnique(<ModelAlphaTech>)", "CreateRenderState"}));
    for (int s = 0; s < 16; ++s) {
        for (int d = 0; d < 16; ++d) EXPECT_EQ(world::SharedBlendState(s, d), nullptr);
    }
    EXPECT_EQ(world::SharedBlendState(16, 0), nullptr);
}

TEST(ModelTechniqueTemplates, GlobalStateGoesThroughTheSharedStageState) {
    RendererScope scope;
    EXPECT_FALSE(world::SetGlobalMaterialState(1, 2, 3, 4));  // nothing to set before start-up
    Templates templates;
    EXPECT_TRUE(world::SetGlobalMaterialState(1, 2, 3, 4));
    world::SetGlobalMaterialFloat(0.5f);
    auto* state = static_cast<host::RecordingRenderState*>(world::SharedStageState());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->values, (std::vector<std::pair<std::int32_t, float>>{{1, 1.f}, {2, 2.f}, {3, 3.f}, {8, 4.f}, {9, 0.5f}}));
    // A second registration keeps the first objects.
    EXPECT_TRUE(world::RegisterModelTechniqueTemplates());
    EXPECT_EQ(world::SharedStageState(), state);
    EXPECT_EQ(scope.renderer.LiveObjects(), 3);
}

TEST(ModelTechniqueTemplates, ReleaseFreesEverythingOnce) {
    RendererScope scope;
    ASSERT_TRUE(world::RegisterModelTechniqueTemplates());
    ASSERT_NE(world::DefaultModelTechnique(false), nullptr);
    ASSERT_NE(world::DefaultModelTechnique(true), nullptr);
    world::ReleaseMaterialStateCaches();
    world::ReleaseMaterialStateCaches();
    EXPECT_EQ(scope.renderer.LiveObjects(), 0);
    EXPECT_EQ(scope.renderer.BadReleases(), 0);
    EXPECT_EQ(world::DefaultModelTechnique(false), nullptr);
    EXPECT_EQ(world::SharedStageState(), nullptr);
}

// Loader threads fill the blend table and the render-mode cache at once: every entry is made
// once, and everyone gets the same object.
TEST(ModelTechniqueTemplates, SharedStatesAreMadeOnceAcrossThreads) {
    RendererScope scope;
    Templates templates;
    constexpr int kThreads = 8;
    std::vector<std::vector<render::IRenderState*>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &seen] {
            for (int i = 0; i < 256; ++i) {
                const int k = (i + 37 * t) % 256;
                seen[t].push_back(world::AcquireBlendState(k / 16, k % 16));
                seen[t].push_back(world::AcquireRenderModeState(1 + k % 3, k % 5, -1));
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(scope.renderer.LiveBlendStates(), 256);
    EXPECT_EQ(world::RenderModeStateCount(), 15u);
    EXPECT_EQ(scope.renderer.LiveStateBlocks(), 15);
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < 256; ++i) {
            const int k = (i + 37 * t) % 256;
            EXPECT_EQ(seen[t][2 * i], world::SharedBlendState(k / 16, k % 16));
            EXPECT_EQ(seen[t][2 * i + 1], world::AcquireRenderModeState(1 + k % 3, k % 5, -1));
        }
    }
    auto* state = static_cast<host::RecordingRenderState*>(world::SharedBlendState(2, 3));
    EXPECT_TRUE(state->blendEnabled);
    EXPECT_EQ(state->blendSource, 2);
    EXPECT_EQ(state->blendDestination, 3);
    EXPECT_EQ(state->blendSets, 1);
    EXPECT_EQ(world::AcquireBlendState(16, 0), nullptr);
    world::ReleaseMaterialStateCaches();
    EXPECT_EQ(scope.renderer.LiveObjects(), 0);
    EXPECT_EQ(scope.renderer.BadReleases(), 0);
}

}  // namespace
