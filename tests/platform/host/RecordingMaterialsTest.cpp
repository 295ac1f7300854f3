#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingLog.h"
#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/MaterialFileWriter.h"

namespace {

using namespace quor;

struct Fixture {
    Fixture() {
        renderer.Attach(&files, &log);
        files.AddFile("tex/body.dds", std::string_view("DDS "));
        files.AddFile("tex/head.dds", std::string_view("DDS "));
        renderer.Store()->DefineEffect("file.fx::T", 1, false, {"Tex0", "Mask"});
        renderer.Store()->DefineEffect("file.fx::TAlpha", 1, true);
        renderer.Store()->DefineTexture("anim.dds", 8, 0.4f);
    }
    // A group of body, head and glass: default-technique materials loading "tex/<name>.dds"
    // (glass's file is missing), glass on an effect file's technique.
    test::MaterialGroupDesc Group() const {
        test::MaterialGroupDesc g = test::MakeMaterialGroup({"body", "head", "glass"});
        for (auto& slot : g.slots) slot.material.stages[0].file = "tex/" + slot.name + ".dds";
        g.slots[2].material.technique = "file.fx::T";
        g.defaultSlot = 1;
        return g;
    }
    render::IMaterialGroup* Make(const test::MaterialGroupDesc& desc) {
        const auto bytes = test::WriteMaterialGroup(desc);
        return renderer.CreateMaterialGroup(bytes.data(), std::uint32_t(bytes.size()), -5);
    }
    void ExpectNothingAlive() {
        EXPECT_EQ(renderer.LiveMaterials(), 0);
        EXPECT_EQ(renderer.LiveMaterialGroups(), 0);
        EXPECT_EQ(renderer.LiveTextures(), 0);
        EXPECT_EQ(renderer.LiveEffects(), 0);
        EXPECT_EQ(renderer.LiveObjects(), 0);
        EXPECT_EQ(renderer.BadReleases(), 0);
    }

    host::MemoryFileSystem files;
    host::RecordingLog log;
    host::RecordingRenderer renderer;
};

render::TechniqueDesc NormalDesc(std::vector<render::TechniqueParam>& params) {
    render::TechniqueParam colourOp;
    colourOp.name = "DiffuseColorOp";
    render::TechniqueParam tex;
    tex.name = "Tex0";
    tex.binding = render::TechniqueParam::kTexture;
    params = {colourOp, tex};
    render::TechniqueDesc desc;
    desc.params = params.data();
    desc.paramCount = std::uint32_t(params.size());
    return desc;
}

TEST(RecordingMaterials, GroupFromABlockAnswersItsSlots) {
    Fixture f;
    std::vector<render::TechniqueParam> params;
    const render::TechniqueDesc desc = NormalDesc(params);
    render::IEffect* normal = f.renderer.GetTechnique("<ModelNormalTech>", &desc);

    render::IMaterialGroup* g = f.Make(f.Group());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->GetSlotCount(), 3u);
    EXPECT_STREQ(g->GetSlotName(2), "glass");
    EXPECT_EQ(g->GetSlotName(3), nullptr);
    render::IMaterial* body = g->GetSlotMaterial(0);
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body->GetName(), "body");
    EXPECT_EQ(body->GetTechnique(), normal);
    EXPECT_EQ(g->FindSlot(body), 0);
    EXPECT_EQ(g->FindSlot(nullptr), -1);
    EXPECT_EQ(g->FindSlotByName("head"), 1);
    EXPECT_EQ(g->FindSlotByName("Head"), -1);
    EXPECT_EQ(g->GetDefaultMaterial(), g->GetSlotMaterial(1));
    std::uint32_t values[4] = {9, 9, 9, 9};
    ASSERT_TRUE(g->GetSlotValues(1, values));
    EXPECT_EQ(values[0], 5u);
    EXPECT_EQ(values[3], 8u);
    EXPECT_FALSE(g->GetSlotValues(3, values));

    // Stages by name; the present texture file loaded with the group's mip argument, the
    // missing one left blank.
    auto* b = static_cast<host::RecordingMaterial*>(body);
    EXPECT_STREQ(body->GetTextureName(0), "Tex0");
    EXPECT_EQ(body->GetTextureName(1), nullptr);
    ASSERT_NE(b->stages[0].texture, nullptr);
    EXPECT_EQ(static_cast<host::RecordingTexture*>(b->stages[0].texture)->mipLevels, -5);
    auto* glass = static_cast<host::RecordingMaterial*>(g->GetSlotMaterial(2));
    EXPECT_EQ(glass->stages[0].texture, nullptr);
    ASSERT_NE(glass->GetTechnique(), nullptr);
    EXPECT_EQ(glass->GetTechnique()->GetKind(), 1);
    EXPECT_STREQ(glass->GetTechnique()->GetName(), "file.fx::T");
    EXPECT_EQ(f.renderer.LiveTextures(), 2);
    EXPECT_EQ(f.renderer.LiveEffects(), 2);  // the template and the file technique the glass holds

    f.renderer.ReleaseMaterial(g);
    f.renderer.ReleaseEffect(normal);
    f.ExpectNothingAlive();
    // Released objects stay readable.
    EXPECT_STREQ(g->GetSlotName(0), "body");
}

