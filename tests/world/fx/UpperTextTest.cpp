#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/RecordingPrimitive.h"
#include "tests/support/world/fx/GlyphFixture.h"
#include "world/fx/UpperText.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::UpperText;
using world::UpperTextGroup;
using world::UpperTextMgr;

struct TextFixture : GlyphFixture {
    // A group with a font of the given cell (0: the font's own).
    UpperTextGroup* Group(const char* name = "names", int extraWidth = 0, int extraHeight = 0) {
        UpperTextGroup* group = UpperTextMgr::Instance().CreateGroup(name);
        if (group) group->SetFont("SimSun", 12, 1, extraWidth, extraHeight, 1, 0, 400);
        return group;
    }
    host::RecordingPrimitive* Primitive() {
        return static_cast<host::RecordingPrimitive*>(UpperTextMgr::Instance().Primitive());
    }
    ~TextFixture() { UpperTextMgr::Instance().Clear(); }
};

UpperText* ShowText(UpperTextGroup* group, const std::string& name, const std::string& text, float x, float y,
                    float z) {
    UpperText* t = group->FindText(name.c_str());
    if (!t) t = group->CreateText(name.c_str());
    t->SetText(text.c_str());
    const float colour[4] = {1, 1, 0, 1};
    t->SetColor(colour);
    const float position[3] = {x, y, z};
    t->SetPosition(position);
    t->Show();
    return t;
}

TEST(UpperText, SlotsStoreWhatTheyAreGiven) {
    TextFixture fx;
    UpperTextGroup* group = fx.Group();
    UpperText* text = group->CreateText("hero");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->GetName(), "hero");
    EXPECT_TRUE(text->IsVisible());
    EXPECT_TRUE(text->Dirty());
    EXPECT_STREQ(text->GetText(), "");
    text->SetVisible(false);
    EXPECT_FALSE(text->IsVisible());
    float colour[4] = {9, 9, 9, 9};
    text->GetColor(colour);
    EXPECT_EQ(std::vector<float>(colour, colour + 4), std::vector<float>(4, 0.0f));
    const float red[4] = {1, 0, 0, 0.5f};
    text->SetColor(red);
    text->GetColor(colour);
    EXPECT_EQ(std::vector<float>(colour, colour + 4), std::vector<float>(red, red + 4));
    const float position[3] = {100, 50, 0.3f};
    text->SetPosition(position);
    EXPECT_FLOAT_EQ(text->GetPosition()[0], 99.5f);
    EXPECT_FLOAT_EQ(text->GetPosition()[1], 49.5f);
    EXPECT_FLOAT_EQ(text->GetPosition()[2], 0.3f);

    struct Case {
        std::string given, kept;
    };
    const Case cases[] = {
        {std::string(21, 'a'), std::string(20, 'a')},
        {std::string(20, 'b'), std::string(20, 'b')},
        // A two-byte character cut at byte 20 keeps its lead byte.
        {std::string(19, 'c') + "\xD6\xD0", std::string(19, 'c') + "\xD6"},
    };
    for (const Case& c : cases) {
        text->SetText(c.given.c_str());
        EXPECT_EQ(text->GetText(), c.kept);
    }
    // The cut text still draws: the lead byte alone is one character.
    text->Show();
    group->Render();
    EXPECT_EQ(group->LastRedrawn(), 1);
}

TEST(UpperText, GroupsAndTextsByName) {
    TextFixture fx;
    UpperTextMgr& mgr = UpperTextMgr::Instance();
    UpperTextGroup* group = fx.Group("labels");
    EXPECT_EQ(mgr.CreateGroup("labels"), nullptr);
    EXPECT_EQ(mgr.FindGroup("labels"), group);
    EXPECT_EQ(mgr.FindGroup("none"), nullptr);
    UpperText* a = group->CreateText("a");
    EXPECT_EQ(group->CreateText("a"), nullptr);
    EXPECT_EQ(group->FindText("a"), a);
    group->CreateText("b");
    a->Show();
    EXPECT_EQ(group->DrawList().size(), 1u);
    EXPECT_TRUE(group->DestroyText(a));
    EXPECT_TRUE(group->DrawList().empty());
    EXPECT_FALSE(group->DestroyText(a));
    EXPECT_TRUE(group->DestroyText("b"));
    EXPECT_FALSE(group->DestroyText("b"));
    EXPECT_FALSE(mgr.DestroyGroup("none"));
    EXPECT_TRUE(mgr.DestroyGroup(group));
    EXPECT_FALSE(mgr.DestroyGroup(group));
    EXPECT_EQ(mgr.FindGroup("labels"), nullptr);
}

