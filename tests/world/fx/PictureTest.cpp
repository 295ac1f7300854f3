#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/fx/PictureTrees.h"
#include "tests/support/world/SheetFileWriter.h"
#include "world/core/InterfaceTable.h"
#include "world/core/math/Matrix.h"
#include "world/fx/Picture.h"
#include "world/fx/SharedEffects.h"
#include "world/fx/UVSprite.h"

namespace quor::world {
namespace {

// Only compared by address.
IScene* SceneA() { return reinterpret_cast<IScene*>(0x1000); }
IScene* SceneB() { return reinterpret_cast<IScene*>(0x2000); }

struct Deleter {
    void operator()(PictureBase* p) const { p->DeletingDestructor(); }
};
using Owned = std::unique_ptr<PictureBase, Deleter>;

struct Pictures : testing::Test {
    Pictures() : log(MakeFiles(files)) {
        Interfaces().renderer = &renderer();
        renderer().Attach(files, nullptr);
    }
    ~Pictures() override { ReleasePictureMaterial(); }
    static std::unique_ptr<host::ResFileSystemBase> MakeFiles(host::MemoryFileSystem*& out) {
        auto fs = std::make_unique<host::MemoryFileSystem>();
        out = fs.get();
        return fs;
    }
    host::RecordingRenderer& renderer() { return log.bound.host.renderer; }

