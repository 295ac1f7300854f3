#include "scene/view/KytOglMem.h"

#include "platform/avifile/RecordingAviStream.h"
#include "platform/kernel/KytEnv.h"
#include "platform/wgl/Wgl.h"
#include "tests/support/scene/JpegDecode.h"
#include "tests/support/scene/ViewGl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quor::avi::RecordingAviStream;
using viewtest::DecodedJpeg;
using viewtest::DecodeJpeg;
using viewtest::ViewGl;

std::string TempPath(const std::string& leaf) {
    const fs::path dir = fs::path(QUOR_BINARY_DIR) / "test_out" / "frames";
    fs::create_directories(dir);
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    const fs::path p = dir / (std::string(info->test_suite_name()) + "_" + info->name() + "_" + leaf);
    fs::remove(p);
    return p.string();
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

// Fills the GL pixel rectangle (x, y from the bottom) with one colour.
void FillGl(int x, int y, int w, int h, float r, float g, float b) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

class FrameOutputTest : public testing::Test {
protected:
    void SetUp() override { KytEnv::Reset(); }
    void TearDown() override { KytEnv::Reset(); }
};

TEST_F(FrameOutputTest, ModesAndTheFrameCounter) {
    ViewGl gl(8, 8);
    ASSERT_TRUE(gl.Ready());
    KytOglMem& ogl = gl.Ogl();
    EXPECT_EQ(ogl.GetOutMode(), 0);
    ogl.SwapBuffers();  // normal mode only flushes
    EXPECT_EQ(ogl.GetAviCount(), 0);

    EXPECT_TRUE(ogl.SetDummyOut());
    for (int i = 0; i < 3; ++i) ogl.SwapBuffers();
    EXPECT_EQ(ogl.GetAviCount(), 3);

    const std::string jpeg = TempPath("frame.jpg");
    const char* name = jpeg.c_str();
    EXPECT_TRUE(ogl.SetJpegOut(&name, 80, gl.Bits(), 8, 8));
    EXPECT_EQ(ogl.GetAviCount(), 3);  // not reset
    ogl.SwapBuffers();
    EXPECT_EQ(ogl.GetAviCount(), 4);
    EXPECT_TRUE(fs::exists(jpeg));

    const std::string bmp = TempPath("frame.bmp");
    name = bmp.c_str();
    EXPECT_TRUE(ogl.SetBMPOut(&name, &gl.Info(), gl.Bits(), gl.ImageSize()));
    ogl.SwapBuffers();
    EXPECT_EQ(ogl.GetAviCount(), 5);
    EXPECT_TRUE(fs::exists(bmp));

    EXPECT_TRUE(ogl.SetNormalOut());
    EXPECT_EQ(ogl.GetAviCount(), 0);
    ogl.SwapBuffers();
    EXPECT_EQ(ogl.GetAviCount(), 0);

    RecordingAviStream stream;
    ogl.SetDummyOut();
    ogl.SwapBuffers();
    EXPECT_TRUE(ogl.SetAVIOut(&stream, gl.Bits(), gl.ImageSize()));
    EXPECT_EQ(ogl.GetAviCount(), 0);  // restarts with each stream
    ogl.SwapBuffers();
    EXPECT_EQ(ogl.GetAviCount(), 1);
    ogl.SetNormalOut();
    ogl.SwapBuffers();
    EXPECT_EQ(stream.Calls().size(), 1u);  // nothing written in normal mode
}

TEST_F(FrameOutputTest, RejectedAviFrameThrowsAndKeepsTheCounter) {
    ViewGl gl(4, 4);
    ASSERT_TRUE(gl.Ready());
    RecordingAviStream stream;
    stream.FailAtSample(2);  // the third frame
    KytOglMem& ogl = gl.Ogl();
    ogl.SetAVIOut(&stream, gl.Bits(), gl.ImageSize());
    const float shades[3] = {0.2f, 0.5f, 0.8f};
    for (int frame = 0; frame < 3; ++frame) {
        FillGl(0, 0, 4, 4, shades[frame], 0, 0);
        if (frame < 2) {
            EXPECT_NO_THROW(ogl.SwapBuffers());
        } else {
            EXPECT_THROW(ogl.SwapBuffers(), COglMemException);
        }
    }
    EXPECT_EQ(ogl.GetAviCount(), 2);
    ASSERT_EQ(stream.Calls().size(), 3u);
    for (long i = 0; i < 3; ++i) {
        const auto& c = stream.Calls()[i];
        EXPECT_EQ(c.start, i);
        EXPECT_EQ(c.samples, 1);
        EXPECT_EQ(c.flags, AVIIF_KEYFRAME);
        EXPECT_EQ(static_cast<unsigned long>(c.bufferSize), gl.ImageSize());
        // Each frame is the picture rendered before its swap (red is the third byte).
        ASSERT_EQ(c.bytes.size(), gl.ImageSize());
        EXPECT_NEAR(c.bytes[2], shades[i] * 255, 1.5) << i;
    }
}

TEST_F(FrameOutputTest, TwoByTwoBitmapIsByteExact) {
    ViewGl gl(2, 2);
    ASSERT_TRUE(gl.Ready());
    FillGl(0, 0, 1, 1, 1, 0, 0);  // bottom left red
    FillGl(1, 0, 1, 1, 0, 1, 0);  // bottom right green
    FillGl(0, 1, 1, 1, 0, 0, 1);  // top left blue
    FillGl(1, 1, 1, 1, 1, 1, 1);  // top right white
    const std::string path = TempPath("2x2.bmp");
    const char* name = path.c_str();
    KytOglMem& ogl = gl.Ogl();
    ASSERT_EQ(gl.ImageSize(), 16u);  // two rows of 6 bytes padded to 8
    ogl.SetBMPOut(&name, &gl.Info(), gl.Bits(), gl.ImageSize());
    ogl.SwapBuffers();

    const auto file = ReadAll(path);
    ASSERT_EQ(file.size(), 70u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le32(file, 2), 70u);
    EXPECT_EQ(Le32(file, 6), 0u);
    EXPECT_EQ(Le32(file, 10), 54u);
    EXPECT_EQ(Le32(file, 14), 40u);
    EXPECT_EQ(Le32(file, 18), 2u);
    EXPECT_EQ(Le32(file, 22), 2u);
    EXPECT_EQ(file[28], 24);
    EXPECT_TRUE(std::equal(file.begin() + 54, file.end(), gl.Bits()));
    // Bottom row first, blue green red per pixel.
    const uint8_t expect[16] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
    for (int i = 0; i < 16; ++i) {
        if (i % 8 >= 6) continue;  // padding
        EXPECT_EQ(file[54 + i], expect[i]) << i;
    }
}

TEST_F(FrameOutputTest, JpegFrameDecodesToTheRenderedColoursRightWayUp) {
    // 30 pixels wide: the bitmap's rows are padded (90 bytes used of 92).
    ViewGl gl(30, 20);
    ASSERT_TRUE(gl.Ready());
    FillGl(0, 0, 30, 10, 0, 0, 1);   // bottom half blue
    FillGl(0, 10, 30, 10, 1, 0, 0);  // top half red
    FillGl(0, 0, 5, 20, 0, 1, 0);    // left strip green
    const std::string path = TempPath("frame.jpg");
    const char* name = path.c_str();
    KytOglMem& ogl = gl.Ogl();
    ogl.SetJpegOut(&name, 95, gl.Bits(), 20, 30);
    ogl.SwapBuffers();

    DecodedJpeg img;
    std::string why;
    ASSERT_TRUE(DecodeJpeg(path, img, &why)) << why;
    ASSERT_EQ(img.width, 30);
    ASSERT_EQ(img.height, 20);
    auto near = [&](int x, int y, int r, int g, int b) {
        const unsigned char* p = img.At(x, y);
        EXPECT_NEAR(p[0], r, 24) << x << "," << y;
        EXPECT_NEAR(p[1], g, 24) << x << "," << y;
        EXPECT_NEAR(p[2], b, 24) << x << "," << y;
    };
    near(20, 3, 255, 0, 0);   // top: red
    near(20, 16, 0, 0, 255);  // bottom: blue
    near(1, 3, 0, 255, 0);
    near(1, 16, 0, 255, 0);
    near(28, 10 - 4, 255, 0, 0);
}

TEST_F(FrameOutputTest, SixteenBitJpegFrameIsConvertedRowByRow) {
    // 30 pixels of two bytes: 60-byte rows, no padding, and a bitmap far smaller than the
    // 30 x 20 x 3 bytes of a packed 24-bit frame.
    ViewGl gl(30, 20, 16);
    ASSERT_TRUE(gl.Ready());
    FillGl(0, 0, 30, 10, 0, 0, 1);   // bottom half blue
    FillGl(0, 10, 30, 10, 1, 0, 0);  // top half red
    FillGl(0, 0, 5, 20, 1, 1, 1);    // left strip white
    const std::string path = TempPath("frame16.jpg");
    const char* name = path.c_str();
    KytOglMem& ogl = gl.Ogl();
    ogl.SetJpegOut(&name, 95, gl.Bits(), 20, 30);
    ogl.SwapBuffers();
    EXPECT_EQ(ogl.GetAviCount(), 1);

    DecodedJpeg img;
    std::string why;
    ASSERT_TRUE(DecodeJpeg(path, img, &why)) << why;
    ASSERT_EQ(img.width, 30);
    ASSERT_EQ(img.height, 20);
    auto near = [&](int x, int y, int r, int g, int b) {
        const unsigned char* p = img.At(x, y);
        EXPECT_NEAR(p[0], r, 24) << x << "," << y;
        EXPECT_NEAR(p[1], g, 24) << x << "," << y;
        EXPECT_NEAR(p[2], b, 24) << x << "," << y;
    };
    near(20, 3, 255, 0, 0);
    near(20, 16, 0, 0, 255);
    near(1, 3, 255, 255, 255);  // five bits of white still make white
    near(1, 16, 255, 255, 255);
}

TEST_F(FrameOutputTest, JpegFrameLargerThanItsBitmapIsRefused) {
    // The buffer is the bitmap, but the frame size asks for more bytes than it holds.
    ViewGl gl(8, 8);
    ASSERT_TRUE(gl.Ready());
    const std::string path = TempPath("big.jpg");
    const char* name = path.c_str();
    KytOglMem& ogl = gl.Ogl();
    ogl.SetJpegOut(&name, 90, gl.Bits(), 40, 40);
    ogl.SwapBuffers();
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ogl.GetAviCount(), 1);  // the frame still counts
}

