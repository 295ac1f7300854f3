#include "world/fx/BillBoard2.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/host/RecordingPrimitive.h"
#include "tests/support/world/fx/VegetationHost.h"

namespace quor::world {
namespace {

struct BillboardHost : test::VegetationHost {
    BillboardHost() {
        renderer.Store()->DefineEffect("res/effect/AlphaClip.fx::Common");
        BillBoard2::LoadSharedEffect();
    }
};

TEST(BillBoard2, SixVerticesOfAnUprightQuadGoIntoItsPrimitive) {
    BillboardHost host;
    host.renderer.Store()->DefineTexture("textures\\treefortest\\zc525_shurb5.dds");
    auto* b = new BillBoard2;
    const float want[6][5] = {{50, 0, 0, 1, 1}, {50, 100, 0, 1, 0}, {-50, 0, 0, 0, 1},
                              {-50, 0, 0, 0, 1}, {50, 100, 0, 1, 0}, {-50, 100, 0, 0, 0}};
    ASSERT_EQ(b->Vertices().size(), 6u);
    auto* p = static_cast<host::RecordingPrimitive*>(b->Primitive());
    ASSERT_EQ(p->vertices.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const auto& v = p->vertices[std::size_t(i)];
        EXPECT_EQ(v.x, want[i][0]);
        EXPECT_EQ(v.y, want[i][1]);
        EXPECT_EQ(v.z, want[i][2]);
        EXPECT_EQ(v.u, want[i][3]);
        EXPECT_EQ(v.v, want[i][4]);
        EXPECT_EQ(v.colour, 0xFFFFFFFFu);
    }
    auto* material = static_cast<host::RecordingMaterial*>(b->Material());
    EXPECT_EQ(material->GetTexture("Tex0"), b->Texture());
    EXPECT_FALSE(host.log.Contains("zc525_shurb5"));
    delete b;
    EXPECT_EQ(host.renderer.LivePrimitives(), 0);
    EXPECT_EQ(host.renderer.LiveTextures(), 0);
    EXPECT_EQ(host.renderer.BadReleases(), 0);
}

TEST(BillBoard2, AMissingTextureIsReplacedAndLogged) {
    BillboardHost host;
    BillBoard2* b = new BillBoard2;
    EXPECT_NE(b->Texture(), nullptr);
    EXPECT_TRUE(host.log.Contains("textures\\treefortest\\zc525_shurb5.dds"));
    delete b;
    host.renderer.SetFailPrimitives(true);
    b = new BillBoard2;
    EXPECT_EQ(b->Primitive(), nullptr);
    EXPECT_TRUE(host.log.Contains("Can't create  primitives!"));
    delete b;
}

TEST(BillBoard2, RotationKeepsEveryVertexDistanceFromTheFoot) {
    BillboardHost host;
    BillBoard2 b;
    const float dirs[][3] = {{1, 0, 0}, {0, 1, 1}, {3, -2, 5}, {-1, 4, -2}};
    for (const auto& d : dirs) {
        b.Rotate(d[0], d[1], d[2]);
        const float first[6][2] = {{50, 0}, {50, 100}, {-50, 0}, {-50, 0}, {50, 100}, {-50, 100}};
        for (int i = 0; i < 6; ++i) {
            const auto& v = b.Vertices()[std::size_t(i)];
            EXPECT_NEAR(std::hypot(v.x, v.y, v.z), std::hypot(first[i][0], first[i][1]), 1e-3);
        }
    }
    // Facing along +x: the quad turned a quarter about y lies in the x = 0 plane.
    b.Rotate(1, 0, 0);
    for (const auto& v : b.Vertices()) EXPECT_NEAR(v.x, 0.0f, 1e-4);
    EXPECT_NEAR(b.Vertices()[0].z, -50.0f, 1e-4);
    EXPECT_TRUE(host.log.Contains("dx = 1.000000,dy = 0.000000,dz = 0.000000"));
}

}  // namespace
}  // namespace quor::world