    host::MemoryFileSystem* files = nullptr;
    test::LogCapture log;
};

Matrix Recompute(PictureBase* p) {
    Matrix m = p->GetLocalMatrix();
    if (PictureBase* parent = p->ParentBase()) {
        Matrix pw = Recompute(parent);
        MatrixMultiplyPlain(m, pw, m);
    }
    return m;
}

TEST_F(Pictures, RandomTreeKeepsMatricesConsistent) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> pos(-300.0f, 300.0f), ang(-400.0f, 400.0f), scl(0.3f, 2.0f);
    Owned root(new PictureEmpty(SceneA()));
    std::vector<PictureBase*> all{root.get()};
    for (int i = 0; i < 40; ++i) {
        auto* p = new PictureEmpty(SceneA());
        ASSERT_TRUE(all[rng() % all.size()]->AddChild(p, false));
        all.push_back(p);
    }
    for (int step = 0; step < 400; ++step) {
        PictureBase* p = all[1 + rng() % (all.size() - 1)];
        PictureBase* q = all[rng() % all.size()];
        switch (rng() % 7) {
            case 0: p->SetLocalPosition(pos(rng), pos(rng)); break;
            case 1: p->SetPosition(pos(rng), pos(rng)); break;
            case 2: p->Rotate(ang(rng)); break;
            case 3: p->SetLocalScale(scl(rng) * (rng() % 4 == 0 ? -1.0f : 1.0f), scl(rng)); break;
            case 4: {
                // Cycles are refused and leave the tree unchanged.
                const bool cycle = [&] {
                    for (PictureBase* a = q; a; a = a->ParentBase())
                        if (a == p) return true;
                    return false;
                }();
                PictureBase* before = p->ParentBase();
                EXPECT_EQ(q->AddChild(p, rng() % 2 == 0), !cycle);
                if (cycle) {
                    EXPECT_EQ(p->ParentBase(), before);
                }
                break;
            }
            case 5: p->RotateAboutWorldPoint(pos(rng), pos(rng), ang(rng)); break;
            default: p->SetRotation(ang(rng)); break;
        }
    }
    for (PictureBase* p : all) {
        const Matrix expect = Recompute(p);
        const Matrix& got = p->GetWorldMatrix();
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(got.m[i], expect.m[i], 1e-2f * (1.0f + std::fabs(expect.m[i])));
        const PicPoint a{12.5f, -40.0f};
        const PicPoint b = p->WorldToLocal(p->LocalToWorld(a));
        EXPECT_NEAR(b.x, a.x, 1e-2f);
        EXPECT_NEAR(b.y, a.y, 1e-2f);
    }
    // Pictures outside the tree's root go with it: every one was reachable.
    for (PictureBase* p : all)
        if (p != root.get() && !p->ParentBase()) root->AddChild(p, false);
}

// The children flag the scene's pass reads in place of the list follows every change of it.
TEST_F(Pictures, ChildrenFlagFollowsEveryListChange) {
    std::mt19937 rng(9);
    Owned root(new PictureEmpty(SceneA()));
    std::vector<PictureBase*> live{root.get()};
    for (int step = 0; step < 600; ++step) {
        PictureBase* p = live[rng() % live.size()];
        PictureBase* q = live[rng() % live.size()];
        switch (rng() % 7) {
            case 0:
            case 1: {
                auto* c = new PictureEmpty(SceneA());
                ASSERT_TRUE(q->AddChild(c, false));
                live.push_back(c);
                break;
            }
            case 2:
                // The root stays the root: it owns whatever is left at the end.
                if (p != root.get()) q->AddChild(p, rng() % 2 == 0);
                break;
            case 3:
                if (p->ParentBase()) p->ParentBase()->RemoveChild(p, false);
                break;
            case 4: p->PassChildrenToParent(); break;
            case 5: p->DetachChildren(); break;
            default:
                if (p != root.get()) {
                    // Destroying takes the subtree with it.
                    const std::vector<PictureBase*> gone = test::SubtreeOf(live, p);
                    p->DeletingDestructor();
                    for (PictureBase* x : gone) live.erase(std::find(live.begin(), live.end(), x));
                }
                break;
        }
        for (PictureBase* x : live) ASSERT_EQ(x->HasChildren(), !x->Children().empty()) << "step " << step;
    }
    for (PictureBase* p : live)
        if (p != root.get() && !p->ParentBase()) root->AddChild(p, false);
}

TEST_F(Pictures, ForeignSceneAndNullRefused) {
    Owned a(new PictureEmpty(SceneA()));
    Owned b(new PictureEmpty(SceneB()));
    EXPECT_FALSE(a->AddChild(b.get(), false));
    EXPECT_FALSE(a->AddChild(nullptr, false));
    EXPECT_FALSE(a->AddChild(a.get(), false));
    EXPECT_EQ(a->GetChildCount(), 0);
    EXPECT_EQ(a->GetChild(0), nullptr);
    EXPECT_EQ(a->GetChild(-1), nullptr);
}

TEST_F(Pictures, EdgeTable) {
    renderer().Store()->DefineTexture("pic.dds", host::TextureDesc{1, 0, 100, 50, 3, true});
    Owned pic(new Picture(SceneA()));
    auto* p = static_cast<Picture*>(pic.get());
    ASSERT_TRUE(p->Load("pic.dds"));
    EXPECT_FLOAT_EQ(p->GetSize().x, 100.0f);
    p->SetAnchor(4);
    EXPECT_FLOAT_EQ(p->GetPivot().x, 50.0f);
    EXPECT_FLOAT_EQ(p->GetPivot().y, 25.0f);
    p->SetAnchor(9);
    EXPECT_FLOAT_EQ(p->GetPivot().x, 0.0f);
    EXPECT_FLOAT_EQ(p->GetPivot().y, 0.0f);

    p->SetLocalScale(1.00005f, 1.0f);
    EXPECT_FALSE(p->HasLocalScale());
    p->SetLocalScale(-1.0f, 1.0f);
    EXPECT_TRUE(p->IsMirrored());
    Owned parent(new PictureEmpty(SceneA()));
    parent->SetLocalScale(1.0f, -1.0f);
    ASSERT_TRUE(parent->AddChild(p, false));
    EXPECT_FALSE(p->IsMirrored());
    parent->RemoveChild(p, false);

    p->SetLocalRotation(350.0f);
    p->Rotate(30.0f);
    EXPECT_FLOAT_EQ(p->GetLocalRotation(), 20.0f);
    p->SetLocalRotation(330.0f);
    p->Rotate(30.0f);
    EXPECT_FLOAT_EQ(p->GetLocalRotation(), 360.0f);

    Owned root(new PictureEmpty(SceneA()));
    root->SetPositionBlend(0.5f, 0.5f);
    root->SetLocalPosition(10.0f, 0.0f);
    EXPECT_FLOAT_EQ(root->GetPosition().x, 5.0f);
    EXPECT_FLOAT_EQ(root->GetPosition().y, 0.0f);
    EXPECT_FALSE(p->Load("missing.dds"));
}

TEST_F(Pictures, ShadowFollowsAndNeedsItsTexture) {
    Owned p(new PictureEmpty(SceneA()));
    EXPECT_FALSE(p->CreateShadow(nullptr));
    renderer().Store()->DefineTexture("ShadowRound");
    ASSERT_TRUE(p->CreateShadow(nullptr));
    Picture* shadow = p->GetShadow();
    ASSERT_NE(shadow, nullptr);
    EXPECT_FLOAT_EQ(shadow->GetSize().x, 64.0f);
    EXPECT_FLOAT_EQ(shadow->GetSize().y, 32.0f);
    EXPECT_FLOAT_EQ(shadow->GetPivot().x, 32.0f);
    shadow->SetDisplayState(0, false);
    p->SetLocalPosition(70.0f, 80.0f);
    EXPECT_FLOAT_EQ(shadow->GetPosition().x, 70.0f);
    EXPECT_FLOAT_EQ(shadow->GetPosition().y, 80.0f);
    EXPECT_EQ(shadow->GetDisplayState(), 1);
    p.reset();
    EXPECT_EQ(renderer().LiveTextures(), 0);
    EXPECT_EQ(renderer().LivePrimitives(), 0);
}

TEST_F(Pictures, KeepWorldAndSingularParent) {
    Owned parent(new PictureEmpty(SceneA()));
    parent->SetLocalPosition(100.0f, 50.0f);
    parent->SetLocalRotation(90.0f);
    auto* child = new PictureEmpty(SceneA());
    child->SetLocalPosition(10.0f, 20.0f);
    ASSERT_TRUE(parent->AddChild(child, true));
    EXPECT_NEAR(child->GetPosition().x, 10.0f, 1e-3f);
    EXPECT_NEAR(child->GetPosition().y, 20.0f, 1e-3f);
    // A parent without an inverse: the child keeps its local transform, nothing non-finite.
    Owned flat(new PictureEmpty(SceneA()));
    flat->SetLocalScale(0.0f, 0.0f);
    auto* other = new PictureEmpty(SceneA());
    other->SetLocalPosition(3.0f, 4.0f);
    ASSERT_TRUE(flat->AddChild(other, true));
    EXPECT_FLOAT_EQ(other->GetLocalPosition().x, 3.0f);
    EXPECT_TRUE(std::isfinite(other->GetLocalRotation()));
    Matrix zero{};
    other->SetLocalTransform(zero);
    EXPECT_FLOAT_EQ(other->GetLocalRotation(), 0.0f);
}

TEST_F(Pictures, DetachHandsChildrenUp) {
    Owned root(new PictureEmpty(SceneA()));
    auto* mid = new PictureEmpty(SceneA());
    auto* leaf = new PictureEmpty(SceneA());
    root->AddChild(mid, false);
    mid->AddChild(leaf, false);
    mid->SetLocalPosition(5.0f, 5.0f);
    leaf->SetLocalPosition(1.0f, 1.0f);
    mid->Detach();
    EXPECT_EQ(leaf->GetParent(), root.get());
    EXPECT_NEAR(leaf->GetPosition().x, 6.0f, 1e-4f);
    EXPECT_EQ(mid->GetParent(), nullptr);
    mid->DeletingDestructor();
    EXPECT_EQ(root->GetChildCount(), 1);
}

TEST_F(Pictures, QuadCornersPlainAndRotated) {
    renderer().Store()->DefineTexture("q.dds", host::TextureDesc{1, 0, 40, 20, 3, true});
    Owned owned(new Picture(SceneA()));
    auto* p = static_cast<Picture*>(owned.get());
    ASSERT_TRUE(p->Load("q.dds"));
    p->SetPivot(10.0f, 5.0f);
    p->SetLocalPosition(100.0f, 200.0f);
    p->SetLocalScale(2.0f, 2.0f);
    p->Render(true, false);
    auto* prim = static_cast<host::RecordingPrimitive*>(p->Primitive());
    ASSERT_EQ(prim->vertices.size(), 4u);
    EXPECT_FLOAT_EQ(prim->vertices[0].x, 80.0f);
    EXPECT_FLOAT_EQ(prim->vertices[0].y, 190.0f);
    EXPECT_FLOAT_EQ(prim->vertices[2].x, 160.0f);
    EXPECT_FLOAT_EQ(prim->vertices[2].y, 230.0f);
    EXPECT_EQ(prim->drawCount, 1);
    p->SetLocalScale(1.0f, 1.0f);
    p->SetLocalRotation(90.0f);
    p->Render(true, false);
    // (-10, -5) turned by 90 degrees is (5, -10); then the half-pixel shift.
    EXPECT_NEAR(prim->vertices[0].x, 104.5f, 1e-3f);
    EXPECT_NEAR(prim->vertices[0].y, 189.5f, 1e-3f);
    p->Render(false, true);
    EXPECT_EQ(prim->drawCount, 2);
}

TEST_F(Pictures, SharedEffectsMadeAndFreed) {
    const int before = renderer().LiveEffects();
    CreatePictureMaterial();
    CreatePictureMaterial();
    EXPECT_EQ(renderer().LiveEffects(), before + 1);
    {
        Owned s(new UVSprite(SceneA()));
        Owned t(new UVSprite(SceneA()));
        EXPECT_EQ(renderer().LiveEffects(), before + 2);
    }
    ReleasePictureMaterial();
    EXPECT_EQ(renderer().LiveEffects(), before);
    EXPECT_EQ(Picture::SharedMaterial(), nullptr);
}

// --- UV sprites -------------------------------------------------------------------------------

struct Sprites : Pictures {
    UVSprite* Make(const test::SheetFileDesc& desc, const char* name = "s.spr") {
        files->AddFile(name, test::WriteSheetFile(desc));
        auto* s = new UVSprite(SceneA());
        owned.emplace_back(s);
        return s;
    }
    std::vector<Owned> owned;
};

TEST_F(Sprites, CellSizeAndBlankTexture) {
    renderer().Store()->DefineTexture("fx/sheet.dds", host::TextureDesc{1, 0, 512, 256, 3, true});
    UVSprite* s = Make({});
    ASSERT_TRUE(s->Load("s.spr"));
    EXPECT_FLOAT_EQ(s->GetSize().x, 128.0f);
    EXPECT_FLOAT_EQ(s->GetSize().y, 128.0f);
    test::SheetFileDesc missing;
    missing.texture = "fx/none.dds";
    UVSprite* blank = Make(missing, "b.spr");
    ASSERT_TRUE(blank->Load("b.spr"));
    EXPECT_NE(blank->GetTexture(), nullptr);
    EXPECT_FLOAT_EQ(blank->GetSize().x, 64.0f);  // the blank 256 x 256 over 4 columns
}

TEST_F(Sprites, BadSheetsFail) {
    const struct {
        const char* columns;
        const char* rows;
        const char* frames;
    } cases[] = {{"0", "2", "1"}, {"4", "0", "1"}, {"4", "2", "0"}, {"-1", "2", "1"}, {"x", "2", "1"}};
    for (const auto& c : cases) {
        test::SheetFileDesc d;
        d.columns = c.columns;
        d.rows = c.rows;
        d.third = c.frames;
        UVSprite* s = Make(d);
        log.Clear();
        EXPECT_FALSE(s->Load("s.spr")) << c.columns << c.rows << c.frames;
        EXPECT_TRUE(log.Contains("Sprite texture file s.spr is not found!"));
        EXPECT_EQ(s->GetTexture(), nullptr);
    }
    UVSprite* s = Make({});
    EXPECT_FALSE(s->Load("nowhere.spr"));
}

// A plain model of the stepping rules, side by side with the sprite.
struct SteppingModel {
    float counter = 0, u = 0, v = 0, cw, ch, endU, fpc;
    bool loop, stepping = true;
    void Render() {
        if (v >= 1 - ch && u >= endU) {
            u = v = 0;
            if (!loop) stepping = false;
        }
        if (counter > fpc && stepping) {
            counter = 0;
            u += cw;
            if (u >= 1) {
                u = 0;
                v += ch;
                if (v >= 1) v = 0;
            }
        } else {
            counter += 1;
        }
    }
};

TEST_F(Sprites, StepsLikeThePlainModel) {
    for (const char* loop : {"1", "0"}) {
        test::SheetFileDesc d;
        d.length = "0";  // frames per cell 0: a new cell every second render
        d.loop = loop;
        d.fourth = "2";
        UVSprite* s = Make(d);
        ASSERT_TRUE(s->Load("s.spr"));
        EXPECT_FLOAT_EQ(s->FramesPerCell(), 0.0f);
        SteppingModel m{0, 0, 0, 0.25f, 0.5f, 0.5f, 0.0f, loop[0] == '1'};
        auto* prim = static_cast<host::RecordingPrimitive*>(s->Primitive());
        for (int i = 0; i < 200; ++i) {
            const float u = m.u, v = m.v;
            const bool reset = v >= 1 - m.ch && u >= m.endU;
            s->Render(true, false);
            m.Render();
            ASSERT_EQ(s->U(), m.u) << i;
            ASSERT_EQ(s->V(), m.v) << i;
            ASSERT_FLOAT_EQ(prim->vertices[0].u, reset ? 0.0f : u) << i;
        }
        if (loop[0] == '0') {
            EXPECT_FALSE(s->IsStepping());
            EXPECT_EQ(s->U(), 0.0f);
            EXPECT_EQ(s->V(), 0.0f);
        }
    }
}

}  // namespace
}  // namespace quor::world