TEST(RecordingMaterials, FilesLoadThroughTheFileSystem) {
    Fixture f;
    f.files.AddFile("m/a.mtg", test::WriteMaterialGroup(f.Group()));
    test::MaterialDesc body = f.Group().slots[0].material;
    f.files.AddFile("m/mat/body.mtl", test::WriteMaterial(body));
    f.files.AddFile("m/mat/broken.mtl", std::string_view("<Material version=\"1\""));

    render::IMaterialGroup* g = f.renderer.LoadMaterialGroupFile("m/a.mtg", -3, 0, 0);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->GetSlotCount(), 3u);
    render::IMaterial* m = f.renderer.LoadMaterialFile("m/mat/body.mtl", -3, 0);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->GetName(), "body");
    EXPECT_EQ(f.renderer.LoadMaterialFile("m/mat/none.mtl", -3, 0), nullptr);
    EXPECT_EQ(f.renderer.LoadMaterialFile("m/mat/broken.mtl", -3, 0), nullptr);
    EXPECT_EQ(f.renderer.LoadMaterialGroupFile("m/none.mtg", -3, 0, 0), nullptr);
    const std::vector<std::string> errors = f.renderer.Store()->Errors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0], "Material file m/mat/none.mtl not found");
    EXPECT_EQ(errors[1].rfind("Bad material file m/mat/broken.mtl: not XML", 0), 0u);
    EXPECT_EQ(errors[2], "Material group file m/none.mtg not found");
    EXPECT_EQ(f.log.Entries().size(), 3u);
    const std::vector<std::string> calls = f.renderer.Calls();
    EXPECT_EQ(calls[0], "LoadMaterialGroupFile(m/a.mtg,-3,0,0)");
    EXPECT_EQ(calls[1], "LoadMaterialFile(m/mat/body.mtl,-3,0)");

    f.renderer.ReleaseMaterial(m);
    f.renderer.ReleaseMaterial(g);
    f.ExpectNothingAlive();
}

