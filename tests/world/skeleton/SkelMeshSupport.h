#pragma once
// Skinned mesh fixtures: a chain skeleton whose bones carry the names, parents and bind poses
// of the animation files MakeSkelAnimFile writes, one sub-mesh with blended weights, and a
// host with a recording renderer and a memory file system.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/SkelAnimFileWriter.h"
#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/core/FrameTimeControl.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/ModelMaterial.h"
#include "world/scene/World.h"
#include "world/skeleton/MeshSkeletal.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

namespace quor::test {

// `bones` bones in a chain named "Bone0"...; bone b bound at (b, b/2, 0) as the animation
// writer's bind matrices; vertex v follows up to `influences` bones from bone v % bones.
inline MeshDesc SkinnedMeshDesc(std::uint16_t bones, const std::string& animationFile, std::uint32_t vertices = 12,
                                int influences = 2, std::uint32_t version = 0x30011) {
    MeshDesc m = MakeMesh(version, 1, 1, 1);
    m.sockets.clear();
    m.sorterType = 0;
    if (version >= 0x30000) {
        m.subMeshes[0].name = "skin";
        m.subMeshes[0].extraName.clear();
        m.subMeshes[0].materialSlot = 0;
        MaterialGroupDesc group = MakeMaterialGroup({"skin"});
        for (MaterialSlotDesc& slot : group.slots) slot.material.stages.clear();
        m.blob = WriteMaterialGroup(group);
    }
    m.lods = {MakeLod({vertices}, {vertices / 3}, 1, true, 1, 1, true, std::uint8_t(bones > 255 ? 255 : bones))};
    LodDesc& lod = m.lods[0];
    lod.boneIndices.clear();
    lod.weights.clear();
    for (std::uint32_t v = 0; v < vertices; ++v) {
        float left = 1.0f;
        for (int k = 0; k < 4; ++k) {
            if (k < influences) {
                lod.boneIndices.push_back(std::uint8_t((v + std::uint32_t(k)) % bones));
                const float w = k + 1 == influences ? left : left * 0.6f;
                lod.weights.push_back(w);
                left -= w;
            } else {
                lod.boneIndices.push_back(255);
                lod.weights.push_back(0.0f);
            }
        }
    }
    m.skeleton = SkeletonDesc{};
    for (std::uint16_t b = 0; b < bones; ++b) {
        m.skeleton.parents.push_back(b == 0 ? 255 : std::uint8_t(b - 1));
        m.skeleton.names.push_back("Bone" + std::to_string(b));
        Matrix16 bind = Identity16();
        bind[12] = float(b);
        bind[13] = 0.5f * float(b);
        m.skeleton.bind.push_back(bind);
    }
    m.skeleton.sets = {{animationFile, 0, {}}};
    return m;
}

class SkelMeshTest : public ::testing::Test {
protected:
    SkelMeshTest() : log(MakeFiles()) {
        EXPECT_TRUE(world::RegisterModelTechniqueTemplates());
        FrameTimeControl& c = FrameTimeControl::Instance();
        c.SetFrameRate(1000);
        c.SetSpeed(10.0f);
    }
    ~SkelMeshTest() override {
        meshes.clear();
        EXPECT_EQ(world::MeshDataMgr::GetInstance().Count(), 0u) << "every part gives its data back";
        world::MeshDataMgr::GetInstance().Clear();
        SkelAnimsDataMgr::GetInstance().Clear();
        world::ReleaseMaterialStateCaches();
        FrameTimeControl::Instance().Reset();
    }
    std::unique_ptr<host::ResFileSystemBase> MakeFiles() {
        auto fs = std::make_unique<host::MemoryFileSystem>();
        files = fs.get();
        return fs;
    }
    struct Destroy {
        void operator()(MeshSkeletal* m) const { m->Destroy(); }
    };
    MeshSkeletal& Make() {
        meshes.emplace_back(new MeshSkeletal(&device));
        return *meshes.back();
    }
    bool Add(MeshSkeletal& m, const MeshDesc& desc, const std::string& name) {
        files->AddFile(name, WriteMom(desc));
        return m.LoadMeshFile(name.c_str());
    }
    void AddAnimation(const std::string& name, const SkelAnimFileDesc& desc) { files->AddFile(name, WriteSkelAnimFile(desc)); }

    host::MemoryFileSystem* files = nullptr;
    LogCapture log;
    RendererScope scope;
    d3d9::IDirect3DDevice9 device;
    std::vector<std::unique_ptr<MeshSkeletal, Destroy>> meshes;
};

}  // namespace quor::test
