#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/d3d9/Device.h"
#include "tests/support/world/fx/GlyphFixture.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::GlyphFont;
using world::GlyphFontMgr;
using world::GlyphInfo;
using world::GlyphVertex;

const float kWhite[4] = {1, 1, 1, 1};
const float kBlack[4] = {0, 0, 0, 1};

GlyphFont* Font(std::int32_t height = 12, std::int32_t greyscale = 1, std::int32_t extraWidth = 0,
                std::int32_t extraHeight = 0, std::int32_t weight = 400) {
    return GlyphFontMgr::Instance().GetFont("SimSun", height, greyscale, extraWidth, extraHeight, 1, 0, weight);
}

// The vertices of the last draws, at the front of the batch the fonts share.
const GlyphVertex* Batch() { return GlyphFontMgr::Instance().Batch().data(); }

gdi::SIZE ProbeSize(std::int32_t height) {
    gdi::HDC dc = gdi::CreateCompatibleDC(nullptr);
    gdi::HFONT font = gdi::CreateFontA(height, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 4, 2, "SimSun");
    gdi::SelectObject(dc, font);
    const gdi::WCHAR probe[1] = {u'\u6EBA'};
    gdi::SIZE size;
    gdi::GetTextExtentPoint32W(dc, probe, 1, &size);
    gdi::DeleteDC(dc);
    gdi::DeleteObject(font);
    return size;
}

TEST(GlyphFont, CellIsTheMeasuredProbeAndLayoutFollows) {
    GlyphFixture fx;
    const gdi::SIZE probe = ProbeSize(12);
    GlyphFont* font = Font(12);
    EXPECT_EQ(font->CellWidth(), std::uint32_t(probe.cx));
    EXPECT_EQ(font->CellHeight(), std::uint32_t(probe.cy));
    EXPECT_EQ(font->Columns(), 512u / font->CellWidth());
    EXPECT_EQ(font->Rows(), 512u / font->CellHeight());
    EXPECT_EQ(font->Capacity(), std::min(font->Rows() * font->Columns(), 2500u));
    EXPECT_EQ(font->WrapWidth(), 512u);
    EXPECT_EQ(font->AlphaRef(), 1);
    EXPECT_EQ(font->LineHeight(), font->CellHeight() + 2);
    EXPECT_GT(font->Ascent(), 0);
    ASSERT_NE(font->Page(), nullptr);
    EXPECT_EQ(font->Page()->Format(), d3d9::D3DFMT_A8);
    EXPECT_EQ(font->Page()->Pool(), d3d9::D3DPOOL_MANAGED);
}

TEST(GlyphFont, CellDimensionsOutsideTheirRangeAreReplacedOrRefused) {
    GlyphFixture fx;
    const gdi::SIZE probe = ProbeSize(12);
    const gdi::SIZE defaultProbe = ProbeSize(0);
    struct Case {
        std::int32_t height, extraWidth, extraHeight;
        std::uint32_t cellWidth, cellHeight;  // 0: a font without cells
    };
    const Case cases[] = {
        {12, 101, 0, 12, std::uint32_t(probe.cy)},           // over 100: the height
        {12, 0, 200, std::uint32_t(probe.cx), 12},
        {12, -probe.cx, 0, 12, std::uint32_t(probe.cy)},      // 0: the height
        {0, -defaultProbe.cx, 0, 0, 0},                       // the height 0 would divide by zero
        {-300, 0, 0, 0, 0},                                   // a negative height gives no cell
        {12, -probe.cx - 3, 0, 0, 0},                         // a negative cell
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.height << "," << c.extraWidth << "," << c.extraHeight);
        GlyphFont* font = Font(c.height, 1, c.extraWidth, c.extraHeight);
        if (c.cellWidth == 0) {
            EXPECT_EQ(font->Capacity(), 0u);
            EXPECT_EQ(font->MeasureText("ab"), 0u);
            EXPECT_EQ(font->DrawText(0, 0, kWhite, "ab", false, kBlack, false), 0);
            EXPECT_EQ(font->VertexCount(), 0u);
        } else {
            EXPECT_EQ(font->CellWidth(), c.cellWidth);
            EXPECT_EQ(font->CellHeight(), c.cellHeight);
        }
    }
}

