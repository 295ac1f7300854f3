#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingResources.h"
#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/fx/FxTestSupport.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxMgr.h"
#include "world/fx/FxRenderStates.h"
#include "world/scene/World.h"

namespace quor::world {
namespace {

struct FxRender : testing::Test {
    FxRender() {
        Interfaces().renderer = &renderer();
        Interfaces().pyClient = nullptr;
    }
    ~FxRender() override { FxBase::ReleaseSharedMaterials(); }
    host::RecordingRenderer& renderer() { return log.bound.host.renderer; }
    bool Logged(const std::string& text) const { return log.Contains(text); }

    test::LogCapture log;
};

TEST_F(FxRender, SharedMaterials) {
    renderer().Store()->DefineEffect("res/effect/sfx0.fx::Fx");
    renderer().Store()->DefineEffect("res/effect/sfx2.fx::Fx");
    FxBase::CreateSharedMaterials();
    const char* names[3] = {"FxTech SrcAlpha", "FxTech SrcColor", "FxTech SrcAlpha-One"};
    const char* blend[3] = {"raster.1(3,0)", "raster.1(5,0)", "raster.1(9,0)"};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        auto* effect = static_cast<host::RecordingEffect*>(FxBase::GetSharedMaterial(i));
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(effect->techniqueName, names[i % 3]);
        std::vector<std::string> want = {"label.0(0,0)", "label.3(0,0)", "stage.1(0,4)", "blend.3(0,1)",
                                         "sampler0.0(3,0)"};
        if (i >= 3 && i != 4) want.push_back("depth.1(1,0)");
        want.push_back(blend[i % 3]);
        // The missing loaded material of blend 1 is the plain one.
        if (i != 4) {
            EXPECT_EQ(effect->stateCalls, want);
        }
    }
    EXPECT_EQ(FxBase::GetSharedMaterial(4), FxBase::GetSharedMaterial(1));
    // The plain material stands in: told once, as information.
    EXPECT_TRUE(Logged("shared effect material 4 not made")) << log.Joined();
    EXPECT_FALSE(Logged("[WARNING]")) << log.Joined();
    EXPECT_EQ(FxBase::SharedMaterialForBlend(2, 1, true), FxBase::GetSharedMaterial(5));
    EXPECT_EQ(FxBase::SharedMaterialForBlend(7, 1, false), FxBase::GetSharedMaterial(1));
    EXPECT_TRUE(Logged("BlendMode 7 is not one of 0, 1, 2; 1 taken"));
    EXPECT_EQ(FxBase::GetSharedMaterial(6), nullptr);
    FxBase::ReleaseSharedMaterials();
    EXPECT_EQ(FxBase::GetSharedMaterial(0), nullptr);
    EXPECT_EQ(renderer().LiveEffects(), 0);
    EXPECT_EQ(renderer().BadReleases(), 0);
}

// A drawing node: its draw state and effect as a drawing kind sets them at load.
struct DrawnFx : FxBase {
    void Give(render::IVertexBuffer* drawState, render::IEffect* effect, int zKey) {
        m_drawState = drawState;
        m_effect = effect;
        m_zKey = zKey;
    }
};

TEST_F(FxRender, RenderStateZBufferAndZWriteGoDownTheTree) {
    test::EffectFileWriter file("Root");
    file.AddNode("Dummy").Set("Name", "kid");
    test::XmlDoc doc(file.Text());
    DrawnFx root;
    root.MakeRoot();
    ASSERT_TRUE(root.LoadFromXml(doc.root, 0));
    render::IVertexBuffer* stream = renderer().CreateVertexBuffer();
    render::IEffect* effect = renderer().CreateEffect();
    root.Give(stream, effect, 1);
    auto* recorded = static_cast<host::RecordingVertexBuffer*>(stream);

    root.SetZWrite(1);
    root.SetBlendMode(0x100, 5);  // only the low byte of the flag counts
    render::IRenderState* state = root.GetRenderStateObject();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state, GetRenderState(3, 0, 3, 5));
    EXPECT_EQ(recorded->renderState, state);
    EXPECT_EQ(recorded->zWrite, 1);
    auto* values = &static_cast<host::RecordingRenderState*>(state)->values;
    ASSERT_GE(values->size(), 4u);
    EXPECT_EQ(values->back(), (std::pair<std::int32_t, float>(render::kFxStateParam1, -1.0f)));
    // The child (no z-buffer key, flag byte set) takes its own cached state.
    root.SetBlendMode(1, 5);
    EXPECT_EQ(root.ChildAt(0)->GetRenderStateObject(), GetRenderState(1, 8, 3, 5));
    EXPECT_EQ(RenderStateCacheSize(), 4u);

