// Frame output of the memory context against writing the same pixels directly: JPEG through
// KytOglMem against libjpeg-turbo on the bitmap, BMP and AVI frames against fwrite of the
// same bytes. Every case renders one 1280 x 1024 picture first and then only outputs it.
// The "kytoglmem" variants run the whole SwapBuffers, which includes the window-system
// stand-in converting the GL image into the bitmap; the "writer" variants hand the same
// bytes to the file writers alone.

#include "platform/avifile/RiffAviWriter.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytOglMem.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quor::wgl;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
constexpr int kQuality = 90;
constexpr int kFramesPerAvi = 16;  // keeps the files of one run small

// Files go to memory when the machine offers it, so that disk write-back of other work does
// not blur the comparison; both variants of a case always write to the same place.
// The folder is removed when the program ends.
struct BenchDir {
    fs::path dir;
    BenchDir() {
        std::error_code ec;
        dir = fs::path("/dev/shm") / "quor_scene_bench";
        if (!fs::create_directories(dir, ec) && !fs::is_directory(dir, ec)) {
            dir = fs::temp_directory_path() / "quor_scene_bench";
            fs::create_directories(dir, ec);
        }
    }
    ~BenchDir() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

std::string BenchPath(const char* leaf) {
    static BenchDir where;
    return (where.dir / leaf).string();
}

// A memory context on a 24-bit bitmap holding one rendered picture.
class Canvas {
public:
    Canvas() {
        wnd_ = CreateStandInWindow(kWidth, kHeight);
        dc_ = CreateCompatibleDC(nullptr);
        info_.bmiHeader.biSize = 40;
        info_.bmiHeader.biWidth = kWidth;
        info_.bmiHeader.biHeight = kHeight;
        info_.bmiHeader.biPlanes = 1;
        info_.bmiHeader.biBitCount = 24;
        info_.bmiHeader.biCompression = BI_RGB;
        info_.bmiHeader.biSizeImage = static_cast<DWORD>(ImageSize());
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info_, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<unsigned char*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
        ogl_ = std::make_unique<KytOglMem>(wnd_, dc_, 24, 24);
        ok_ = bits_ && ogl_->Create(kWidth, kHeight);
        if (!ok_) return;
        ogl_->MakeCurrentFource();
        Render();
    }
    ~Canvas() {
        ogl_->DeleteContext();
        ogl_.reset();
        KytOgl::ResetHwnd();
        if (previous_) SelectObject(dc_, previous_);
        DeleteDC(dc_);  // lets go of the bitmap
        DeleteObject(bitmap_);
        DestroyWindow(wnd_);
    }

    bool Ok() const { return ok_; }
    KytOglMem& Ogl() { return *ogl_; }
    BITMAPINFO& Info() { return info_; }
    unsigned char* Bits() { return bits_; }
    static size_t Stride() { return ((kWidth * 24 + 31) / 32) * 4; }
    static unsigned long ImageSize() { return Stride() * kHeight; }

private:
    // Smooth shading with some edges: a picture a JPEG encoder meets in practice.
    void Render() {
        glViewport(0, 0, kWidth, kHeight);
        glClearColor(0.9f, 0.92f, 0.95f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kWidth, 0, kHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glBegin(GL_TRIANGLES);
        for (int i = 0; i < 40; ++i) {
            const float x = float((i * 197) % kWidth), y = float((i * 331) % kHeight);
            glColor3f(float(i % 5) / 4, float(i % 7) / 6, float(i % 3) / 2);
            glVertex2f(x, y);
            glColor3f(1 - float(i % 4) / 3, 0.5f, float(i % 6) / 5);
            glVertex2f(x + 300, y + 40);
            glColor3f(0.2f, float(i % 9) / 8, 0.8f);
            glVertex2f(x + 120, y + 260);
        }
        glEnd();
        glFinish();
        GdiFlush();
    }

    HWND wnd_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    BITMAPINFO info_{};
    unsigned char* bits_ = nullptr;
    std::unique_ptr<KytOglMem> ogl_;
    bool ok_ = false;
};

Canvas& TheCanvas() {
    static Canvas canvas;
    return canvas;
}

// ---- JPEG ------------------------------------------------------------------------------------

void JpegThroughMemoryContext(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("frame.jpg");
    const char* name = path.c_str();
    c.Ogl().SetJpegOut(&name, kQuality, c.Bits(), kHeight, kWidth);
    for (auto _ : state) c.Ogl().SwapBuffers();
    c.Ogl().SetNormalOut();
}

// The same bitmap rows straight into libjpeg-turbo, same quality, same kind of file.
void JpegDirect(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("direct.jpg");
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        jpeg_compress_struct cinfo{};
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        jpeg_stdio_dest(&cinfo, f);
        cinfo.image_width = kWidth;
        cinfo.image_height = kHeight;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, kQuality, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = c.Bits() + (kHeight - 1 - cinfo.next_scanline) * Canvas::Stride();
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        std::fclose(f);
    }
}

void JpegWriterOnly(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("writer.jpg");
    KytJpegImage image;
    image.pixels = c.Bits();
    image.height = kHeight;
    image.width = kWidth;
    image.stride = Canvas::Stride();
    image.blueFirst = true;
    for (auto _ : state) KYT_WriteJpegImage(path.c_str(), kQuality, image);
}

// ---- BMP -------------------------------------------------------------------------------------

void BmpThroughMemoryContext(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("frame.bmp");
    const char* name = path.c_str();
    c.Ogl().SetBMPOut(&name, &c.Info(), c.Bits(), Canvas::ImageSize());
    for (auto _ : state) c.Ogl().SwapBuffers();
    c.Ogl().SetNormalOut();
}

void BmpWriterOnly(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("writer.bmp");
    for (auto _ : state) write_BMP_file(path.c_str(), c.Info(), Canvas::ImageSize(), c.Bits());
}

void BmpFwrite(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("fwrite.bmp");
    unsigned char head[54] = {'B', 'M'};
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(head, 1, sizeof head, f);
        std::fwrite(c.Bits(), 1, Canvas::ImageSize(), f);
        std::fclose(f);
    }
}