TEST(GlyphFont, FailedFontOrPageDrawsNothing) {
    {
        GlyphFixture fx;
        gdi::FailFontCreation(true);
        GlyphFont* font = Font();
        EXPECT_EQ(font->Capacity(), 0u);
        EXPECT_EQ(font->MeasureText("abc"), 0u);
        EXPECT_EQ(font->DrawText(0, 0, kWhite, "abc", true, kBlack, false), 0);
        EXPECT_EQ(font->VertexCount(), 0u);
    }
    {
        GlyphFixture fx;
        fx.device().FailCreation(1);
        GlyphFont* font = Font();
        EXPECT_EQ(font->Page(), nullptr);
        EXPECT_EQ(font->Capacity(), 0u);
        EXPECT_EQ(font->DrawText(0, 0, kWhite, "abc", false, kBlack, false), d3d9::E_FAIL);
        EXPECT_EQ(font->Flush(), 0);
    }
}

TEST(GlyphFontMgr, KeysSeparateTheirNumbersAndCountReferences) {
    GlyphFixture fx;
    GlyphFontMgr& mgr = GlyphFontMgr::Instance();
    GlyphFont* a = mgr.GetFont("F", 1, 12, 0, 0, 1, 0, 0);
    GlyphFont* b = mgr.GetFont("F", 11, 2, 0, 0, 1, 0, 0);
    EXPECT_NE(a, b);
    EXPECT_NE(mgr.GetFont("F1", 2, 0, 0, 0, 1, 0, 0), mgr.GetFont("F", 12, 0, 0, 0, 1, 0, 0));
    EXPECT_EQ(mgr.FontCount(), 4u);
    GlyphFont* again = mgr.GetFont("F", 1, 12, 0, 0, 1, 0, 0);
    EXPECT_EQ(again, a);
    EXPECT_EQ(a->RefCount(), 2u);
    const int textures = fx.device().LiveTextures();
    a->Release();
    EXPECT_EQ(mgr.FontCount(), 4u);
    a->Release();
    EXPECT_EQ(mgr.FontCount(), 3u);
    EXPECT_EQ(fx.device().LiveTextures(), textures - 1);
    EXPECT_FALSE(mgr.ReleaseFont(GlyphFontMgr::MakeKey("F", 1, 12, 0, 0, 1, 0, 0)));
    EXPECT_TRUE(mgr.ReleaseFont(b->Key()));
    mgr.Clear();
    EXPECT_EQ(mgr.FontCount(), 0u);
    EXPECT_EQ(fx.device().LiveTextures(), 0);
    // The shared state comes back with the next font.
    GlyphFont* c = Font();
    EXPECT_EQ(c->DrawText(0, 0, kWhite, "x", false, kBlack, false), 0);
    EXPECT_EQ(c->VertexCount(), 4u);
}

