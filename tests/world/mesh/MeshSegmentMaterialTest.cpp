#include "world/mesh/MeshSegment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingRenderer.h"
#include "platform/host/RenderCamera.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/ModelMaterial.h"
#include "world/mesh/SubMesh.h"
#include "world/mesh/TriangleSorter.h"

namespace {

using namespace quor;
using namespace quor::test;

void PutU32(std::array<std::uint8_t, 158>& raw, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) raw[offset + i] = std::uint8_t(v >> (8 * i));
}
void PutF32(std::array<std::uint8_t, 158>& raw, std::size_t offset, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutU32(raw, offset, bits);
}

// The material fields of an old record.
struct OldMaterial {
    float alpha = 1.0f;
    std::uint8_t forceTransparent = 0;
    std::uint32_t source = 2, destination = 3, colourOp = 5;
    std::string effect;
};

SubMeshDesc OldSubMesh(const std::string& name, int seed, const OldMaterial& m) {
    SubMeshDesc s = MakeSubMesh(name, seed);
    s.raw = {};
    s.raw[62] = m.forceTransparent;
    s.raw[63] = 7;
    s.raw[64] = 9;
    s.raw[69] = 33;
    for (int i = 0; i < 3; ++i) PutF32(s.raw, 70 + 4 * i, 0.25f * float(i + 1));
    PutF32(s.raw, 82, m.alpha);
    PutF32(s.raw, 134, 12.0f);
    PutU32(s.raw, 146, m.source);
    PutU32(s.raw, 150, m.destination);
    PutU32(s.raw, 154, m.colourOp);
    s.effectFile = m.effect;
    s.layerNames[0] = "";
    return s;
}

class MeshSegmentMaterialTest : public ::testing::Test {
protected:
    MeshSegmentMaterialTest() : log(std::make_unique<host::MemoryFileSystem>()) {
        EXPECT_TRUE(world::RegisterModelTechniqueTemplates());
    }
    ~MeshSegmentMaterialTest() override {
        segment.reset();
        EXPECT_EQ(world::MeshDataMgr::GetInstance().Count(), 0u);
        world::MeshDataMgr::GetInstance().Clear();
        world::ReleaseMaterialStateCaches();
        EXPECT_EQ(Renderer().LiveObjects(), 0) << "every renderer object given back";
        EXPECT_EQ(Renderer().BadReleases(), 0);
    }
    host::RecordingRenderer& Renderer() { return scope.renderer; }

    // The segment of a mesh written from the description; its materials not loaded yet.
    MeshSegment& Make(const MeshDesc& desc) {
        const auto bytes = WriteMom(desc);
        MeshData* data = world::MeshDataMgr::GetInstance().LoadFromMemory("seg.mom", bytes.data(), bytes.size(), 0);
        EXPECT_NE(data, nullptr);
        segment.reset(new MeshSegment(data));
        return *segment;
    }
    // The calls made since the mark that start with one of the prefixes.
    std::vector<std::string> CallsLike(std::initializer_list<const char*> prefixes) const {
        std::vector<std::string> out;
        for (const std::string& c : scope.renderer.Calls()) {
            for (const char* p : prefixes) {
                if (c.rfind(p, 0) == 0) {
                    out.push_back(c);
                    break;
                }
            }
        }
        return out;
    }

    LogCapture log;
    RendererScope scope;
    struct Destroy {
        void operator()(MeshSegment* s) const { s->Destroy(); }
    };
    std::unique_ptr<MeshSegment, Destroy> segment;
};

TEST_F(MeshSegmentMaterialTest, FilesWithARecordBlockNeedTheirMaterialBlock) {
    for (std::uint32_t version : {0x30000u, 0x30011u}) {
        MeshDesc desc = MakeMesh(version, 0, 2, 1);
        desc.blob.clear();
        MeshSegment& s = Make(desc);
        log.Clear();
        EXPECT_FALSE(s.LoadMaterials());
        EXPECT_TRUE(log.Contains("Failed to load materials!"));
        EXPECT_FALSE(s.Loaded());
        EXPECT_EQ(s.SubMeshCount(), 0u) << "nothing half-built";
        EXPECT_EQ(CallsLike({"CreateMaterialGroup"}), std::vector<std::string>{});
        segment.reset();
        EXPECT_EQ(Renderer().LiveObjects(), 3) << "the two default techniques and the stage state";
    }
}