// A folder of materials becomes a group: named slots, each material added (the group taking
// its own reference) and the caller's reference given back.
TEST(RecordingMaterials, GroupBuiltFromMaterialsCountsReferences) {
    Fixture f;
    f.files.AddFile("mat/head.mtl", test::WriteMaterial(f.Group().slots[1].material));
    f.files.AddFile("mat/body.mtl", test::WriteMaterial(f.Group().slots[0].material));
    render::IMaterialGroup* g = f.renderer.CreateMaterialGroupObject();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->GetSlotCount(), 0u);
    EXPECT_EQ(g->GetDefaultMaterial(), nullptr);
    g->SetSlotCount(2);
    EXPECT_TRUE(g->SetSlotName(0, "body"));
    EXPECT_TRUE(g->SetSlotName(1, "head"));
    EXPECT_FALSE(g->SetSlotName(2, "x"));
    for (const char* path : {"mat/head.mtl", "mat/body.mtl"}) {
        render::IMaterial* m = f.renderer.LoadMaterialFile(path, -3, 0);
        ASSERT_NE(m, nullptr);
        EXPECT_TRUE(g->AddMaterial(m));
        f.renderer.ReleaseMaterial(m);
    }
    EXPECT_FALSE(g->AddMaterial(nullptr));
    EXPECT_STREQ(g->GetSlotMaterial(0)->GetName(), "body");
    EXPECT_STREQ(g->GetSlotMaterial(1)->GetName(), "head");
    EXPECT_EQ(f.renderer.LiveMaterials(), 2);

    // Replacing a slot's material gives the old one back; shrinking drops the dropped slots'.
    render::IMaterial* other = f.renderer.CreateMaterial(f.renderer.LoadEffect("file.fx", "T"));
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(g->SetSlotMaterial(0, other));
    EXPECT_FALSE(g->SetSlotMaterial(5, other));
    f.renderer.ReleaseMaterial(other);
    EXPECT_EQ(f.renderer.LiveMaterials(), 2);
    g->SetSlotCount(1);
    EXPECT_EQ(f.renderer.LiveMaterials(), 1);
    f.renderer.ReleaseMaterial(g);
    // The effect LoadEffect handed out is still the caller's.
    EXPECT_EQ(f.renderer.LiveEffects(), 1);
    f.renderer.ReleaseEffect(other->GetTechnique());
    f.ExpectNothingAlive();
}

TEST(RecordingMaterials, BadReleasesAreCounted) {
    Fixture f;
    host::RecordingRenderer stranger;
    render::IMaterialGroup* g = f.Make(f.Group());
    render::IMaterial* foreign = stranger.CreateMaterial(stranger.CreateEffect());
    render::IEffect* effect = f.renderer.FindEffect("file.fx::T");
    render::ITexture* texture = f.renderer.LoadTexture("anim.dds", 0, 0, -3, 0, 0, 0);
    render::IRenderState* blend = f.renderer.CreateBlendState();
    ASSERT_TRUE(g && foreign && effect && texture && blend);

    f.renderer.ReleaseMaterial(g);
    f.renderer.ReleaseEffect(effect);
    f.renderer.ReleaseTexture(texture);
    f.renderer.ReleaseStateBlock(blend);
    EXPECT_EQ(f.renderer.BadReleases(), 0);
    f.renderer.ReleaseMaterial(g);          // twice
    f.renderer.ReleaseEffect(effect);       // twice
    f.renderer.ReleaseTexture(texture);     // twice
    f.renderer.ReleaseStateBlock(blend);    // twice
    f.renderer.ReleaseMaterial(foreign);    // another renderer's
    f.renderer.ReleaseMaterial(static_cast<render::IMaterial*>(nullptr));
    EXPECT_EQ(f.renderer.BadReleases(), 6);
    EXPECT_EQ(stranger.LiveMaterials(), 1);
    stranger.ReleaseMaterial(foreign);
    EXPECT_EQ(stranger.LiveMaterials(), 0);
}