TEST_F(FrameOutputTest, BitmapFrameLargerThanItsBitmapIsRefused) {
    // As the JPEG path: a size past the bitmap drawn into writes nothing and is reported.
    ViewGl gl(8, 8);
    ASSERT_TRUE(gl.Ready());
    const std::string path = TempPath("big.bmp");
    const char* name = path.c_str();
    KytOglMem& ogl = gl.Ogl();
    ogl.SetBMPOut(&name, &gl.Info(), gl.Bits(), gl.ImageSize() * 5);
    KytEnv::Messages().clear();
    ogl.SwapBuffers();
    EXPECT_FALSE(fs::exists(path));
    ASSERT_EQ(KytEnv::Messages().size(), 1u);
    EXPECT_EQ(KytEnv::Messages()[0].number, 1162);
    EXPECT_EQ(ogl.GetAviCount(), 1);
    // The bitmap's own size is written.
    ogl.SetBMPOut(&name, &gl.Info(), gl.Bits(), gl.ImageSize());
    ogl.SwapBuffers();
    EXPECT_EQ(ReadAll(path).size(), gl.ImageSize() + 54u);
}

TEST_F(FrameOutputTest, BitmapOnAFullDeviceIsReported) {
    // /dev/full takes the open and refuses every byte written.
    ASSERT_TRUE(fs::exists("/dev/full"));
    std::vector<unsigned char> px(16, 7);
    quor::wgl::BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    KytEnv::Messages().clear();
    EXPECT_FALSE(write_BMP_file("/dev/full", info, 16, px.data()));
    ASSERT_EQ(KytEnv::Messages().size(), 1u);
    EXPECT_EQ(KytEnv::Messages()[0].number, 1162);
    EXPECT_EQ(KytEnv::Messages()[0].text, "Bitmap file write error.");

    // Through the frame output: reported, and the frame still counts.
    ViewGl gl(2, 2);
    ASSERT_TRUE(gl.Ready());
    const char* name = "/dev/full";
    KytOglMem& ogl = gl.Ogl();
    ogl.SetBMPOut(&name, &gl.Info(), gl.Bits(), gl.ImageSize());
    KytEnv::Messages().clear();
    ogl.SwapBuffers();
    EXPECT_EQ(KytEnv::Messages().size(), 1u);
    EXPECT_EQ(ogl.GetAviCount(), 1);
    EXPECT_TRUE(fs::exists("/dev/full"));
}