TEST(UpperText, CellsFollowTheFontsCell) {
    TextFixture fx;
    UpperTextGroup* probe = fx.Group("probe");
    const int width = int(probe->Font()->CellWidth()), height = int(probe->Font()->CellHeight());
    struct Case {
        int fontWidth, fontHeight;
        int cellWidth, columns, rows, capacity;
    };
    const Case cases[] = {{14, 16, 168, 6, 64, 384}, {10, 20, 120, 8, 51, 408},
                          // 12 x 86 does not fit 1024: no cells, nothing drawn.
                          {86, 16, 1032, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fontWidth);
        UpperTextGroup* group = fx.Group(("g" + std::to_string(c.fontWidth)).c_str(), c.fontWidth - width,
                                         c.fontHeight - height);
        ASSERT_EQ(int(group->Font()->CellWidth()), c.fontWidth);
        EXPECT_EQ(group->CellWidth(), c.cellWidth);
        EXPECT_EQ(group->Columns(), c.columns);
        EXPECT_EQ(group->Rows(), c.rows);
        EXPECT_EQ(group->Capacity(), c.capacity);
        EXPECT_TRUE(fx.world.capture.Contains(std::to_string(c.columns) + "," + std::to_string(c.rows)));
        if (c.capacity == 0) {
            host::RecordingPrimitive* primitive = fx.Primitive();
            const int draws = primitive->drawCount;
            ShowText(group, "t", "abc", 100, 100, 0);
            group->Render();
            EXPECT_EQ(primitive->drawCount, draws);
        }
    }
}

TEST(UpperText, RenderSortsByDepthDrawsOnceAndRedrawsOnlyChangedCells) {
    TextFixture fx;
    UpperTextGroup* group = fx.Group();
    ShowText(group, "near", "ab", 100, 50, 0.2f);
    UpperText* far = ShowText(group, "far", "cd", 300, 80, 0.8f);
    far->Show();  // a second Show in the frame is ignored
    EXPECT_EQ(group->DrawList().size(), 2u);
    group->Render();
    EXPECT_EQ(group->LastRedrawn(), 2);
    host::RecordingPrimitive* p = fx.Primitive();
    ASSERT_EQ(p->used, 4);
    ASSERT_GE(p->vertices.size(), 12u);
    EXPECT_EQ(p->badWrites, 0);
    // The farther text first; its rectangle spans x - W / 2 .. x + W / 2 from its stored
    // (offset) position.
    const float w = float(group->CellWidth()), h = float(group->CellHeight());
    EXPECT_FLOAT_EQ(p->vertices[0].x, 299.5f - w / 2);
    EXPECT_FLOAT_EQ(p->vertices[0].y, 79.5f);
    EXPECT_FLOAT_EQ(p->vertices[5].x, 299.5f + w / 2);
    EXPECT_FLOAT_EQ(p->vertices[5].y, 79.5f + h);
    EXPECT_FLOAT_EQ(p->vertices[0].z, 0.8f);
    EXPECT_FLOAT_EQ(p->vertices[6].x, 99.5f - w / 2);
    // Texture coordinates: the cell's rectangle of the 1024 x 1024 target.
    EXPECT_FLOAT_EQ(p->vertices[5].u - p->vertices[0].u, w / 1024);
    EXPECT_FLOAT_EQ(p->vertices[5].v - p->vertices[0].v, h / 1024);
    EXPECT_EQ(p->textures[0], group->Target());
    EXPECT_EQ(p->calls.back(), "Draw(-1,-1,0)");

    // The next frame: unchanged texts keep their cells; a changed one is redrawn in its cell.
    ShowText(group, "near", "ab", 100, 50, 0.2f);
    group->FindText("far")->Show();
    group->Render();
    EXPECT_EQ(group->LastRedrawn(), 1);
    group->FindText("far")->Show();
    group->Render();
    EXPECT_EQ(group->LastRedrawn(), 0);
}