TEST(RecordingMaterials, EffectsByNameAreSharedAndCounted) {
    Fixture f;
    EXPECT_EQ(f.renderer.FindEffect("a.tech"), nullptr);
    EXPECT_EQ(f.renderer.LoadEffect("file.fx", "TNoShader"), nullptr);
    render::IEffect* loaded = f.renderer.LoadEffect("file.fx", "TAlpha");
    render::IEffect* described = f.renderer.CreateEffectFromDesc("file.fx::TAlpha");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(described, loaded);
    EXPECT_TRUE(loaded->IsTransparent());
    EXPECT_EQ(loaded->GetKind(), 1);
    EXPECT_EQ(f.renderer.LiveEffects(), 1);
    f.renderer.ReleaseEffect(loaded);
    EXPECT_EQ(f.renderer.LiveEffects(), 1);
    f.renderer.ReleaseEffect(described);
    EXPECT_EQ(f.renderer.LiveEffects(), 0);
    const std::vector<std::string> calls = f.renderer.Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "FindEffect(a.tech)");
    EXPECT_EQ(calls[1], "LoadEffect(file.fx,TNoShader)");
    EXPECT_EQ(calls[3], "CreateEffectFromDesc(file.fx::TAlpha)");
    // Released, the name makes a new object.
    render::IEffect* again = f.renderer.FindEffect("file.fx::TAlpha");
    EXPECT_NE(again, loaded);
    f.renderer.ReleaseEffect(again);
    f.ExpectNothingAlive();
}

TEST(RecordingMaterials, StateObjectsKeepTheirValues) {
    Fixture f;
    render::IRenderState* blend = f.renderer.CreateBlendState();
    blend->SetBlend(true, 5, 6);
    render::IRenderState* block = f.renderer.CreateStateBlock();
    block->SetRenderMode(3, 16, -1);
    render::IRenderState* plain = f.renderer.CreateRenderState();
    EXPECT_EQ(f.renderer.LiveBlendStates(), 1);
    EXPECT_EQ(f.renderer.LiveStateBlocks(), 1);
    EXPECT_EQ(f.renderer.LiveStates(), 3);
    auto* b = f.renderer.LastBlendState();
    EXPECT_TRUE(b->blendEnabled);
    EXPECT_EQ(b->blendSource, 5);
    EXPECT_EQ(b->blendDestination, 6);
    auto* s = f.renderer.LastStateBlock();
    EXPECT_EQ(s->renderMode, 3);
    EXPECT_EQ(s->modeValues[0], 16);
    EXPECT_EQ(s->modeValues[1], -1);
    // Every state object goes back through ReleaseStateBlock.
    for (render::IRenderState* state : {blend, block, plain}) f.renderer.ReleaseStateBlock(state);
    EXPECT_EQ(f.renderer.LiveStates(), 0);
    f.ExpectNothingAlive();
}

TEST(RecordingMaterials, TexturesCarryTheirAnimation) {
    Fixture f;
    EXPECT_EQ(f.renderer.LoadTexture("none.dds", 0, 0, -3, 0, 0, 0), nullptr);
    EXPECT_EQ(f.renderer.FindTexture("tex/body.dds"), nullptr);  // a file, not yet the renderer's
    render::ITexture* still = f.renderer.LoadTexture("tex/body.dds", 0, 0, -3, 0, 0, 0);
    render::ITexture* anim = f.renderer.FindTexture("anim.dds");
    ASSERT_TRUE(still && anim);
    EXPECT_EQ(f.renderer.FindTexture("tex/body.dds"), still);
    EXPECT_EQ(still->GetFrameCount(), 1u);
    EXPECT_EQ(still->GetDuration(), 0.0f);
    EXPECT_EQ(anim->GetFrameCount(), 8u);
    EXPECT_EQ(anim->GetDuration(), 0.4f);
    EXPECT_EQ(anim->GetState(), 3);
    anim->SetTime(120.0f);
    anim->SetSpeed(2.0f);
    auto* a = static_cast<host::RecordingTexture*>(anim);
    EXPECT_EQ(a->time, 120.0f);
    EXPECT_EQ(a->speed, 2.0f);
    for (render::ITexture* t : {still, still, anim}) f.renderer.ReleaseTexture(t);
    f.ExpectNothingAlive();
}

struct Listener final : render::IMaterialGroupCallback {
    void OnMaterialGroup(render::IMaterialGroup* group) override { heard.push_back(group); }
    std::vector<render::IMaterialGroup*> heard;
};