TEST_F(FrameOutputTest, MissingFileNamesSkipTheFrame) {
    ViewGl gl(4, 4);
    ASSERT_TRUE(gl.Ready());
    KytOglMem& ogl = gl.Ogl();
    const char* none = nullptr;
    ogl.SetJpegOut(&none, 80, gl.Bits(), 4, 4);
    ogl.SwapBuffers();
    ogl.SetJpegOut(nullptr, 80, gl.Bits(), 4, 4);
    ogl.SwapBuffers();
    ogl.SetBMPOut(&none, &gl.Info(), gl.Bits(), gl.ImageSize());
    ogl.SwapBuffers();
    ogl.SetBMPOut(nullptr, &gl.Info(), gl.Bits(), gl.ImageSize());
    ogl.SwapBuffers();
    EXPECT_EQ(ogl.GetAviCount(), 4);
}

TEST_F(FrameOutputTest, CreateSearchesDownwardWhenTheFormatIsRefused) {
    using namespace quor::wgl;
    ViewGl gl(4, 4);
    ASSERT_TRUE(gl.Ready());
    KytOglMem& ogl = gl.Ogl();
    MessageBoxes().clear();
    Inject().refuseAllFormats = true;
    EXPECT_FALSE(ogl.Create(4, 4));
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].text, "SetPixelFormat failed.");
    EXPECT_EQ(MessageBoxes()[0].caption, "OpenGL Error");
    EXPECT_EQ(MessageBoxes()[0].type, MB_ICONERROR);
    Inject().refuseAllFormats = false;

    MessageBoxes().clear();
    Inject().failChoosePixelFormat = true;
    EXPECT_FALSE(ogl.Create(4, 4));
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].text, "ChoosePixelFormat failed.");
    Inject().failChoosePixelFormat = false;

    MessageBoxes().clear();
    Inject().failCreateContext = true;
    EXPECT_FALSE(ogl.Create(4, 4));
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].text, "CreateContext failed.");
    Inject().failCreateContext = false;
}

