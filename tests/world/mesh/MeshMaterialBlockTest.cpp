#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"

namespace {

using namespace quor;
using namespace quor::test;

// A mesh carries its material block as its blob, after the body or in its ".mog" companion;
// the renderer makes the group from the bytes the mesh data keeps.
TEST(MeshMaterialBlock, TrailingBlobAndCompanionReachTheRenderer) {
    LogCapture log(std::make_unique<host::MemoryFileSystem>());
    auto& files = static_cast<host::MemoryFileSystem&>(*log.bound.host.files);
    const MaterialGroupDesc group = MakeMaterialGroup({"body", "head"});

    MeshDesc trailing = MakeMesh(0x30011, 0);
    PutMaterialBlock(trailing, group);
    files.AddFile("m/trailing.mom", WriteMom(trailing));
    MeshDesc bare = MakeMesh(0x30011, 0);
    bare.blob.clear();
    files.AddFile("m/companion.mom", WriteMom(bare));
    files.AddFile("m/companion.mog", WriteMaterialGroup(group));

    for (const char* name : {"m/trailing.mom", "m/companion.mom"}) {
        MeshData d;
        ASSERT_TRUE(d.LoadFile(name)) << name << log.Joined();
        EXPECT_EQ(d.blob, WriteMaterialGroup(group)) << name;
        host::RecordingRenderer& renderer = log.bound.host.renderer;
        render::IMaterialGroup* g = renderer.CreateMaterialGroup(d.blob.data(), std::uint32_t(d.blob.size()), -3);
        ASSERT_NE(g, nullptr) << name;
        EXPECT_EQ(g->GetSlotCount(), 2u);
        EXPECT_EQ(g->FindSlotByName("head"), 1);
        renderer.ReleaseMaterial(g);
        EXPECT_EQ(renderer.LiveMaterialGroups(), 0);
        EXPECT_EQ(renderer.LiveMaterials(), 0);
    }
}

}  // namespace