TEST(RecordingMaterials, CallbacksHearTheEndOfALoad) {
    Fixture f;
    render::IMaterialGroup* g = f.Make(f.Group());
    Listener a, b;
    g->RegisterCallback(&a);
    g->RegisterCallback(&a);
    g->RegisterCallback(&b);
    auto* group = static_cast<host::RecordingMaterialGroup*>(g);
    group->NotifyLoaded();
    g->UnregisterCallback(&b);
    group->NotifyLoaded();
    EXPECT_EQ(a.heard, (std::vector<render::IMaterialGroup*>{g, g}));
    EXPECT_EQ(b.heard, (std::vector<render::IMaterialGroup*>{g}));
    g->SetLoadFlag(1);
    EXPECT_EQ(g->GetLoadFlag(), 1);
    g->ApplyDefaultState();
    EXPECT_EQ(group->defaultStates, 1);
    f.renderer.ReleaseMaterial(g);
    group->NotifyLoaded();  // a released group tells no one
    EXPECT_EQ(a.heard.size(), 2u);
    f.ExpectNothingAlive();
}

TEST(RecordingMaterials, MaterialStateAndParameters) {
    Fixture f;
    render::IEffect* fileTech = f.renderer.LoadEffect("file.fx", "T");
    render::IMaterial* m = f.renderer.GetMeshMaterial(fileTech);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(static_cast<host::RecordingMaterial*>(m)->mesh);
    EXPECT_STREQ(m->GetTextureName(1), "Mask");
    render::ITexture* t = f.renderer.LoadTexture("tex/head.dds", 0, 0, -3, 0, 0, 0);
    EXPECT_TRUE(m->SetTexture("Mask", t));
    EXPECT_FALSE(m->SetTexture("Tex5", t));
    f.renderer.ReleaseTexture(t);
    EXPECT_EQ(f.renderer.LiveTextures(), 1);  // the material's reference

    render::IRenderState* stage = f.renderer.CreateRenderState();
    m->SetStageState(1, stage);
    render::TextureAnimation anim;
    anim.offsetU = 0.25f;
    m->SetTextureAnimation(1, anim);
    const float diffuse[4] = {1, 0.5f, 0.25f, 1};
    m->SetColours(diffuse, diffuse, diffuse, diffuse, 7.0f);
    m->SetAlphaTest(1);
    m->SetAlphaTestValues(3, 4);
    m->SetFlag(2, !m->GetFlag(1));
    const std::uint8_t record[3] = {1, 2, 3};
    m->SetRecord(record, 3);

    // A new material takes the state of the old one.
    render::IMaterial* copy = f.renderer.CreateMaterial(fileTech);
    copy->CopyStateFrom(m);
    auto* c = static_cast<host::RecordingMaterial*>(copy);
    EXPECT_EQ(c->stages[1].texture, t);
    EXPECT_EQ(c->stages[1].state, stage);
    EXPECT_EQ(c->stages[1].animation.offsetU, 0.25f);
    EXPECT_EQ(c->colours[0][1], 0.5f);
    EXPECT_EQ(c->power, 7.0f);
    EXPECT_EQ(c->alphaTestValues[1], 4);
    EXPECT_EQ(c->GetFlag(2), 1u);
    EXPECT_EQ(c->record.size(), 3u);

    render::IMaterialParams* p = m->GetParameters();
    ASSERT_NE(p, nullptr);
    const float matrices[32] = {1};
    auto* params = static_cast<host::RecordingMaterialParams*>(p);
    params->refused.insert("boneMatrix");
    EXPECT_FALSE(p->SetMatrixArray("boneMatrix", matrices, 2));
    EXPECT_TRUE(p->SetFloat("fAlpha", 1.0f));
    EXPECT_TRUE(p->SetVector("lightDir", diffuse, 3));
    EXPECT_FALSE(p->SetVector("lightDir", diffuse, 5));
    EXPECT_TRUE(p->SetMatrix("worldMatrix", matrices));
    EXPECT_TRUE(p->SetInt("Alpha", 0x7F000000));
    EXPECT_TRUE(p->SetFloatArray("g_temp", diffuse, 4));
    EXPECT_EQ(params->calls[0], "SetMatrixArray(boneMatrix,1,0,0,0,...[32])");
    EXPECT_EQ(params->calls[1], "SetFloat(fAlpha,1)");
    EXPECT_EQ(params->values["lightDir"], (std::vector<float>{1, 0.5f, 0.25f}));
    EXPECT_EQ(params->ints["Alpha"], 0x7F000000);

    // A technique swap keeps the counts right.
    render::IEffect* alpha = f.renderer.LoadEffect("file.fx", "TAlpha");
    EXPECT_TRUE(m->SetTechnique(alpha));
    EXPECT_FALSE(m->SetTechnique(nullptr));
    EXPECT_EQ(m->GetTechnique(), alpha);
    f.renderer.ReleaseEffect(alpha);
    f.renderer.ReleaseMaterial(m);
    f.renderer.ReleaseMaterial(copy);
    f.renderer.ReleaseEffect(fileTech);
    f.renderer.ReleaseStateBlock(stage);
    f.ExpectNothingAlive();
}