TEST_F(FrameOutputTest, SecondCreateRebuildsTheContextOnTheSameBitmap) {
    ViewGl gl(4, 4);
    ASSERT_TRUE(gl.Ready());
    KytOglMem& ogl = gl.Ogl();
    ASSERT_TRUE(ogl.Create(4, 4));
    ogl.MakeCurrentFource();
    FillGl(0, 0, 4, 4, 0, 1, 0);
    ogl.SwapBuffers();
    EXPECT_EQ(gl.Pixel(2, 2), (std::array<int, 3>{0, 255, 0}));
}

TEST_F(FrameOutputTest, RefusedFormatFallsBackToTheNextLowerOne) {
    using namespace quor::wgl;
    HWND wnd = CreateStandInWindow(4, 4);
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = 4;
    bi.bmiHeader.biHeight = 4;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(dc, bmp);
    {
        KytOglMem ogl(wnd, dc, 24, 16);
        PIXELFORMATDESCRIPTOR want{};
        want.dwFlags = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL;
        want.cColorBits = 24;
        want.cDepthBits = 16;
        const int chosen = ChoosePixelFormat(dc, &want);
        ASSERT_GT(chosen, 1);
        MessageBoxes().clear();
        Inject().refuseFormats = {chosen};
        const int livDcs = LiveDCs();
        EXPECT_TRUE(ogl.Create(4, 4));
        Inject().refuseFormats.clear();
        EXPECT_EQ(GetPixelFormat(dc), chosen - 1);
        EXPECT_TRUE(MessageBoxes().empty());
        ogl.MakeCurrentFource();
        EXPECT_NE(glGetString(GL_RENDERER), nullptr);
        // The device context belongs to the caller: deleting the context leaves it alone.
        const int badBefore = Stats().badRelease;
        ogl.DeleteContext();
        ogl.DeleteContext();
        EXPECT_EQ(LiveDCs(), livDcs);
        EXPECT_EQ(Stats().badRelease, badBefore);
        EXPECT_EQ(wglGetCurrentContext(), nullptr);
    }
    KytOgl::ResetHwnd();
    DeleteDC(dc);
    DeleteObject(bmp);
    DestroyWindow(wnd);
}

// ---- the two writers called directly -------------------------------------------------------