host::RecordingMaterial* Rec(render::IMaterial* m) { return static_cast<host::RecordingMaterial*>(m); }
host::RecordingRenderable* Rec(render::IRenderable* r) { return static_cast<host::RecordingRenderable*>(r); }
host::RecordingRenderState* Rec(render::IRenderState* r) { return static_cast<host::RecordingRenderState*>(r); }

// An old record's effect name picks its technique: the technique files first, then the effect
// file's techniques; its alpha, blend and colour operation follow the record.
TEST_F(MeshSegmentMaterialTest, OldRecordsChooseTechniqueTransparencyAndBlend) {
    Renderer().Store()->DefineEffect("a.tech", 1);
    Renderer().Store()->DefineEffect("a_alpha.tech", 1);
    Renderer().Store()->DefineEffect("file.fx::T", 1);
    Renderer().Store()->DefineEffect("file.fx::TAlpha", 1);
    Renderer().Store()->DefineEffect("plain.fx::TNoShader", 1);
    Renderer().Store()->DefineEffect("b::TNoShader", 1);
    struct Case {
        OldMaterial m;
        std::vector<std::string> calls;  // effect look-ups in order
        std::uint8_t alpha;
        bool transparent;
        bool effectFile;  // else a default technique
        int source, destination, colourOp;
    };
    const Case cases[] = {
        {{0.999f, 0, 2, 3, 4, ""}, {}, 254, true, false, 5, 6, 4},
        {{1.0f, 0, 2, 3, 5, ""}, {}, 255, false, false, 5, 6, 5},
        {{1.0f, 1, 2, 3, 4, ""}, {}, 255, true, false, 5, 6, 4},
        {{1.0f, 0, 0, 16, 3, "a.fx"}, {"FindEffect(a.tech)", "FindEffect(a_alpha.tech)"}, 255, false, true, 5, 6, 4},
        {{0.5f, 0, 2, 3, 5, "file.fx::T"},
         {"FindEffect(file.fx:tech)", "LoadEffect(file.fx,T)", "LoadEffect(file.fx,TAlpha)"}, 127, true, true, 2, 3, 5},
        {{1.0f, 0, 16, 6, 4, "plain.fx"},
         {"FindEffect(plain.tech)", "LoadEffect(plain.fx,TNoShader)", "LoadEffect(plain.fx,TAlpha)"}, 255, false,
         true, 5, 6, 4},
        // Under two characters there is no technique file to look for.
        {{1.0f, 0, 2, 3, 4, "b"}, {"LoadEffect(b,TNoShader)", "LoadEffect(b,TAlpha)"}, 255, false, true, 2, 3, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m.effect + " alpha " + std::to_string(c.m.alpha));
        MeshDesc desc = MakeMesh(0x20014, 0, 1, 1);
        desc.subMeshes[0] = OldSubMesh("s", 1, c.m);
        desc.subMeshes[0].alphaTest = 1;
        MeshSegment& s = Make(desc);
        Renderer().ClearCalls();
        ASSERT_TRUE(s.LoadMaterials());
        EXPECT_EQ(CallsLike({"FindEffect", "LoadEffect"}), c.calls);
        SubMesh& sub = *s.GetSubMesh(0);
        EXPECT_EQ(sub.Alpha(), c.alpha);
        EXPECT_EQ(sub.IsTransparent(), c.transparent);
        EXPECT_EQ(s.AnyTransparent(), c.transparent);
        EXPECT_EQ(sub.DrawPass(), c.transparent ? 0x60 : 0x30);
        EXPECT_EQ(Rec(sub.Renderable())->drawPass, sub.DrawPass());
        host::RecordingMaterial& m = *Rec(sub.Material());
        EXPECT_EQ(Rec(sub.Renderable())->material, sub.Material());
        EXPECT_EQ(m.params.ints["DiffuseColorOp"], c.colourOp);
        EXPECT_EQ(m.flags[0], 9u);
        EXPECT_EQ(m.flags[1], 1u);
        EXPECT_EQ(m.flags[2], 7u);
        EXPECT_EQ(m.alphaTest, 1);
        EXPECT_EQ(m.alphaTestValues[0], 1);  // the has-colour byte
        EXPECT_EQ(m.alphaTestValues[1], 33);
        EXPECT_FLOAT_EQ(m.colours[0][1], 0.5f);
        EXPECT_FLOAT_EQ(m.colours[0][3], 1.0f);
        EXPECT_FLOAT_EQ(m.power, 12.0f);
        const std::uint32_t repeated = c.alpha * 0x01010101u;
        if (c.effectFile) {
            EXPECT_EQ(sub.Technique()->GetKind(), 1);
            EXPECT_EQ(m.params.ints["BlendEnable"], c.transparent ? 1 : 0);
            EXPECT_EQ(m.params.ints["SrcBlendMode"], c.source);
            EXPECT_EQ(m.params.ints["DestBlendMode"], c.destination);
            EXPECT_EQ(sub.BlendState(), nullptr);
            EXPECT_EQ(Rec(sub.Renderable())->blendState, nullptr);
            const auto& values = Rec(sub.Renderable())->stateBlock.values;
            ASSERT_FALSE(values.empty());
            EXPECT_EQ(values.back().first, 5);
            EXPECT_EQ(values.back().second, float(repeated));
        } else {
            EXPECT_EQ(sub.Technique(), world::DefaultModelTechnique(c.transparent));
            EXPECT_EQ(m.params.ints["Alpha"], std::int32_t(repeated));
            ASSERT_NE(sub.BlendState(), nullptr);
            EXPECT_EQ(sub.BlendState(), world::SharedBlendState(c.source, c.destination));
            EXPECT_EQ(Rec(sub.BlendState())->blendSource, c.source);
            EXPECT_EQ(Rec(sub.BlendState())->blendDestination, c.destination);
            EXPECT_EQ(Rec(sub.Renderable())->blendState, c.transparent ? sub.BlendState() : nullptr);
        }
        segment.reset();
    }
}