// Two renderers over one store hand out and take back the same objects.
TEST(RecordingMaterials, RenderersShareOneStore) {
    auto store = std::make_shared<host::RecordingStore>();
    store->DefineEffect("file.fx::T");
    store->DefineTexture("anim.dds", 4, 0.1f);
    host::RecordingRenderer a(store), b(store);
    const auto bytes = test::WriteMaterialGroup(test::MakeMaterialGroup({"body"}));
    render::IMaterialGroup* g = a.CreateMaterialGroup(bytes.data(), std::uint32_t(bytes.size()), -3);
    render::IEffect* e = a.LoadEffect("file.fx", "T");
    render::ITexture* t = a.LoadTexture("anim.dds", 0, 0, -3, 0, 0, 0);
    render::IRenderState* s = a.CreateStateBlock();
    ASSERT_TRUE(g && e && t && s);
    EXPECT_EQ(b.FindEffect("file.fx::T"), e);
    EXPECT_EQ(b.FindTexture("anim.dds"), t);
    EXPECT_EQ(b.LiveObjects(), a.LiveObjects());
    b.ReleaseMaterial(g);
    b.ReleaseEffect(e);
    b.ReleaseEffect(e);
    b.ReleaseTexture(t);
    b.ReleaseTexture(t);
    b.ReleaseStateBlock(s);
    EXPECT_EQ(a.LiveObjects(), 0);
    EXPECT_EQ(a.BadReleases(), 0);
    // Each keeps its own calls.
    EXPECT_EQ(a.Calls().size(), 4u);
    EXPECT_EQ(b.Calls().size(), 8u);
}

TEST(RecordingMaterials, HardwareSkinningIsTheTestsChoice) {
    host::RecordingRenderer r;
    EXPECT_FALSE(r.IsHardwareSkinning());
    r.SetHardwareSkinning(true);
    EXPECT_TRUE(r.IsHardwareSkinning());
    EXPECT_EQ(r.Calls().back(), "IsHardwareSkinning");
}

}  // namespace

namespace {

// Loader threads make and release materials while the main thread does the same.
TEST(RecordingMaterialsThread, ConcurrentLoadsAndReleasesBalance) {
    Fixture f;
    f.files.AddFile("m/a.mtg", test::WriteMaterialGroup(f.Group()));
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&f] {
            for (int k = 0; k < 50; ++k) {
                render::IMaterialGroup* g = f.renderer.LoadMaterialGroupFile("m/a.mtg", -3, 0, 0);
                render::ITexture* t = f.renderer.LoadTexture("anim.dds", 0, 0, -3, 0, 0, 0);
                render::IEffect* e = f.renderer.LoadEffect("file.fx", "T");
                if (g) g->GetSlotMaterial(0)->SetTexture("Tex0", t);
                f.renderer.ReleaseTexture(t);
                f.renderer.ReleaseEffect(e);
                f.renderer.ReleaseMaterial(g);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    f.ExpectNothingAlive();
}

}  // namespace