// ---- AVI -------------------------------------------------------------------------------------

void AviThroughMemoryContext(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("frames.avi");
    std::unique_ptr<quor::avi::RiffAviWriter> writer;
    int frames = kFramesPerAvi;
    for (auto _ : state) {
        if (frames == kFramesPerAvi) {
            state.PauseTiming();
            writer.reset();
            writer = quor::avi::RiffAviWriter::Open(path, {kWidth, kHeight, 24, 25});
            c.Ogl().SetAVIOut(writer.get(), c.Bits(), Canvas::ImageSize());
            frames = 0;
            state.ResumeTiming();
        }
        c.Ogl().SwapBuffers();
        ++frames;
    }
    c.Ogl().SetNormalOut();
}

// The same frames handed to the RIFF writer directly, without the context's flush.
void AviWriterOnly(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("writer.avi");
    std::unique_ptr<quor::avi::RiffAviWriter> writer;
    long frame = kFramesPerAvi;
    for (auto _ : state) {
        if (frame == kFramesPerAvi) {
            state.PauseTiming();
            writer.reset();
            writer = quor::avi::RiffAviWriter::Open(path, {kWidth, kHeight, 24, 25});
            frame = 0;
            state.ResumeTiming();
        }
        AVIStreamWrite(writer.get(), frame, 1, c.Bits(), static_cast<long>(Canvas::ImageSize()),
                       AVIIF_KEYFRAME, nullptr, nullptr);
        ++frame;
    }
}

void AviFwrite(benchmark::State& state) {
    Canvas& c = TheCanvas();
    if (!c.Ok()) return state.SkipWithError("no memory context");
    const std::string path = BenchPath("fwrite.avi");
    std::FILE* f = nullptr;
    int frames = kFramesPerAvi;
    const unsigned char chunk[8] = {'0', '0', 'd', 'b'};
    for (auto _ : state) {
        if (frames == kFramesPerAvi) {
            state.PauseTiming();
            if (f) std::fclose(f);
            f = std::fopen(path.c_str(), "wb");
            frames = 0;
            state.ResumeTiming();
        }
        std::fwrite(chunk, 1, sizeof chunk, f);
        std::fwrite(c.Bits(), 1, Canvas::ImageSize(), f);
        ++frames;
    }
    if (f) std::fclose(f);
}

BENCHMARK(JpegThroughMemoryContext)->Name("JpegFrame.kytoglmem")->Unit(benchmark::kMillisecond);
BENCHMARK(JpegWriterOnly)->Name("JpegFrame.writer")->Unit(benchmark::kMillisecond);
BENCHMARK(JpegDirect)->Name("JpegFrame.ref")->Unit(benchmark::kMillisecond);
BENCHMARK(BmpThroughMemoryContext)->Name("BmpFrame.kytoglmem")->Unit(benchmark::kMillisecond);
BENCHMARK(BmpWriterOnly)->Name("BmpFrame.writer")->Unit(benchmark::kMillisecond);
BENCHMARK(BmpFwrite)->Name("BmpFrame.ref")->Unit(benchmark::kMillisecond);
BENCHMARK(AviThroughMemoryContext)->Name("AviFrame.kytoglmem")->Unit(benchmark::kMillisecond);
BENCHMARK(AviWriterOnly)->Name("AviFrame.writer")->Unit(benchmark::kMillisecond);
BENCHMARK(AviFwrite)->Name("AviFrame.ref")->Unit(benchmark::kMillisecond);

}  // namespace