TEST_F(FrameOutputTest, JpegWriterTakesPackedBottomUpRgb) {
    // 16 x 16: bottom-left quadrant red, the rest white.
    std::vector<unsigned char> px(16 * 16 * 3, 255);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            unsigned char* p = px.data() + (y * 16 + x) * 3;
            p[1] = p[2] = 0;
        }
    EXPECT_EQ(px[0], 255);  // the first byte is the red of the bottom-left pixel
    const std::string path = TempPath("direct.jpg");
    ASSERT_EQ(write_JPEG_file(path.c_str(), 90, px.data(), 16, 16), 0);
    DecodedJpeg img;
    std::string why;
    ASSERT_TRUE(DecodeJpeg(path, img, &why)) << why;
    EXPECT_NEAR(img.At(2, 13)[0], 255, 20);
    EXPECT_NEAR(img.At(2, 13)[1], 0, 20);
    EXPECT_NEAR(img.At(13, 2)[1], 255, 20);
    for (int q : {0, 100, 250}) EXPECT_EQ(write_JPEG_file(path.c_str(), q, px.data(), 16, 16), 0);
}

TEST_F(FrameOutputTest, JpegWriterFailuresReturnMinusOneAndTheProcessLivesOn) {
    std::vector<unsigned char> px(16 * 16 * 3, 128);
    EXPECT_EQ(write_JPEG_file("/nonexistent-dir/x.jpg", 90, px.data(), 16, 16), -1);
    EXPECT_EQ(write_JPEG_file(nullptr, 90, px.data(), 16, 16), -1);
    const std::string path = TempPath("bad.jpg");
    EXPECT_EQ(write_JPEG_file(path.c_str(), 90, px.data(), 16, 0), -1);
    EXPECT_EQ(write_JPEG_file(path.c_str(), 90, nullptr, 16, 16), -1);
    EXPECT_FALSE(fs::exists(path));
    // A device that refuses every byte: -1, and the output named is not removed (a link to
    // the device stands in for it, so that a fault here could only take the link).
    const std::string full = TempPath("full.jpg");
    fs::create_symlink("/dev/full", full);
    EXPECT_EQ(write_JPEG_file(full.c_str(), 90, px.data(), 16, 16), -1);
    EXPECT_TRUE(fs::is_symlink(full));
    fs::remove(full);
    // Wider than the encoder allows: its error comes back as -1, not an exit.
    std::vector<unsigned char> wide(70000 * 3, 10);
    EXPECT_EQ(write_JPEG_file(path.c_str(), 90, wide.data(), 1, 70000), -1);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(FrameOutputTest, BitmapWriterRefusesPixelsItCannotDescribe) {
    std::vector<unsigned char> px(64, 7);
    struct Case { int bits; quor::wgl::DWORD compression; bool ok; };
    const Case cases[] = {{1, quor::wgl::BI_RGB, false},  {4, quor::wgl::BI_RGB, false},
                          {8, quor::wgl::BI_RGB, false},  {16, quor::wgl::BI_BITFIELDS, false},
                          {32, quor::wgl::BI_BITFIELDS, false}, {16, quor::wgl::BI_RGB, true},
                          {24, quor::wgl::BI_RGB, true},  {32, quor::wgl::BI_RGB, true}};
    for (const auto& c : cases) {
        KytEnv::Messages().clear();
        quor::wgl::BITMAPINFO info{};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = 4;
        info.bmiHeader.biHeight = 4;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<quor::wgl::WORD>(c.bits);
        info.bmiHeader.biCompression = c.compression;
        const std::string path = TempPath("b" + std::to_string(c.bits) + ".bmp");
        EXPECT_EQ(write_BMP_file(path.c_str(), info, 64, px.data()), c.ok) << c.bits;
        EXPECT_EQ(fs::exists(path), c.ok) << c.bits;
        if (!c.ok) {
            ASSERT_EQ(KytEnv::Messages().size(), 1u);
            EXPECT_EQ(KytEnv::Messages()[0].number, 1162);
            EXPECT_EQ(KytEnv::Messages()[0].text, "Bitmap file write error.");
        } else {
            EXPECT_TRUE(KytEnv::Messages().empty());
            EXPECT_EQ(ReadAll(path).size(), 64u + 54u);
        }
    }
    KytEnv::Messages().clear();
    quor::wgl::BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biBitCount = 24;
    EXPECT_FALSE(write_BMP_file("/nonexistent-dir/x.bmp", info, 64, px.data()));
    EXPECT_FALSE(write_BMP_file(nullptr, info, 64, px.data()));
    // A write that fails half way (a full disk) is reported the same way.
    CFile::failWriteAfter = 60;
    EXPECT_FALSE(write_BMP_file(TempPath("full.bmp").c_str(), info, 64, px.data()));
    CFile::failWriteAfter = -1;
    ASSERT_EQ(KytEnv::Messages().size(), 3u);
    for (const auto& m : KytEnv::Messages()) EXPECT_EQ(m.number, 1162);
}

}  // namespace
