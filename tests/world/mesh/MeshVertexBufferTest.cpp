#include "world/mesh/MeshVertexBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/mesh/MeshVertexData.h"

namespace {

using namespace quor;
using namespace quor::test;
using namespace quor::d3d9;
using render::VertexElement;

struct PartKind {
    const char* what;
    std::uint8_t uv;
    bool colour, tangent, skin;
    std::uint32_t stride;  // uv-colour stride
};

const PartKind kKinds[] = {
    {"plain", 0, false, false, false, 0},       {"colour", 0, true, false, false, 4},
    {"one uv", 1, false, false, false, 8},      {"colour two uv", 2, true, false, false, 20},
    {"four uv", 4, false, false, false, 32},    {"three uv tangents", 3, false, true, false, 24},
    {"hardware skin", 1, true, true, true, 12},
};

class MeshVertexBufferTest : public ::testing::Test {
protected:
    MeshVertexBuffer* Make(const PartKind& k, std::uint32_t v = 100, std::uint32_t t = 50) {
        auto* b = new MeshVertexBuffer(v, t, k.uv, k.colour, k.tangent, k.skin, &device);
        owned.emplace_back(b);
        return b;
    }

    LogCapture log;
    RendererScope scope;
    IDirect3DDevice9 device;
    struct Destroy {
        void operator()(MeshVertexBuffer* b) const { b->Destroy(); }
    };
    std::vector<std::unique_ptr<MeshVertexBuffer, Destroy>> owned;
};

std::vector<VertexElement> ExpectedElements(const PartKind& k) {
    using namespace render;
    if (k.skin) {
        return {{0, 0, kElementFloat3, 0, kUsePosition, 0}, {0, 12, kElementFloat3, 0, kUseNormal, 0},
                {0, 24, kElementColour, 0, kUseColour, 0},  {0, 28, kElementFloat2, 0, kUseTexCoord, 0},
                {0, 36, kElementFloat4, 0, kUseTexCoord, 1}, {0, 52, kElementFloat4, 0, kUseTexCoord, 2}};
    }
    std::vector<VertexElement> e = {{0, 0, kElementFloat3, 0, kUsePosition, 0}, {0, 12, kElementFloat3, 0, kUseNormal, 0}};
    if (k.colour) e.push_back({1, 0, kElementColour, 0, kUseColour, 0});
    for (std::uint8_t i = 0; i < k.uv; ++i) e.push_back({1, std::uint16_t((k.colour ? 4 : 0) + 8 * i), kElementFloat2, 0, kUseTexCoord, i});
    if (k.tangent) e.push_back({2, 0, kElementFloat3, 0, kUseTangent, 0});
    return e;
}

TEST_F(MeshVertexBufferTest, PartKindsGiveTheirBuffersAndFormats) {
    for (const PartKind& k : kKinds) {
        SCOPED_TRACE(k.what);
        MeshVertexBuffer* b = Make(k, 100, 50);
        ASSERT_TRUE(b->InitStreamFormat());
        auto* stream = static_cast<host::RecordingVertexBuffer*>(b->Stream());
        EXPECT_EQ(stream->name, "MeshVertexBuffer");
        EXPECT_EQ(stream->elements, ExpectedElements(k));
        EXPECT_EQ(b->UvColourStride(), k.stride);
        ASSERT_TRUE(b->Create());
        EXPECT_TRUE(b->Create());  // once
        IDirect3DVertexBuffer9* pn = b->PositionNormalBuffer();
        ASSERT_NE(pn, nullptr);
        EXPECT_EQ(pn->Length(), k.skin ? 6800u : 2400u);
        EXPECT_EQ(pn->Fvf(), k.skin ? 0u : D3DFVF_XYZ | D3DFVF_NORMAL);
        EXPECT_EQ(pn->Pool(), D3DPOOL_MANAGED);
        EXPECT_EQ(pn->Usage(), D3DUSAGE_WRITEONLY);
        EXPECT_EQ(stream->streams[0], pn);
        EXPECT_EQ(stream->strides[0], k.skin ? 68u : 24u);
        const bool uvColour = !k.skin && (k.colour || k.uv);
        ASSERT_EQ(b->UvColourBuffer() != nullptr, uvColour);
        if (uvColour) {
            EXPECT_EQ(b->UvColourBuffer()->Length(), 100 * k.stride);
            EXPECT_EQ(b->UvColourBuffer()->Fvf(), (k.colour ? D3DFVF_DIFFUSE : 0) | D3DFVF_TEX(k.uv));
            EXPECT_EQ(stream->strides[1], k.stride);
        }
        ASSERT_EQ(b->TangentBuffer() != nullptr, k.tangent && !k.skin);
        if (b->TangentBuffer()) {
            EXPECT_EQ(b->TangentBuffer()->Length(), 1200u);
            EXPECT_EQ(stream->streams[2], b->TangentBuffer());
        }
        ASSERT_NE(b->IndexBuffer(), nullptr);
        EXPECT_EQ(b->IndexBuffer()->Length(), 300u);
        EXPECT_EQ(b->IndexBuffer()->Format(), D3DFMT_INDEX16);
        EXPECT_EQ(stream->indexBuffer, b->IndexBuffer());
    }
}

TEST_F(MeshVertexBufferTest, RangesFitExactlyAndNoFurther) {
    MeshVertexBuffer* b = Make(kKinds[0], 10, 6);
    ASSERT_TRUE(b->InitStreamFormat());
    auto* stream = static_cast<host::RecordingVertexBuffer*>(b->Stream());
    EXPECT_EQ(b->AddRange(4, 2), 0);
    EXPECT_EQ(b->AddRange(7, 1), -1);  // one vertex over
    EXPECT_EQ(b->AddRange(6, 5), -1);  // one triangle over
    EXPECT_EQ(b->AddRange(6, 4), 1);   // exact fit
    EXPECT_EQ(b->AddRange(0, 0), 2);
    EXPECT_EQ(b->AddRange(1, 0), -1);
    EXPECT_EQ(b->UsedVertices(), 10u);
    EXPECT_EQ(b->UsedTriangles(), 6u);
    EXPECT_EQ(stream->vertexCount, 10u);
    EXPECT_EQ(stream->indexCount, 18u);
    const MeshVertexBuffer::Range r = b->Ranges()[1];
    EXPECT_EQ(r.firstVertex, 4u);
    EXPECT_EQ(r.firstTriangle, 2u);
    b->ClearRanges();
    EXPECT_EQ(b->UsedVertices(), 0u);
    EXPECT_TRUE(b->Ranges().empty());
    EXPECT_EQ(b->AddRange(10, 6), 0);
}

TEST_F(MeshVertexBufferTest, SixteenBitIndicesEndAtVertex65535) {
    MeshVertexBuffer* b = Make(kKinds[0], 70000, 10);
    EXPECT_EQ(b->AddRange(65535, 1), 0);
    EXPECT_EQ(b->AddRange(2, 1), -1);  // its last vertex would be 65536
    EXPECT_EQ(b->AddRange(1, 1), 1);   // vertex 65535 is the last one indices can name
    EXPECT_EQ(b->AddRange(1, 1), -1);
}

TEST_F(MeshVertexBufferTest, WritesLandWhereTheStreamsSayAndIndicesAreRebased) {
    const PartKind k = {"colour two uv tangents", 2, true, true, false, 20};
    MeshVertexBuffer* b = Make(k, 8, 4);
    ASSERT_TRUE(b->InitStreamFormat());
    ASSERT_TRUE(b->Create());
    ASSERT_EQ(b->AddRange(3, 1), 0);
    ASSERT_EQ(b->AddRange(3, 1), 1);
    ASSERT_TRUE(b->LockAll());
    EXPECT_EQ(device.LockedBuffers(), 4);
    const Vec3 pos[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, nrm[3] = {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}};
    const float uv1[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    const std::uint32_t colours[3] = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000};
    // The source range starts at vertex 20 of its block.
    const std::uint16_t indices[3] = {22, 20, 21};
    b->WritePositionsNormals(1, pos, nrm);
    b->WriteUV(1, 1, uv1);
    b->CommitColor(1, colours);
    b->WriteTangents(1, nrm);
    EXPECT_TRUE(b->WriteIndices(1, indices, 20));
    b->CommitColor(0, nullptr);
    EXPECT_TRUE(log.Contains("MeshVertexBuffer::CommitColor color = NULL!"));
    const std::uint16_t outside[3] = {19, 20, 21};
    EXPECT_FALSE(b->WriteIndices(0, outside, 20));
    b->UnlockAll();
    EXPECT_EQ(device.LockedBuffers(), 0);
    EXPECT_TRUE(b->PositionNormalFilled());
    EXPECT_TRUE(b->IndexFilled());
    float f[6];
    std::memcpy(f, b->PositionNormalBuffer()->Bytes() + 4 * 24, 24);
    EXPECT_EQ(f[0], 4);
    EXPECT_EQ(f[3], 1);
    const std::uint8_t* uvc = b->UvColourBuffer()->Bytes() + 5 * 20;
    std::uint32_t c;
    std::memcpy(&c, uvc, 4);
    EXPECT_EQ(c, 0xFFFF0000u);
    std::memcpy(f, uvc + 12, 8);  // channel 1 after the colour and channel 0
    EXPECT_EQ(f[0], 0.5f);
    EXPECT_EQ(f[1], 0.6f);
    std::memcpy(f, b->TangentBuffer()->Bytes() + 3 * 12, 12);
    EXPECT_EQ(f[1], 1.0f);
    std::uint16_t got[3];
    std::memcpy(got, b->IndexBuffer()->Bytes() + 6, 6);
    EXPECT_EQ(got[0], 5);
    EXPECT_EQ(got[1], 3);
    EXPECT_EQ(got[2], 4);
}

TEST_F(MeshVertexBufferTest, LocksCoverTheUsedCounts) {
    MeshVertexBuffer* b = Make(kKinds[3], 50, 20);
    ASSERT_TRUE(b->InitStreamFormat());
    b->SetPositionNormalPool(D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT);
    ASSERT_TRUE(b->Create());
    ASSERT_TRUE(b->CreateDefaultPool());
    b->AddRange(7, 3);
    ASSERT_TRUE(b->LockAll());
    EXPECT_EQ(b->PositionNormalBuffer()->LastLockSize(), 7u * 24);
    EXPECT_EQ(b->PositionNormalBuffer()->LastLockFlags(), D3DLOCK_DISCARD);
    EXPECT_EQ(b->UvColourBuffer()->LastLockSize(), 7u * 20);
    EXPECT_EQ(b->IndexBuffer()->LastLockSize(), 18u);
    EXPECT_EQ(b->IndexBuffer()->LastLockFlags(), 0u);
    b->UnlockAll();
}

TEST_F(MeshVertexBufferTest, DeviceResetReleasesAndRefillsTheDefaultPool) {
    MeshVertexBuffer* b = Make(kKinds[2], 30, 10);
    ASSERT_TRUE(b->InitStreamFormat());
    b->SetPositionNormalPool(D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT);
    b->SetIndexPool(D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT);
    EXPECT_TRUE(b->Create());
    EXPECT_EQ(b->PositionNormalBuffer(), nullptr);  // made by the default-pool path
    EXPECT_EQ(b->IndexBuffer(), nullptr);
    b->AddRange(30, 10);
    ASSERT_TRUE(b->CreateDefaultPool());
    auto* stream = static_cast<host::RecordingVertexBuffer*>(b->Stream());
    EXPECT_EQ(stream->vertexCount, 30u);
    EXPECT_EQ(stream->indexCount, 30u);
    EXPECT_EQ(device.LiveBuffers(D3DPOOL_DEFAULT), 2);
    EXPECT_EQ(device.Reset(), D3DERR_INVALIDCALL);
    ASSERT_TRUE(b->LockAll());
    std::vector<Vec3> p(30, Vec3(1, 1, 1));
    b->WritePositionsNormals(0, p.data(), p.data());
    b->UnlockAll();
    EXPECT_TRUE(b->PositionNormalFilled());
    b->ReleaseDefaultPool();
    EXPECT_FALSE(b->PositionNormalFilled());
    EXPECT_FALSE(b->IndexFilled());
    EXPECT_EQ(stream->streams[0], nullptr);
    EXPECT_EQ(stream->indexBuffer, nullptr);
    EXPECT_EQ(stream->vertexCount, 0u);
    EXPECT_EQ(device.LiveBuffers(D3DPOOL_DEFAULT), 0);
    EXPECT_EQ(device.LiveBuffers(D3DPOOL_MANAGED), 1);  // the uv buffer survives
    EXPECT_EQ(device.Reset(), D3D_OK);
    ASSERT_TRUE(b->CreateDefaultPool());
    EXPECT_EQ(stream->vertexCount, 30u);
    EXPECT_FALSE(b->PositionNormalFilled());
    EXPECT_FALSE(MeshVertexBuffer(0, 0, 0, false, false, false, &device).CreateDefaultPool());
}

TEST_F(MeshVertexBufferTest, EachFailedBufferLogsItsTextAndLeavesNothing) {
    struct Case {
        PartKind kind;
        int failAt;
        const char* text;
    };
    const Case cases[] = {
        {kKinds[6], 1, "Failed to create hardware skin buffer, error code: 8876017c!"},
        {kKinds[5], 1, "Failed to create position-normal buffer, error code: 8876017c!"},
        {kKinds[5], 2, "Failed to create uv-color buffer, error code: 8876017c!"},
        {kKinds[5], 3, "Failed to create index buffer, error code: 8876017c!"},
        {kKinds[5], 4, "Failed to create tangent buffer, error code: 8876017c!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        log.Clear();
        MeshVertexBuffer* b = Make(c.kind);
        ASSERT_TRUE(b->InitStreamFormat());
        device.FailCreation(c.failAt);
        EXPECT_FALSE(b->Create());
        EXPECT_TRUE(log.Contains(c.text)) << log.Joined();
        EXPECT_EQ(device.LiveBuffers(), 0);
        EXPECT_FALSE(b->Created());
        EXPECT_EQ(b->BytesHeld(), 0u);
        EXPECT_TRUE(b->Create());  // the failure was one creation only
        b->ReleaseBuffers();
    }
    EXPECT_EQ(device.LiveBuffers(), 0);
}

TEST_F(MeshVertexBufferTest, StreamFormatFailureAndLifecycle) {
    scope.renderer.failVertexElements = true;
    MeshVertexBuffer* b = Make(kKinds[0]);
    EXPECT_FALSE(b->InitStreamFormat());
    EXPECT_TRUE(log.Contains("Failed to init stream format!"));
    scope.renderer.failVertexElements = false;
    EXPECT_EQ(scope.renderer.LiveObjects(), 0);
    {
        MeshVertexBuffer* c = new MeshVertexBuffer(10, 4, 1, true, true, false, &device);
        ASSERT_TRUE(c->InitStreamFormat());
        ASSERT_TRUE(c->Create());
        EXPECT_EQ(device.LiveBuffers(), 4);
        c->Resize(20, 8);
        EXPECT_EQ(device.LiveBuffers(), 0);
        EXPECT_EQ(c->VertexCapacity(), 20u);
        ASSERT_TRUE(c->Create());
        EXPECT_EQ(c->PositionNormalBuffer()->Length(), 480u);
        c->Destroy();
    }
    EXPECT_EQ(device.LiveBuffers(), 0);
    EXPECT_EQ(scope.renderer.LiveObjects(), 0);
    EXPECT_EQ(scope.renderer.BadReleases(), 0);
}

TEST_F(MeshVertexBufferTest, SkinVerticesAreLaidOutInSixtyEightBytes) {
    MeshSkelVertexData data;
    data.vertexCount = 2;
    data.hasColour = 0;
    data.uvChannelCount = 0;
    ASSERT_TRUE(data.positions.Assign(2, Vec3(1, 2, 3)));
    ASSERT_TRUE(data.normals.Assign(2, Vec3(0, 0, 1)));
    ASSERT_TRUE(data.boneIndices.Assign(8, 0));
    ASSERT_TRUE(data.weights.Assign(8, 0.0f));
    const std::uint8_t bones[8] = {3, 7, 255, 9, 255, 1, 2, 3};
    const float weights[8] = {0.75f, 0.25f, 0.5f, 0.5f, 1, 1, 1, 1};
    std::memcpy(data.boneIndices.data(), bones, 8);
    std::memcpy(data.weights.data(), weights, 32);
    MeshVertexBuffer* b = Make(kKinds[6], 4, 2);
    ASSERT_TRUE(b->InitStreamFormat());
    ASSERT_TRUE(b->Create());
    ASSERT_EQ(b->AddRange(2, 1), 0);
    ASSERT_TRUE(b->LockAll());
    b->WriteSkinVertices(0, data, 0);
    b->UnlockAll();
    const std::uint8_t* v = b->PositionNormalBuffer()->Bytes();
    float f[17];
    std::memcpy(f, v, 68);
    EXPECT_EQ(f[0], 1);
    EXPECT_EQ(f[5], 1);
    std::uint32_t colour;
    std::memcpy(&colour, v + 24, 4);
    EXPECT_EQ(colour, 0xFFFFFFFFu);
    EXPECT_EQ(f[7], 0);
    EXPECT_EQ(f[8], 0);
    const float wantWeights[4] = {0.75f, 0.25f, 0, 0}, wantBones[4] = {3, 7, 0, 0};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(f[9 + k], wantWeights[k]) << k;
        EXPECT_EQ(f[13 + k], wantBones[k]) << k;
    }
    std::memcpy(f, v + 68, 68);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(f[9 + k], 0) << "the first bone 255 ends the influences";
}

}  // namespace