TEST(UpperText, RedrawnCellsHoldTheTextInItsColourWithAShadow) {
    TextFixture fx;
    UpperTextGroup* group = fx.Group();
    UpperText* text = ShowText(group, "t", "\xD6\xD0\xB9\xFA\xB0\xA1" "ab", 200, 200, 0);
    group->Render();
    auto* target = static_cast<d3d9::IDirect3DTexture9*>(group->Target()->GetSurface());
    ASSERT_NE(target, nullptr);
    d3d9::IDirect3DSurface9* pixels = target->Level(0);
    int yellow = 0, shadow = 0, outside = 0;
    const std::uint32_t x0 = text->CellColumn() * std::uint32_t(group->CellWidth());
    const std::uint32_t y0 = text->CellRow() * std::uint32_t(group->CellHeight());
    for (std::uint32_t y = 0; y < 1024; ++y)
        for (std::uint32_t x = 0; x < 1024; ++x) {
            const std::uint32_t p = pixels->Pixel(x, y);
            const bool inCell = x >= x0 && x < x0 + std::uint32_t(group->CellWidth()) && y >= y0 &&
                                y < y0 + std::uint32_t(group->CellHeight());
            if (!inCell) {
                outside += p != 0;
                continue;
            }
            const std::uint32_t a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            yellow += a > 150 && r > 150 && g > 150 && b < 30;
            shadow += a > 100 && r < 30 && g < 30 && b < 30;
        }
    EXPECT_GT(yellow, 5);
    EXPECT_GT(shadow, 5);
    EXPECT_EQ(outside, 0);
}

TEST(UpperText, FlushPutsBackTheDevicesTargetAndDepthSurface) {
    TextFixture fx;
    d3d9::IDirect3DDevice9& device = fx.device();
    d3d9::IDirect3DTexture9* own = nullptr;
    ASSERT_EQ(device.CreateTexture(64, 64, 1, d3d9::D3DUSAGE_RENDERTARGET, d3d9::D3DFMT_A8R8G8B8,
                                   d3d9::D3DPOOL_DEFAULT, &own, nullptr),
              0);
    d3d9::IDirect3DSurface9* ownDepth = nullptr;
    ASSERT_EQ(device.CreateDepthStencilSurface(64, 64, d3d9::D3DFMT_D24S8, 0, 0, false, &ownDepth, nullptr), 0);
    device.SetRenderTarget(0, own->Level(0));
    device.SetDepthStencilSurface(ownDepth);
    UpperTextGroup* group = fx.Group();
    ShowText(group, "t", "abc", 100, 100, 0);
    device.ClearCalls();
    group->Render();
    const auto calls = device.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "DrawIndexedPrimitiveUP(4,0,10000,18,101,28)"), calls.end());
    d3d9::IDirect3DSurface9* target = nullptr;
    d3d9::IDirect3DSurface9* depth = nullptr;
    device.GetRenderTarget(0, &target);
    device.GetDepthStencilSurface(&depth);
    EXPECT_EQ(target, own->Level(0));
    EXPECT_EQ(depth, ownDepth);
    target->Release();
    depth->Release();
    device.SetDepthStencilSurface(nullptr);
    d3d9::IDirect3DSurface9* back = nullptr;
    device.GetRenderTarget(0, &back);
    back->Release();
    own->Release();
    ownDepth->Release();
}

TEST(UpperText, TwoHundredTextsInAFrameFitThePrimitive) {
    TextFixture fx;
    UpperTextGroup* group = fx.Group();
    for (int i = 0; i < 201; ++i)
        ShowText(group, "t" + std::to_string(i), Hanzi(i) + std::to_string(i), float(i % 20) * 50, float(i / 20) * 20,
                 float(i) / 201);
    EXPECT_EQ(group->DrawList().size(), 200u);
    group->Render();
    host::RecordingPrimitive* p = fx.Primitive();
    EXPECT_EQ(p->used, 400);
    EXPECT_EQ(p->capacity, 1200u);
    EXPECT_EQ(p->badWrites, 0);
    EXPECT_EQ(p->vertices.size(), 1200u);
    EXPECT_EQ(group->LastRedrawn(), 200);
    // Nearest (largest z) is t199, the first drawn.
    EXPECT_FLOAT_EQ(p->vertices[0].z, 199.0f / 201);
}