TEST_F(MeshSegmentMaterialTest, AnOldRecordWithoutAnyTechniqueFailsTheLoad) {
    MeshDesc desc = MakeMesh(0x20014, 0, 1, 1);
    OldMaterial m;
    m.effect = "none.fx";
    desc.subMeshes[0] = OldSubMesh("s", 1, m);
    MeshSegment& s = Make(desc);
    log.Clear();
    EXPECT_FALSE(s.LoadMaterials());
    EXPECT_TRUE(log.Contains("Failed to load materials!"));
    EXPECT_EQ(s.SubMeshCount(), 0u);
    EXPECT_EQ(Renderer().LiveMaterials(), 0);
    EXPECT_EQ(Renderer().LiveMaterialGroups(), 0);
}

// Old records load their texture files into the stages named after their layers.
TEST_F(MeshSegmentMaterialTest, OldRecordTexturesGoToTheirLayersStages) {
    Renderer().Store()->DefineEffect("t.tech", 1, false, {"Tex0", "Tex1"});
    Renderer().Store()->DefineTexture("wall.dds");
    Renderer().Store()->DefineTexture("dirt.dds");
    MeshDesc desc = MakeMesh(0x20014, 0, 1, 1);
    OldMaterial om;
    om.effect = "t.fx";
    desc.subMeshes[0] = OldSubMesh("s", 1, om);
    desc.subMeshes[0].layerNames[0] = "wall.dds";
    desc.subMeshes[0].layerNames[1] = "dirt.dds";
    desc.subMeshes[0].layerNames[2] = "missing.dds";
    MeshSegment& s = Make(desc);
    Renderer().ClearCalls();
    ASSERT_TRUE(s.LoadMaterials());
    EXPECT_EQ(CallsLike({"LoadTexture"}),
              (std::vector<std::string>{"LoadTexture(wall.dds,0,1,-3,0,0,0)", "LoadTexture(dirt.dds,0,1,-3,0,0,0)",
                                        "LoadTexture(missing.dds,0,1,-3,0,0,0)"}));
    host::RecordingMaterial& m = *Rec(s.GetSubMesh(0)->Material());
    ASSERT_NE(m.stages[0].texture, nullptr);
    ASSERT_NE(m.stages[1].texture, nullptr);
    EXPECT_EQ(static_cast<host::RecordingTexture*>(m.stages[0].texture)->name, "wall.dds");
    EXPECT_EQ(static_cast<host::RecordingTexture*>(m.stages[1].texture)->name, "dirt.dds");
    // The named stages take the shared stage state.
    EXPECT_EQ(m.stages[0].state, world::SharedStageState());
    EXPECT_EQ(m.stages[1].state, world::SharedStageState());
}

MaterialDesc NamedMaterial(const std::string& name, const std::string& technique = "<ModelNormalTech>") {
    MaterialDesc m;
    m.name = name;
    m.technique = technique;
    m.stages.push_back({0, "Tex0", ""});
    m.stages.push_back({1, "Tex1", ""});
    return m;
}

