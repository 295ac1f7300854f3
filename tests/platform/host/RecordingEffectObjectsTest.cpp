// The renderer objects the effect kinds use: blank textures, surface handles, texture-stage
// settings and the array behind a primitive.
#include <gtest/gtest.h>

#include "platform/host/RecordingRenderer.h"

namespace quor::host {
namespace {

TEST(RecordingEffectObjects, TexturesAnswerTheirDescriptionAndSurface) {
    RecordingRenderer r;
    TextureDesc anim;
    anim.frames = 8;
    anim.duration = 1.9f;
    anim.width = 128;
    anim.height = 32;
    anim.state = 2;
    r.Store()->DefineTexture("fx/anim.dds", anim);
    render::ITexture* t = r.LoadTexture("fx/anim.dds", 0, 0, -3, 0, 0, 0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetDuration(), 1.9f);  // seconds
    EXPECT_EQ(t->GetFrameCount(), 8u);
    EXPECT_EQ(t->GetState(), 2);
    std::uint32_t w = 0, h = 0;
    t->GetSize(&w, &h);
    EXPECT_EQ(w, 128u);
    EXPECT_EQ(h, 32u);
    EXPECT_EQ(r.LoadTexture("fx/missing.dds", 0, 0, -3, 0, 0, 0), nullptr);

    render::ITexture* blank = r.CreateTexture(32, 32, 0, 0, 1, 0);
    ASSERT_NE(blank, nullptr);
    EXPECT_NE(blank, r.CreateTexture(32, 32, 0, 0, 1, 0)) << "blank textures are never shared";
    EXPECT_EQ(r.LiveTextures(), 3);
    void* surface = blank->GetSurface();
    EXPECT_TRUE(r.IsTextureReady(surface));
    EXPECT_TRUE(r.IsTextureReady(t->GetSurface()));
    r.ReleaseTexture(blank);
    EXPECT_FALSE(r.IsTextureReady(surface));
    EXPECT_FALSE(r.IsTextureReady(nullptr));
    r.ReleaseTexture(blank);
    EXPECT_EQ(r.BadReleases(), 1);
    r.failCreateTexture = true;
    EXPECT_EQ(r.CreateTexture(32, 32, 0, 0, 1, 0), nullptr);
}

TEST(RecordingEffectObjects, StageStatesAreCountedAndRecorded) {
    RecordingRenderer r;
    render::IStageStates* s = r.CreateDynamicBuffer();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(r.LiveStageStates(), 1);
    EXPECT_EQ(r.LiveObjects(), 1);
    s->SetColor(0, 0, 4);
    s->SetAlpha(0, 1, 3);
    s->SetConstantColor(0x80FF0000u);
    RecordingStageStates* rec = r.LastStageStates();
    EXPECT_EQ(rec->calls, (std::vector<std::string>{"SetColor(0,0,4)", "SetAlpha(0,1,3)"}));
    EXPECT_EQ(rec->colour[0], 4);
    EXPECT_EQ(rec->alpha[1], 3);
    EXPECT_EQ(rec->constantColor, 0x80FF0000u);
    r.ReleaseDynamicBuffer(s);
    r.ReleaseDynamicBuffer(s);
    EXPECT_EQ(r.LiveStageStates(), 0);
    EXPECT_EQ(r.BadReleases(), 1);
}

// A fuzz target's host keeps nothing given back, so that an input leaves the heap as it found
// it; a second release is still refused and counted.
TEST(RecordingEffectObjects, AStoreKeepingNothingDeletesWhatIsGivenBack) {
    RecordingRenderer r;
    r.SetKeepReleased(false);
    render::ITexture* kept = r.CreateTexture(8, 8, 0, 0, 1, 0);
    render::ITexture* given = r.CreateTexture(8, 8, 0, 0, 1, 0);
    ASSERT_EQ(r.Store()->Textures().size(), 2u);
    r.ReleaseTexture(given);
    ASSERT_EQ(r.Store()->Textures().size(), 1u);
    EXPECT_EQ(static_cast<render::ITexture*>(r.Store()->Textures()[0]), kept);
    r.ReleaseTexture(given);
    EXPECT_EQ(r.BadReleases(), 1);

    render::IStageStates* s = r.CreateDynamicBuffer();
    render::IPrimitive* p = r.CreatePrimitive(7, 0x142);
    r.ReleaseDynamicBuffer(s);
    r.ReleasePrimitive(p);
    r.ReleasePrimitive(p);
    EXPECT_EQ(r.LiveStageStates(), 0);
    EXPECT_EQ(r.LivePrimitives(), 0);
    EXPECT_EQ(r.BadReleases(), 2);
    EXPECT_EQ(r.LiveTextures(), 1);
    r.ReleaseTexture(kept);
    EXPECT_TRUE(r.Store()->Textures().empty());
}

TEST(RecordingEffectObjects, PrimitiveKeepsItsVertexArrayAndDraws) {
    RecordingRenderer r;
    auto* p = static_cast<RecordingPrimitive*>(r.CreatePrimitive(7, 0x142));
    p->SetVertexCount(2, -1, 0, 0);
    ASSERT_EQ(p->capacity, 8u);  // four per quad
    render::IVertexBuffer* vb = p->GetVertexBuffer();
    ASSERT_EQ(vb, static_cast<render::IVertexBuffer*>(p->Buffer()));
    vb->SetFlags(96);
    EXPECT_EQ(p->Buffer()->flags, 96u);
    const float pos[3] = {1, 2, 3};
    p->SetVertexUV(5, pos, 0.25f, 0.5f, 0xFF00FF00u);
    p->SetVertexUV(7, pos, 0, 0, 0);
    p->SetVertexUV(8, pos, 0, 0, 0);
    EXPECT_EQ(p->badWrites, 1);
    p->SetVertexCountUsed(2);
    p->Draw(-1, -1, 0);
    ASSERT_EQ(p->draws.size(), 1u);
    ASSERT_EQ(p->draws[0].vertices.size(), 8u);
    EXPECT_EQ(p->draws[0].vertices[5].y, 2.0f);
    EXPECT_EQ(p->draws[0].vertices[5].v, 0.5f);
    EXPECT_EQ(p->draws[0].vertices[5].colour, 0xFF00FF00u);

    auto* list = static_cast<RecordingPrimitive*>(r.CreatePrimitive(4, 0x142));
    list->SetVertexCount(4000, -1, 0, 0);
    EXPECT_EQ(list->capacity, 4000u);  // one per count for triangle lists
    r.ReleasePrimitive(p);
    r.ReleasePrimitive(list);
    EXPECT_EQ(r.LiveObjects(), 0);
}

}  // namespace
}  // namespace quor::host