TEST(UpperText, DeviceLossAndResetRedrawEveryText) {
    TextFixture fx;
    UpperTextGroup* group = fx.Group();
    ShowText(group, "a", "abc", 100, 100, 0);
    ShowText(group, "b", "def", 200, 100, 0);
    group->Render();
    ASSERT_NE(group->DepthSurface(), nullptr);
    const int surfaces = fx.device().LiveSurfaces();
    UpperTextMgr::Instance().OnDeviceLost();
    EXPECT_EQ(group->DepthSurface(), nullptr);
    EXPECT_EQ(fx.device().LiveSurfaces(), surfaces - 1);
    fx.world.host().renderer.ClearCalls();
    UpperTextMgr::Instance().OnDeviceReset();
    EXPECT_NE(group->DepthSurface(), nullptr);
    EXPECT_EQ(group->CellRecordCount(), 0u);
    EXPECT_TRUE(group->DrawList().empty());
    const auto calls = fx.world.host().renderer.Calls();
    EXPECT_EQ(calls, (std::vector<std::string>{"ReleaseTexture", "CreateTexture(1024,1024,21,1,1,0)",
                                               "CreateDepthSurface(1024,1024,75)"}));
    group->FindText("a")->Show();
    group->FindText("b")->Show();
    group->Render();
    EXPECT_EQ(group->LastRedrawn(), 2);
    // Without a target nothing is drawn.
    UpperTextGroup* bare = UpperTextMgr::Instance().CreateGroup("bare");
    bare->CreateText("x")->Show();
    const int draws = fx.Primitive()->drawCount;
    bare->Render();
    EXPECT_EQ(fx.Primitive()->drawCount, draws);
}

TEST(UpperText, WorldForwardsToItsNameGroupAndGivesEverythingBackAtShutdown) {
    TextFixture fx;
    host::ReferenceHost& host = fx.world.host();
    const int gdiBefore = gdi::LiveObjects();
    World& world = World::Instance();
    world.SetNameFont("SimSun", 14, 1, 0, 0, 1, 0, 0, 0);
    render::IUpperText* text = world.CreateNameText("hero");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(world.CreateNameText("hero"), nullptr);
    text->SetText("abc");
    text->Show();
    world.ClearNameDrawList();
    EXPECT_TRUE(UpperTextMgr::Instance().FindGroup("world_name")->DrawList().empty());
    text->Show();
    world.RenderUpperTexts();
    EXPECT_EQ(fx.Primitive()->used, 2);
    EXPECT_TRUE(world.DestroyNameText(text));
    EXPECT_FALSE(world.DestroyNameText(text));
    EXPECT_EQ(host.renderer.LiveDynamicBuffers(), 1);
    world.Shutdown();
    EXPECT_EQ(host.renderer.LivePrimitives(), 0);
    EXPECT_EQ(host.renderer.LiveTextures(), 0);
    EXPECT_EQ(host.renderer.LiveDynamicBuffers(), 0);
    EXPECT_EQ(fx.device().LiveTextures(), 0);
    EXPECT_EQ(fx.device().LiveSurfaces(), 0);
    EXPECT_LE(gdi::LiveObjects(), gdiBefore);
    EXPECT_EQ(host.renderer.BadReleases(), 0);
    // A later start finds the name group again.
    EXPECT_NE(UpperTextMgr::Instance().FindGroup("world_name"), nullptr);
    world.Initialize(60);
}

// At process exit the host has gone: the managers' destructors must call nothing of it.
TEST(UpperTextDeathTest, ExitAfterTheHostWentCallsNothingOfIt) {
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            auto* fx = new GlyphFixture;
            UpperTextGroup* group = UpperTextMgr::Instance().CreateGroup("late");
            group->SetFont("SimSun", 12, 1, 0, 0, 1, 0, 400);
            ShowText(group, "t", "abc", 10, 10, 0);
            group->Render();
            // The host goes without a shutdown of the module's text objects.
            fx->world.capture.bound.host.~ReferenceHost();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