MaterialGroupDesc Group(const std::vector<std::string>& slotNames) {
    MaterialGroupDesc g;
    std::uint32_t n = 0;
    for (const std::string& name : slotNames) {
        MaterialSlotDesc slot;
        slot.name = name;
        for (int i = 0; i < 4; ++i) slot.values[i] = 10 * (n + 1) + std::uint32_t(i);
        slot.hasMaterial = true;
        slot.material = NamedMaterial(name);
        g.slots.push_back(slot);
        ++n;
    }
    return g;
}

// Files before 0x30011 pick their materials by slot; a slot past the group's warns and takes
// slot 0, and the record keeps the slot in its second slot field.
TEST_F(MeshSegmentMaterialTest, BlocksBeforeNamedMaterialsResolveBySlot) {
    MeshDesc desc = MakeMesh(0x30010, 0, 3, 1);
    desc.subMeshes[0].materialSlot = 1;
    desc.subMeshes[1].materialSlot = 7;
    desc.subMeshes[2].materialSlot = 0;
    desc.blob = WriteMaterialGroup(Group({"stone", "glass"}));
    MeshSegment& s = Make(desc);
    log.Clear();
    ASSERT_TRUE(s.LoadMaterials());
    EXPECT_TRUE(s.Loaded());
    EXPECT_TRUE(s.LoadMaterials()) << "once loaded, at once";
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"[WARNING] SubMesh 1 ref to a wrong MaterialSlot 7"});
    render::IMaterialGroup* group = s.MaterialGroup();
    ASSERT_NE(group, nullptr);
    const std::uint32_t slots[] = {1, 0, 0};
    for (std::uint32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const SubMeshInfo& info = *s.GetSubMeshInfo(i);
        EXPECT_EQ(info.materialSlot, slots[i]);
        EXPECT_EQ(info.extraValues[0], slots[i]);
        EXPECT_EQ(info.extraValues[1], 0u);
        EXPECT_EQ(info.extraValues[3], 0u);
        EXPECT_EQ(s.GetSubMesh(i)->Material(), group->GetSlotMaterial(slots[i]));
    }
    // The callback runs the same resolution when the group changes.
    s.Data()->subMeshes[2].materialSlot = 9;
    log.Clear();
    static_cast<host::RecordingMaterialGroup*>(group)->NotifyLoaded();
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"[WARNING] SubMesh 2 ref to a wrong MaterialSlot 9"});
    // Slot operations test their indices; a good slot brings the slot's four values.
    EXPECT_FALSE(s.SetSubMeshMaterialSlot(3, 0));
    EXPECT_FALSE(s.SetSubMeshMaterialSlot(0, 2));
    EXPECT_TRUE(s.SetSubMeshMaterialSlot(2, 1));
    EXPECT_EQ(s.GetSubMeshInfo(2)->extraValues[0], 20u);
    EXPECT_EQ(s.GetSubMeshInfo(2)->extraValues[3], 23u);
    EXPECT_EQ(s.GetSubMesh(2)->Material(), group->GetSlotMaterial(1));
    // The load flag reaches the group and the sub-meshes resolve again.
    s.SetLoadFlag(3);
    EXPECT_EQ(group->GetLoadFlag(), 3);
    // A group handed over becomes the file group, in its default state, and the sub-meshes
    // draw from it; handing it again changes nothing.
    const auto block = WriteMaterialGroup(Group({"x", "y"}));
    render::IMaterialGroup* other = Renderer().CreateMaterialGroup(block.data(), std::uint32_t(block.size()), -3);
    ASSERT_NE(other, nullptr);
    s.SetMaterialGroup(other);
    EXPECT_EQ(s.FileMaterialGroup(), other);
    EXPECT_EQ(static_cast<host::RecordingMaterialGroup*>(other)->defaultStates, 1);
    EXPECT_EQ(s.GetSubMesh(0)->Material(), other->GetSlotMaterial(1));
    s.SetMaterialGroup(other);
    EXPECT_EQ(static_cast<host::RecordingMaterialGroup*>(other)->defaultStates, 1);
    EXPECT_EQ(s.ActiveGroup(), other);
    // The block's group finishing a load no longer changes the sub-meshes.
    static_cast<host::RecordingMaterialGroup*>(group)->NotifyLoaded();
    EXPECT_EQ(s.GetSubMesh(0)->Material(), other->GetSlotMaterial(1));
}