// The page holds what FreeType itself renders for the character: grey levels scaled to 0..64
// and back up by four, or the monochrome bits as 0 and 255.
TEST(GlyphFont, PagePixelsEqualFreeTypesBitmapOfTheCharacter) {
    GlyphFixture fx;
    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(library, gdi::FaceFile().c_str(), 0, &face), 0);
    FT_Size_RequestRec request{};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;
    request.height = 16 << 6;
    ASSERT_EQ(FT_Request_Size(face, &request), 0);
    const std::string character = "\xD6\xD0";  // U+4E2D in GBK
    for (int greyscale : {1, 0}) {
        SCOPED_TRACE(greyscale);
        GlyphFont* font = Font(16, greyscale);
        EXPECT_GT(font->MeasureText(character.c_str()), 0u);
        const GlyphInfo* glyph = font->CachedGlyph(character);
        ASSERT_NE(glyph, nullptr);
        ASSERT_EQ(FT_Load_Char(face, 0x4E2D, greyscale ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO), 0);
        ASSERT_EQ(FT_Render_Glyph(face->glyph, greyscale ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO), 0);
        const FT_Bitmap& bm = face->glyph->bitmap;
        ASSERT_EQ(glyph->blackBoxWidth, std::int32_t(bm.width));
        ASSERT_EQ(glyph->blackBoxHeight, std::int32_t(bm.rows));
        EXPECT_EQ(glyph->originY, face->glyph->bitmap_top);
        d3d9::IDirect3DSurface9* page = font->Page()->Level(0);
        int differing = 0, inked = 0;
        for (unsigned y = 0; y < bm.rows; ++y)
            for (unsigned x = 0; x < bm.width; ++x) {
                const std::uint8_t* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
                unsigned expected;
                if (greyscale)
                    expected = std::min(255u, (row[x] * 64u + 127u) / 255u * 4u);
                else
                    expected = (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
                const unsigned got = page->Pixel(glyph->column * font->CellWidth() + x,
                                                 glyph->row * font->CellHeight() + y) >> 24;
                differing += got != expected;
                inked += got != 0;
            }
        EXPECT_EQ(differing, 0);
        EXPECT_GT(inked, 10);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

TEST(GlyphFont, SpacesAdvanceOnlyAndLineFeedsStartLines) {
    GlyphFixture fx;
    GlyphFont* font = Font();
    EXPECT_EQ(font->MeasureText("   "), 0u);
    EXPECT_EQ(font->MeasureText(""), 0u);
    EXPECT_EQ(font->MeasureText(nullptr), 0u);
    EXPECT_EQ(font->DrawText(0, 0, kWhite, "   ", false, kBlack, false), 0);
    EXPECT_EQ(font->VertexCount(), 0u);
    EXPECT_EQ(font->DrawText(0, 0, kWhite, "", false, kBlack, false), 0);

    const std::uint32_t a = font->MeasureText("a");
    EXPECT_EQ(font->MeasureText("a a"), 2 * a);
    font->SetCharSpacing(3);
    EXPECT_EQ(font->MeasureText("aa"), 2 * a + 6);
    font->SetCharSpacing(0);

    font->ResetBatch();
    ASSERT_EQ(font->DrawText(10, 20, kWhite, "a a\na", false, kBlack, false), 0);
    // weight 400: one quad a glyph.
    ASSERT_EQ(font->VertexCount(), 12u);
    const GlyphVertex* v = Batch();
    const float space = float(int(float(font->CellWidth()) * 0.38f));
    EXPECT_FLOAT_EQ(v[4].x - v[0].x, float(a) + space);
    EXPECT_FLOAT_EQ(v[8].x, v[0].x);
    EXPECT_FLOAT_EQ(v[9].y - v[1].y, float(font->CellHeight()));
    // The quad: (left, bottom), (left, top), (right, bottom), (right, top), the half-pixel offset in.
    const GlyphInfo* glyph = font->CachedGlyph("a");
    ASSERT_NE(glyph, nullptr);
    EXPECT_FLOAT_EQ(v[1].x, 10 - 0.5f + float((glyph->advance - glyph->blackBoxWidth) / 2));
    EXPECT_FLOAT_EQ(v[1].y, 20 - 0.5f + float(font->Ascent() - glyph->originY));
    EXPECT_FLOAT_EQ(v[0].y - v[1].y, float(glyph->blackBoxHeight));
    EXPECT_FLOAT_EQ(v[2].x - v[0].x, float(glyph->blackBoxWidth));
    EXPECT_FLOAT_EQ(v[3].u - v[1].u, float(glyph->blackBoxWidth) / 512);
    EXPECT_FLOAT_EQ(v[0].z, 0.001f);
    EXPECT_FLOAT_EQ(v[0].rhw, 1.0f);
    EXPECT_EQ(v[0].colour, 0xFFFFFFFFu);
}

TEST(GlyphFont, QuadsAndTrianglesPerGlyph) {
    GlyphFixture fx;
    struct Case {
        bool outlined, shadowOnly;
        std::int32_t weight;
        std::uint32_t quads, triangles;
    };
    const Case cases[] = {{false, false, 400, 1, 2}, {true, true, 400, 3, 6},  {true, false, 400, 9, 18},
                          {false, false, 0, 2, 4},   {true, true, 0, 4, 8},    {true, false, 0, 10, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.outlined << c.shadowOnly << c.weight);
        GlyphFont* font = Font(12, 1, 0, 0, c.weight);
        font->ResetBatch();
        const float red[4] = {1, 0, 0, 0.5f};
        ASSERT_EQ(font->DrawText(0, 0, red, "ab", c.outlined, kBlack, c.shadowOnly), 0);
        EXPECT_EQ(font->VertexCount(), 2 * 4 * c.quads);
        EXPECT_EQ(font->TriangleCount(), 2 * c.triangles);
        const GlyphVertex* v = Batch();
        // Outline quads first, displaced by one pixel; the text quad last, undisplaced.
        const std::uint32_t last = 4 * (c.quads - 1);
        EXPECT_EQ(v[last].colour, 0x80FF0000u);
        if (c.outlined) {
            EXPECT_EQ(v[0].colour, 0xFF000000u);
            EXPECT_FLOAT_EQ(v[0].x - v[last].x, 1.0f);
            EXPECT_FLOAT_EQ(v[4].y - v[last].y, 1.0f);
        }
    }
}

TEST(GlyphFont, WrapsWhenTheLineWouldPassTheWrapWidth) {
    GlyphFixture fx;
    GlyphFont* font = Font();
    const std::uint32_t a = font->MeasureText("a");
    font->SetWrapWidth(2 * a);
    font->SetLineSpacing(4);
    font->ResetBatch();
    ASSERT_EQ(font->DrawText(0, 0, kWhite, "aaa", true, kBlack, true), 0);
    const GlyphVertex* v = Batch();
    // Three quads a glyph; the third glyph's text quad starts the next line, one pixel lower
    // for the outline.
    EXPECT_FLOAT_EQ(v[8 + 24].y - v[8].y, float(font->CellHeight() + 4 + 1));
    EXPECT_FLOAT_EQ(v[8 + 24].x, v[8].x);
}

TEST(GlyphFont, CellsFillInOrderThenReuseUnusedOnesAndLastCellZero) {
    GlyphFixture fx;
    GlyphFont* font = Font(8);
    ASSERT_EQ(font->Capacity(), 2500u);
    font->ResetBatch();
    for (int i = 0; i < 2500; ++i) ASSERT_GT(font->MeasureText(Hanzi(i).c_str()), 0u) << i;
    const GlyphInfo* first = font->CachedGlyph(Hanzi(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(font->CachedGlyph(Hanzi(2499))->column, 2499 % font->Columns());
    // Every cell was used in this batch: the 2501st character goes to cell (0, 0).
    font->MeasureText(Hanzi(2500).c_str());
    EXPECT_EQ(font->CachedGlyph(Hanzi(0)), nullptr);
    const GlyphInfo* newest = font->CachedGlyph(Hanzi(2500));
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(newest->column, 0u);
    EXPECT_EQ(newest->row, 0u);
    // A new batch: the highest cell not used since takes the next new character.
    font->ResetBatch();
    font->MeasureText(Hanzi(2500).c_str());
    font->MeasureText(Hanzi(2501).c_str());
    const GlyphInfo* reused = font->CachedGlyph(Hanzi(2501));
    ASSERT_NE(reused, nullptr);
    EXPECT_EQ(reused->row * font->Columns() + reused->column, 2499u);
    EXPECT_EQ(font->CachedGlyph(Hanzi(2499)), nullptr);
    EXPECT_NE(font->CachedGlyph(Hanzi(2498)), nullptr);
}

TEST(GlyphFont, UnrasterisableCharactersDrawNothing) {
    GlyphFixture fx;
    GlyphFont* font = Font();
    ASSERT_GT(font->MeasureText("a"), 0u);
    gdi::FailGlyphOutlines(true);
    font->ResetBatch();
    EXPECT_EQ(font->MeasureText("b"), 0u);
    EXPECT_EQ(font->DrawText(0, 0, kWhite, "b", false, kBlack, false), 0);
    EXPECT_EQ(font->VertexCount(), 0u);
    EXPECT_EQ(font->CachedGlyph("b"), nullptr);
    // Cached glyphs still draw.
    EXPECT_EQ(font->DrawText(0, 0, kWhite, "ab", false, kBlack, false), 0);
    EXPECT_EQ(font->VertexCount(), 4u);
    gdi::FailGlyphOutlines(false);
    // A page that cannot be written caches nothing either.
    fx.device().FailTextureLocks(true);
    EXPECT_EQ(font->MeasureText("c"), 0u);
    EXPECT_EQ(font->CachedGlyph("c"), nullptr);
}

TEST(GlyphFont, LoneLeadByteIsOneCharacterAndNothingIsReadPastTheText) {
    GlyphFixture fx;
    GlyphFont* font = Font();
    const std::uint32_t a = font->MeasureText("a");
    // Heap copies, so that a read past the end shows under the address sanitizer.
    for (const char* text : {"\xD6", "a\xD6", "\xD6\xD0\xD6"}) {
        SCOPED_TRACE(text);
        const std::size_t n = std::strlen(text);
        std::unique_ptr<char[]> copy(new char[n + 1]);
        std::memcpy(copy.get(), text, n + 1);
        font->ResetBatch();
        font->MeasureText(copy.get());
        EXPECT_EQ(font->DrawText(0, 0, kWhite, copy.get(), false, kBlack, false), 0);
    }
    // The lone lead byte is not a GBK character: it draws nothing and takes no width.
    EXPECT_EQ(font->MeasureText("a\xD6"), a);
    EXPECT_EQ(font->MeasureText("\xD6\xD0\xD6"), font->MeasureText("\xD6\xD0"));
}

TEST(GlyphFont, BlackBoxesLargerThanTheCellStayInsideIt) {
    GlyphFixture fx;
    for (int greyscale : {1, 0}) {
        SCOPED_TRACE(greyscale);
        // A cell far narrower and lower than the glyphs.
        GlyphFont* font = Font(40, greyscale, -30, -30);
        ASSERT_GT(font->Capacity(), 0u);
        ASSERT_LT(font->CellWidth(), 20u);
        font->MeasureText("\xD6\xD0");
        const GlyphInfo* glyph = font->CachedGlyph("\xD6\xD0");
        ASSERT_NE(glyph, nullptr);
        EXPECT_LE(glyph->blackBoxWidth, std::int32_t(font->CellWidth()));
        EXPECT_LE(glyph->blackBoxHeight, std::int32_t(font->CellHeight()));
        d3d9::IDirect3DSurface9* page = font->Page()->Level(0);
        int outside = 0;
        for (unsigned y = 0; y < 512; ++y)
            for (unsigned x = 0; x < 512; ++x)
                if (x >= font->CellWidth() || y >= font->CellHeight()) outside += page->Pixel(x, y) != 0;
        EXPECT_EQ(outside, 0);
    }
}

TEST(GlyphFont, BatchStopsAtItsSizeAndAFullBatchFails) {
    GlyphFixture fx;
    GlyphFont* font = Font();
    font->ResetBatch();
    const std::string text(1200, 'a');
    // 1200 glyphs of 9 quads: 43200 vertices, of which the first 10000 are written.
    font->SetWrapWidth(1u << 30);
    EXPECT_EQ(font->DrawText(0, 0, kWhite, text.c_str(), true, kBlack, false), 0);
    EXPECT_EQ(font->VertexCount(), 1200u * 36);
    EXPECT_EQ(font->DrawText(0, 0, kWhite, "a", false, kBlack, false), d3d9::E_FAIL);
    // The draw is limited to what the indices hold.
    fx.device().ClearCalls();
    EXPECT_EQ(font->Flush(), 0);
    bool drew = false;
    for (const std::string& call : fx.device().Calls())
        drew |= call == "DrawIndexedPrimitiveUP(4,0,10000,5000,101,28)";
    EXPECT_TRUE(drew);
}

TEST(GlyphFont, FlushDrawsIntoTheTargetAndRestoresTheDeviceStates) {
    GlyphFixture fx;
    d3d9::IDirect3DDevice9& device = fx.device();
    GlyphFont* font = Font(24);
    font->ResetBatch();
    EXPECT_EQ(font->Flush(), 0);  // nothing queued: no draw
    const float green[4] = {0, 1, 0, 1};
    ASSERT_EQ(font->DrawText(20, 20, green, "\xD6\xD0", false, kBlack, false), 0);

    auto snapshot = [&device] {
        std::vector<std::uint32_t> s;
        std::uint32_t v;
        for (auto state : {d3d9::D3DRS_ZENABLE, d3d9::D3DRS_ZWRITEENABLE, d3d9::D3DRS_ALPHATESTENABLE,
                           d3d9::D3DRS_SRCBLEND, d3d9::D3DRS_DESTBLEND, d3d9::D3DRS_ALPHAREF,
                           d3d9::D3DRS_ALPHABLENDENABLE}) {
            device.GetRenderState(state, &v);
            s.push_back(v);
        }
        for (std::uint32_t stage : {0u, 1u})
            for (std::uint32_t t = 1; t <= 6; ++t) {
                device.GetTextureStageState(stage, d3d9::D3DTEXTURESTAGESTATETYPE(t), &v);
                s.push_back(v);
            }
        device.GetSamplerState(0, d3d9::D3DSAMP_MINFILTER, &v);
        s.push_back(v);
        device.GetFVF(&v);
        s.push_back(v);
        d3d9::IDirect3DTexture9* t = nullptr;
        device.GetTexture(0, &t);
        s.push_back(t ? 1 : 0);
        if (t) t->Release();
        return s;
    };
    const auto before = snapshot();
    device.ClearCalls();
    ASSERT_EQ(font->Flush(), 0);
    EXPECT_EQ(snapshot(), before);
    const auto calls = device.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "DrawIndexedPrimitiveUP(4,0,10000,2,101,28)"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetRenderState(27,1)"), calls.end());

    // The glyph landed in the back buffer: green where the page is fully inked.
    d3d9::IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device.GetRenderTarget(0, &target), 0);
    const GlyphInfo* glyph = font->CachedGlyph("\xD6\xD0");
    const GlyphVertex* v = Batch();
    d3d9::IDirect3DSurface9* page = font->Page()->Level(0);
    int matched = 0, inked = 0;
    for (int y = 0; y < glyph->blackBoxHeight; ++y)
        for (int x = 0; x < glyph->blackBoxWidth; ++x) {
            const std::uint32_t alpha = page->Pixel(glyph->column * font->CellWidth() + x,
                                                    glyph->row * font->CellHeight() + y) >> 24;
            if (alpha != 252 && alpha != 255) continue;
            ++inked;
            const std::uint32_t pixel = target->Pixel(std::uint32_t(v[1].x + 0.5f) + x, std::uint32_t(v[1].y + 0.5f) + y);
            matched += ((pixel >> 8) & 0xFF) >= 250 && ((pixel >> 16) & 0xFF) == 0;
        }
    target->Release();
    EXPECT_GT(inked, 10);
    EXPECT_EQ(matched, inked);
}

// The main thread and a loading-screen thread draw with the same font; the one lock keeps the
// cache and the shared batch whole.
TEST(GlyphFontThread, TwoThreadsDrawWithOneFont) {
    GlyphFixture fx;
    GlyphFont* font = Font(8);
    auto work = [font](int offset) {
        for (int i = 0; i < 300; ++i) {
            const std::string text = Hanzi(offset + i % 50) + "ab" + Hanzi(offset + (i * 7) % 3000);
            font->MeasureText(text.c_str());
            font->DrawText(0, 0, kWhite, text.c_str(), true, kBlack, false);
            if (i % 20 == 0) font->ResetBatch();
        }
    };
    std::thread other(work, 100);
    work(0);
    other.join();
    EXPECT_GT(font->MeasureText(Hanzi(0).c_str()), 0u);
}

}  // namespace