    root.EnableZBuffer(false);
    EXPECT_FALSE(root.IsZBufferEnabled());
    EXPECT_FALSE(recorded->depthEnabled);
    root.EnableZBuffer(true);
    EXPECT_TRUE(recorded->depthEnabled);
    EXPECT_FALSE(root.ChildAt(0)->IsZBufferEnabled());  // no effect of its own

    root.Give(nullptr, nullptr, 0);
    renderer().ReleaseVertexBuffer(stream);
    renderer().ReleaseEffect(effect);
}

TEST_F(FxRender, DrawIsTimedOnTheScriptObject) {
    test::EffectFileWriter file("Root");
    file.AddNode("Dummy");
    test::XmlDoc doc(file.Text());
    FxMgr mgr;
    FxBase* root = mgr.CreateFromElement(doc.root, 0x20);
    ASSERT_NE(root, nullptr);
    mgr.AddObject(root);
    root->DrawParts(1);  // no script client: drawn alone
    host::RecordingScriptClient& script = log.bound.host.scriptClient;
    Interfaces().pyClient = &script;
    script.object.SetClock(10.0f, 0.25f);
    root->DrawParts(1);
    EXPECT_EQ(script.object.Calls(), (std::vector<std::pair<int, float>>{{5, 0.25f}}));
    script.withObject = false;
    root->DrawParts(1);
    EXPECT_EQ(script.object.Calls().size(), 1u);
    Interfaces().pyClient = nullptr;
}

TEST_F(FxRender, WorldAnswersEffectNodes) {
    test::EffectFileWriter file("Root");
    file.AddNode("Dummy");
    test::XmlDoc doc(file.Text());
    FxMgr mgr;
    FxBase* root = mgr.CreateFromElement(doc.root, 0);
    ASSERT_NE(root, nullptr);
    mgr.AddObject(root);
    EXPECT_EQ(World::Instance().AsFxBase(root), static_cast<IFxBase*>(root));
    EXPECT_EQ(World::Instance().AsFxBase(root->ChildAt(0)), static_cast<IFxBase*>(root->ChildAt(0)));
    SpaceObject plain;
    EXPECT_EQ(World::Instance().AsFxBase(&plain), nullptr);
    EXPECT_EQ(World::Instance().AsFxBase(nullptr), nullptr);

    root->SetPause(true);
    EXPECT_FALSE(Logged("pause false"));
    root->SetPause(false);
    EXPECT_TRUE(Logged("pause false"));
    root->SetPlaySpeed(2.0f);
    EXPECT_EQ(root->ChildAt(0)->GetPlaySpeed(), 2.0f);
    root->SetUserValue(9);
    EXPECT_EQ(root->ChildAt(0)->GetFxUserValue(), 9);
    root->Deactivate();
    EXPECT_EQ(root->GetState(), kFxInactive);
    root->Reset();
    EXPECT_EQ(root->GetChildState(0), kFxReady);
}

TEST_F(FxRender, ReleaseCancelsPendingLoadsOnce) {
    auto* node = new FxBase();  // one pending load, as the scene's asynchronous effect has
    ASSERT_EQ(node->GetPendingLoads(), 1);
    node->Release();
    node->Release();
    const std::vector<const void*> cancelled = log.bound.host.client.CancelledOwners();
    EXPECT_EQ(std::count(cancelled.begin(), cancelled.end(), node), 1);
    delete node;
    EXPECT_EQ(log.bound.host.client.CancelledOwners().size(), cancelled.size());
    FxBase loaded;
    loaded.SetPendingLoads(0);
}

}  // namespace
}  // namespace quor::world