// From 0x30011 a record names its material; a name the group lacks takes the default one.
TEST_F(MeshSegmentMaterialTest, NamedMaterialsResolveByNameWithTheDefaultAsFallback) {
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.subMeshes[0].name = "glass";
    desc.subMeshes[0].materialSlot = 0;
    desc.subMeshes[1].name = "nothing";
    desc.subMeshes[1].materialSlot = 1;
    MaterialGroupDesc g = Group({"stone", "glass"});
    g.defaultSlot = 0;
    desc.blob = WriteMaterialGroup(g);
    MeshSegment& s = Make(desc);
    ASSERT_TRUE(s.LoadMaterials());
    render::IMaterialGroup* group = s.MaterialGroup();
    EXPECT_EQ(s.GetSubMeshInfo(0)->materialSlot, 1u);
    EXPECT_EQ(s.GetSubMesh(0)->Material(), group->GetSlotMaterial(1));
    EXPECT_EQ(s.GetSubMeshInfo(1)->materialSlot, 0u);
    EXPECT_EQ(s.GetSubMesh(1)->Material(), group->GetDefaultMaterial());
    // Replacing a material reaches the group's slot and every sub-mesh drawing with it.
    render::IMaterial* old = group->GetSlotMaterial(1);
    render::IMaterial* fresh = Renderer().CreateMaterial(world::DefaultModelTechnique(false));
    s.ReplaceMaterial(old, fresh);
    EXPECT_EQ(group->GetSlotMaterial(1), fresh);
    EXPECT_EQ(s.GetSubMesh(0)->Material(), fresh);
    Renderer().ReleaseMaterial(fresh);
    s.ReplaceMaterial(old, nullptr);  // no slot holds it any more: nothing happens
    EXPECT_EQ(s.GetSubMesh(0)->Material(), fresh);
}

// Blocks of files before 0x30009 carry the uv animation of their layers into the material's
// stages, by parameters or by keys, turning about the centre.
TEST_F(MeshSegmentMaterialTest, LayerAnimationsBecomeStageAnimations) {
    MeshDesc desc = MakeMesh(0x30008, 0, 1, 1);
    SubMeshDesc& sub = desc.subMeshes[0];
    sub.materialSlot = 0;
    for (auto& layer : sub.layers) layer = LayerDesc{};
    sub.layers[0].name = "Tex1";  // parameters
    sub.layers[0].enabled = 1;
    sub.layers[0].options[0] = 4;
    sub.layers[0].params = {0.5f, 0.25f, 2.0f, 3.0f, 0.125f};
    sub.layers[1].name = "Tex0";  // keys: u moves, v and rotation stand
    sub.layers[1].enabled = 1;
    sub.layers[1].mode = 1;
    sub.layers[1].options[0] = 6;
    sub.layers[1].times = {0, 100, 200};
    sub.layers[1].keys = {{1, 0.5f, 2, 4, 0.25f}, {3, 0.5f, 1, 1, 0.25f}, {5, 0.5f, 1, 1, 0.25f}};
    sub.layers[2].name = "Tex5";  // no such stage
    sub.layers[2].enabled = 1;
    desc.blob = WriteMaterialGroup(Group({"m"}));
    MeshSegment& s = Make(desc);
    ASSERT_TRUE(s.LoadMaterials());
    host::RecordingMaterial& m = *Rec(s.GetSubMesh(0)->Material());
    ASSERT_TRUE(m.stages[1].animated);
    const render::TextureAnimation& p = m.stages[1].animation;
    EXPECT_EQ(p.rateU, 0.0f);
    EXPECT_EQ(p.rateRotation, 0.0f);
    EXPECT_EQ(p.offsetU, 0.5f);
    EXPECT_EQ(p.offsetV, 0.25f);
    EXPECT_EQ(p.rotation, 0.125f);
    EXPECT_EQ(p.centreU, 0.5f);
    EXPECT_EQ(p.centreV, 0.5f);
    EXPECT_EQ(p.option, 4);
    EXPECT_EQ(p.scaleU, 2.0f);
    EXPECT_EQ(p.scaleV, 3.0f);
    ASSERT_TRUE(m.stages[0].animated);
    const render::TextureAnimation& k = m.stages[0].animation;
    EXPECT_FLOAT_EQ(k.rateU, 4.0f / 200.0f);
    EXPECT_EQ(k.rateV, 0.0f);
    EXPECT_EQ(k.rateRotation, 0.0f);
    EXPECT_EQ(k.offsetU, 0.0f) << "a moving component starts at 0";
    EXPECT_EQ(k.offsetV, 0.5f);
    EXPECT_EQ(k.rotation, 0.25f);
    EXPECT_EQ(k.centreU, 0.5f);
    EXPECT_EQ(k.option, 6);
    EXPECT_EQ(k.scaleU, 2.0f);
    EXPECT_EQ(k.scaleV, 4.0f);
    EXPECT_EQ(m.stages[0].state, world::SharedStageState());
    EXPECT_EQ(s.GetSubMeshInfo(0)->uvAnimated, 0) << "the material carries it now";
}

// A ".mtg" group file, or a folder of one ".mtl" per sub-mesh material; a failure keeps the
// group in place and gives back what it made.
TEST_F(MeshSegmentMaterialTest, MaterialFilesReplaceTheGroupOnlyWhenWhole) {
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.subMeshes[0].name = "stone";
    desc.subMeshes[1].name = "glass";
    desc.blob = WriteMaterialGroup(Group({"stone", "glass"}));
    MeshSegment& s = Make(desc);
    ASSERT_TRUE(s.LoadMaterials());
    auto* files = static_cast<host::MemoryFileSystem*>(log.bound.host.files.get());
    Renderer().Attach(files, nullptr);
    files->AddFile("mats/stone.mtl", WriteMaterial(NamedMaterial("stone", "<ModelAlphaTech>")));
    files->AddFile("mats/glass.mtl", WriteMaterial(NamedMaterial("glass", "<ModelAlphaTech>")));
    files->AddFile("half/stone.mtl", WriteMaterial(NamedMaterial("stone")));
    files->AddFile("all.mtg", WriteMaterialGroup(Group({"glass", "stone"})));

    // A folder with a missing ".mtl": nothing changes, the new group is given back.
    Renderer().ClearCalls();
    EXPECT_FALSE(s.LoadMaterialFile("half"));
    EXPECT_EQ(CallsLike({"LoadMaterialFile"}),
              (std::vector<std::string>{"LoadMaterialFile(half\\stone.mtl,-3,0)", "LoadMaterialFile(half\\glass.mtl,-3,0)"}));
    EXPECT_EQ(s.FileMaterialGroup(), nullptr);
    EXPECT_EQ(Renderer().LiveMaterialGroups(), 1);

    // A folder without "\" gets one; each sub-mesh takes its slot's material of the new group.
    EXPECT_TRUE(s.LoadMaterialFile("mats"));
    render::IMaterialGroup* fromFolder = s.FileMaterialGroup();
    ASSERT_NE(fromFolder, nullptr);
    EXPECT_EQ(fromFolder->GetSlotCount(), 2u);
    EXPECT_STREQ(fromFolder->GetSlotName(1), "glass");
    EXPECT_STREQ(Rec(s.GetSubMesh(1)->Material())->GetName(), "glass");
    EXPECT_EQ(s.GetSubMesh(1)->Technique(), world::DefaultModelTechnique(true));

    // ".mtg", whatever the case of the extension.
    Renderer().ClearCalls();
    EXPECT_TRUE(s.LoadMaterialFile("ALL.MTG"));
    EXPECT_EQ(CallsLike({"LoadMaterialGroupFile"}), std::vector<std::string>{"LoadMaterialGroupFile(ALL.MTG,-3,0,0)"});
    EXPECT_NE(s.FileMaterialGroup(), fromFolder);
    EXPECT_EQ(s.GetSubMesh(0)->Material(), s.FileMaterialGroup()->GetSlotMaterial(s.GetSubMeshInfo(0)->materialSlot));
    EXPECT_FALSE(s.LoadMaterialFile("none.mtg"));
    EXPECT_EQ(Renderer().LiveMaterialGroups(), 2) << "the block's group and the last file's";
}

// Only the sub-meshes whose technique is transparent are sorted.
TEST_F(MeshSegmentMaterialTest, SortingTouchesOnlyTransparentSubMeshes) {
    Renderer().Store()->DefineEffect("clear.fx::T", 1, true);
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.sorterType = 1;
    desc.subMeshes[0].name = "glass";
    desc.subMeshes[1].name = "stone";
    // Two sub-meshes of six triangles over scattered vertices.
    LodDesc scattered = MakeLod({8, 8}, {6, 6}, 1, true, 1, 1);
    for (std::size_t i = 0; i < scattered.positions.size(); ++i) scattered.positions[i] = float(int(i * 37 % 11) - 5);
    desc.lods = {scattered};
    MaterialGroupDesc g = Group({"glass", "stone"});
    g.slots[0].material.technique = "clear.fx::T";
    desc.blob = WriteMaterialGroup(g);
    MeshSegment& s = Make(desc);
    ASSERT_TRUE(s.LoadMaterials());
    ASSERT_NE(s.Sorter(), nullptr);
    host::RenderCamera camera;
    camera.SetPerspective(60, 1.0f, 0.5f, 500);
    const MeshVertexData& lod = *s.Lod();
    // The reference: a sorter of the same kind over the whole index list.
    std::unique_ptr<TriangleSorter, void (*)(TriangleSorter*)> reference(
        CreateTriangleSorter(1, lod.triangleCount), [](TriangleSorter* t) { t->Destroy(); });
    Matrix world;
    bool differs = false;
    for (int turn = 0; turn < 8 && !differs; ++turn) {
        MatrixRotationY(world, 0.7f * float(turn));
        world.m[14] = 30.0f;
        reference->SetIndices(s.Positions(), lod.indices.data(), lod.triangleCount);
        for (const SubMeshRange& r : lod.ranges) reference->Sort(r, world, &camera);
        const SubMeshRange& r0 = lod.ranges[0];
        differs = !std::equal(reference->Output() + 3 * r0.firstTriangle,
                              reference->Output() + 3 * (r0.firstTriangle + r0.triangleCount),
                              lod.indices.begin() + 3 * r0.firstTriangle);
    }
    ASSERT_TRUE(differs) << "a view that reorders the transparent sub-mesh";
    s.ClearIndexListDirty();
    s.Update(world, true, &camera);
    EXPECT_TRUE(s.IndexListDirty());
    const SubMeshRange& r0 = lod.ranges[0];
    const SubMeshRange& r1 = lod.ranges[1];
    EXPECT_TRUE(std::equal(s.IndexList() + 3 * r0.firstTriangle, s.IndexList() + 3 * (r0.firstTriangle + r0.triangleCount),
                           reference->Output() + 3 * r0.firstTriangle));
    EXPECT_TRUE(std::equal(s.IndexList() + 3 * r1.firstTriangle, s.IndexList() + 3 * (r1.firstTriangle + r1.triangleCount),
                           lod.indices.begin() + 3 * r1.firstTriangle))
        << "the opaque sub-mesh keeps its order";
}

// A render mode's state block is made once per (mode, values) and shared.
TEST_F(MeshSegmentMaterialTest, RenderModeStatesAreCachedAndShared) {
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.subMeshes[0].name = "glass";
    desc.subMeshes[1].name = "stone";
    desc.blob = WriteMaterialGroup(Group({"glass", "stone"}));
    MeshSegment& s = Make(desc);
    ASSERT_TRUE(s.LoadMaterials());
    SubMesh& a = *s.GetSubMesh(0);
    SubMesh& b = *s.GetSubMesh(1);
    a.SetAlpha(128, false);  // the default alpha technique: transparent
    EXPECT_EQ(a.Technique(), world::DefaultModelTechnique(true));
    EXPECT_EQ(Rec(a.Material())->params.ints["Alpha"], std::int32_t(0x80000000u));
    const std::size_t before = world::RenderModeStateCount();
    RenderModeDesc mode;
    b.SetRenderMode(mode);  // opaque with the double flag: mode 2
    RenderModeDesc again = mode;
    s.GetSubMesh(1)->SetRenderMode(again);
    EXPECT_EQ(world::RenderModeStateCount(), before + 1) << "the same state reused";
    EXPECT_EQ(Rec(b.RenderModeState())->renderMode, 2);
    EXPECT_EQ(Rec(b.Renderable())->state, b.RenderModeState());
    mode.enabled = 0;
    a.SetRenderMode(mode);
    EXPECT_EQ(Rec(a.RenderModeState())->renderMode, 1);
    mode.enabled = 1;
    mode.value0 = 4;
    b.SetRenderMode(mode);
    EXPECT_EQ(Rec(b.RenderModeState())->renderMode, 2);
    EXPECT_EQ(Rec(b.RenderModeState())->modeValues[0], 4);
    EXPECT_EQ(world::RenderModeStateCount(), before + 3);
    // Pass overrides win over transparency.
    b.SetPassOverride(0x50);
    EXPECT_EQ(Rec(b.Renderable())->drawPass, 0x50);
    b.SetPassOverride(0);
    EXPECT_EQ(Rec(b.Renderable())->drawPass, 0x30);
}

// Alpha below 255 switches to the alpha technique: the effect file's "TAlpha" for a technique
// of an effect file, the hardware-skin pair when skinned.
TEST_F(MeshSegmentMaterialTest, AlphaSwitchesTechniques) {
    const std::string skinFile = "res/builtin/shader/hardware_skin.fx";
    Renderer().Store()->DefineEffect("fx.fx::TMain", 1);
    Renderer().Store()->DefineEffect("fx.fx::TAlpha", 1, true);
    Renderer().Store()->DefineEffect(skinFile + "::THardwareSkin", 1);
    Renderer().Store()->DefineEffect(skinFile + "::THardwareSkinAlpha", 1, true);
    world::CreateHardwareSkinEffect();
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.subMeshes[0].name = "a";
    desc.subMeshes[1].name = "b";
    MaterialGroupDesc g = Group({"a", "b"});
    g.slots[0].material.technique = "fx.fx::TMain";
    g.slots[1].material.technique = "fx.fx::TMain";
    desc.blob = WriteMaterialGroup(g);
    MeshSegment& s = Make(desc);
    ASSERT_TRUE(s.LoadMaterials());
    SubMesh& a = *s.GetSubMesh(0);
    render::IEffect* normal = a.Technique();
    Renderer().ClearCalls();
    a.SetAlpha(100, false);
    EXPECT_EQ(CallsLike({"CreateEffectFromDesc"}), std::vector<std::string>{"CreateEffectFromDesc(fx.fx::TAlpha)"});
    ASSERT_NE(a.AlphaTechnique(), nullptr);
    EXPECT_EQ(a.Technique(), a.AlphaTechnique());
    EXPECT_EQ(Rec(a.Material())->technique, a.AlphaTechnique());
    EXPECT_EQ(Rec(a.Material())->params.ints["Alpha"], 100 << 24);
    EXPECT_EQ(Rec(a.Renderable())->drawPass, 0x60);
    a.SetAlpha(255, false);
    EXPECT_EQ(a.Technique(), normal);
    EXPECT_EQ(Rec(a.Renderable())->drawPass, 0x30);
    EXPECT_EQ(CallsLike({"CreateEffectFromDesc"}).size(), 1u) << "made once";

    SubMesh& b = *s.GetSubMesh(1);
    b.SetAlpha(128, true);
    EXPECT_EQ(b.SkinTechnique(), world::HardwareSkinTechnique(false));
    EXPECT_EQ(b.SkinAlphaTechnique(), world::HardwareSkinTechnique(true));
    EXPECT_EQ(b.Technique(), world::HardwareSkinTechnique(true));
    b.SetAlpha(255, true);  // the pair is set already: nothing changes
    EXPECT_EQ(b.Technique(), world::HardwareSkinTechnique(true));
    EXPECT_EQ(b.Alpha(), 255);
    segment.reset();
    world::ReleaseHardwareSkinEffect();
}

// Segments of one file load their materials on several loader threads at once: each ends with
// its own materials, and the shared records agree.
TEST_F(MeshSegmentMaterialTest, SegmentsOfOneFileLoadOnThreads) {
    MeshDesc desc = MakeMesh(0x30010, 0, 3, 1);
    desc.subMeshes[0].materialSlot = 1;
    desc.subMeshes[1].materialSlot = 7;
    desc.subMeshes[2].materialSlot = 0;
    desc.blob = WriteMaterialGroup(Group({"stone", "glass"}));
    const auto bytes = WriteMom(desc);
    constexpr int kThreads = 8;
    std::vector<std::unique_ptr<MeshSegment, Destroy>> segments;
    for (int t = 0; t < kThreads; ++t) {
        MeshData* data = world::MeshDataMgr::GetInstance().LoadFromMemory("shared.mom", bytes.data(), bytes.size(), 0);
        ASSERT_NE(data, nullptr);
        segments.emplace_back(new MeshSegment(data));
    }
    std::vector<std::thread> threads;
    std::vector<int> loaded(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] { loaded[t] = segments[t]->LoadMaterials() ? 1 : 0; });
    }
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE(t);
        ASSERT_EQ(loaded[t], 1);
        MeshSegment& s = *segments[t];
        EXPECT_EQ(s.Data(), segments[0]->Data());
        EXPECT_EQ(s.GetSubMesh(0)->Material(), s.MaterialGroup()->GetSlotMaterial(1));
        EXPECT_EQ(s.GetSubMesh(1)->Material(), s.MaterialGroup()->GetSlotMaterial(0));
    }
    EXPECT_EQ(segments[0]->GetSubMeshInfo(1)->materialSlot, 0u);
    EXPECT_EQ(segments[0]->GetSubMeshInfo(0)->extraValues[0], 1u);
    segments.clear();
    EXPECT_EQ(Renderer().LiveMaterialGroups(), 0);
}

}  // namespace
