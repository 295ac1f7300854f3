// scene_view: builds a small part with the kernel builders, draws it lit through a scene list
// and its scene (camera, viewport and lights) into a memory context, and captures frames to a
// JPEG, a BMP and an AVI in the output folder (--out, default out/). Each file is read back
// and checked before the program reports success.

#include "platform/avifile/AviReader.h"
#include "platform/avifile/RiffAviWriter.h"
#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/view/KytLight.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"

#include <GL/gl.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace quor::wgl;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kAviFrames = 36;

// Colours of the parts, by position in the tree.
const float kPartColours[][4] = {
    {0.80f, 0.30f, 0.20f, 1.0f}, {0.25f, 0.50f, 0.85f, 1.0f}, {0.35f, 0.70f, 0.35f, 1.0f},
    {0.85f, 0.75f, 0.25f, 1.0f}, {0.60f, 0.40f, 0.75f, 1.0f},
};

// The part: a plate with a hole carrying a box and a cylinder, under one assembly.
KytLink* BuildPart(KytModel& model) {
    KytLink* root = model.AddLink("assembly", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* plate = model.AddLink("plate", root);
    model.SetShape(plate, model.AddShape(KytBuild::PlateWithHoleRep(4.0, 0.4, 0.8, 32)));
    KytBuild::AddBox(model, "block", root, WqVector3D(-1.2, -1.2, 0.9), 1.0, 1.0, 1.0);
    KytLink* post = model.AddLink("post", root);
    model.SetShape(post, model.AddShape(KytBuild::CylinderRep(0.35, 1.8, 24)));
    post->referMech.vPos = WqVector3D(1.2, 1.2, 0.4);
    model.UpdatePlacements();
    return root;
}

void DrawTree(KytLink* root) {
    int index = 0;
    for (KytLink* link = root; link; link = link->SearchNext(), ++index) {
        if (!link->pShape || !link->pShape->pRep) continue;
        const float* colour = kPartColours[index % 5];
        const float specular[4] = {0.3f, 0.3f, 0.3f, 1.0f};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 24.0f);
        glPushMatrix();
        KytOgl::MultMatrix(link->mech);
        // A link's own shape only: the shapes' next pointers chain the whole model.
        const KytShapeRep* rep = link->pShape->GetRep();
        glBegin(GL_TRIANGLES);
        for (unsigned t = 0; t < rep->GetTriangleCount(); ++t)
            KytOgl::DrawPolygon(&rep->GetTriangles()[t]);
        glEnd();
        glPopMatrix();
    }
}

// The scene's contents: each link's shape in its own colour.
class PartContents : public KytLinkContents {
public:
    using KytLinkContents::Draw;
    void Draw(KytLink* root, int) override { DrawTree(root); }
};

class PartScene : public KytScene {
public:
    using KytScene::KytScene;

protected:
    KytLinkContents* CreateConts() override { return new PartContents(); }
};

struct JpegCheck {
    jpeg_error_mgr pub;  // first, so the library's pointer is this record's address
    std::jmp_buf jump;
};

[[noreturn]] void JpegCheckError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegCheck*>(cinfo->err)->jump, 1);
}

// Decodes the JPEG and checks its size and that the part shows at the centre.
bool CheckJpeg(const std::string& path, const unsigned char background[3], std::string& note) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return note = "cannot open", false;
    jpeg_decompress_struct cinfo{};
    JpegCheck err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegCheckError;
    std::vector<unsigned char> row;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(f);
        return note = "libjpeg could not decode it", false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const unsigned w = cinfo.output_width, h = cinfo.output_height;
    row.resize(size_t(w) * 3);
    int centre[3] = {0, 0, 0}, corner[3] = {0, 0, 0};
    while (cinfo.output_scanline < h) {
        const unsigned y = cinfo.output_scanline;
        JSAMPROW p = row.data();
        jpeg_read_scanlines(&cinfo, &p, 1);
        if (y == h / 2)
            for (int c = 0; c < 3; ++c) centre[c] = row[(w / 2) * 3 + c];
        if (y == 2)
            for (int c = 0; c < 3; ++c) corner[c] = row[2 * 3 + c];
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    char text[160];
    std::snprintf(text, sizeof text, "%ux%u, centre rgb(%d,%d,%d), corner rgb(%d,%d,%d)", w, h,
                  centre[0], centre[1], centre[2], corner[0], corner[1], corner[2]);
    note = text;
    int cornerDiff = 0, centreDiff = 0;
    for (int c = 0; c < 3; ++c) {
        cornerDiff += std::abs(corner[c] - background[c]);
        centreDiff += std::abs(centre[c] - background[c]);
    }
    return w == unsigned(kWidth) && h == unsigned(kHeight) && cornerDiff < 24 && centreDiff > 40;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

bool CheckBmp(const std::string& path, const uint8_t* bits, unsigned long size, std::string& note) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return note = "no BMP header", false;
    note = std::to_string(Le32(b, 18)) + "x" + std::to_string(Le32(b, 22)) + ", " +
           std::to_string(b[28]) + " bits, " + std::to_string(b.size()) + " bytes";
    return Le32(b, 2) == b.size() && Le32(b, 10) == 54 && b.size() == 54 + size &&
           std::memcmp(b.data() + 54, bits, size) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path out = "out";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else if (arg.rfind("--out=", 0) == 0) {
            out = arg.substr(6);
        } else {
            std::fprintf(stderr, "usage: scene_view [--out DIR]\n");
            return 2;
        }
    }
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", out.string().c_str(), ec.message().c_str());
        return 1;
    }

    KytModel model;
    KytLink* root = BuildPart(model);

    // A window for the view and, off screen, the bitmap that OpenGL draws into.
    HWND wnd = CreateStandInWindow(kWidth, kHeight, nullptr, "scene_view");
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const unsigned long imageSize = ((kWidth * 24 + 31) / 32) * 4UL * kHeight;
    info.bmiHeader.biSizeImage = imageSize;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        std::fprintf(stderr, "cannot create the frame bitmap\n");
        return 1;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap);

    int status = 0;
    {
        KytEnv::nUpAxis = 2;  // the plate lies in the XY plane
        const unsigned char backBytes[3] = {237, 242, 250};

        // One view in the scene list; the list's shared key light and a fill light.
        KytScenes scenes(root, new PartScene(root, "MainView"));
        scenes.ChangeBackColor(0.93f, 0.95f, 0.98f, false);
        KytLight* key = scenes.GetTopLight();
        key->SetAmbient(0.25f, 0.25f, 0.25f);
        key->SetDiffuse(0.85f, 0.85f, 0.85f);
        key->SetSpecular(0.6f, 0.6f, 0.6f);
        const float keyDir[3] = {0.4f, 0.6f, 1.0f};
        key->SetPosition(keyDir);
        auto* fill = new KytLight("fill");
        fill->SetDiffuse(0.3f, 0.3f, 0.35f);
        const float fillDir[3] = {-0.7f, -0.2f, 0.5f};
        fill->SetPosition(fillDir);
        scenes.AddLight(fill);
        KytScene* scene = scenes.GetTopScene(false);
        scenes.SetLight(scene);

        // The scene owns its context from here on.
        auto* memory = new KytOglMem(wnd, dc, 24, 24);
        if (!scene->Create(memory, kWidth, kHeight)) {
            for (const auto& m : MessageBoxes())
                std::fprintf(stderr, "%s: %s\n", m.caption.c_str(), m.text.c_str());
            return 1;
        }
        KytOglMem& ogl = *memory;
        std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
        glEnable(GL_NORMALIZE);

        KytViewPort& viewport = *scene->GetViewPort();
        viewport.ChangeViewPoint(30.0f, 60.0f);
        viewport.SetViewRadius(viewport.GetViewRadius() * 0.8);

        struct {
            KytScenes& scenes;
            void Draw() { scenes.Draw(true); }
        } frame{scenes};
        const std::string jpegPath = (out / "scene_view.jpg").string();
        const std::string bmpPath = (out / "scene_view.bmp").string();
        const std::string aviPath = (out / "scene_view.avi").string();

        const char* name = jpegPath.c_str();
        ogl.SetJpegOut(&name, 92, bits, kHeight, kWidth);
        frame.Draw();
        name = bmpPath.c_str();
        ogl.SetBMPOut(&name, &info, bits, imageSize);
        frame.Draw();
        std::string note;
        const bool bmpOk = CheckBmp(bmpPath, static_cast<const uint8_t*>(bits), imageSize, note);
        const std::string bmpNote = note;

        std::string why;
        auto writer = quor::avi::RiffAviWriter::Open(aviPath, {kWidth, kHeight, 24, 12}, &why);
        if (!writer) {
            std::fprintf(stderr, "AVI: %s\n", why.c_str());
            status = 1;
        } else {
            ogl.SetAVIOut(writer.get(), bits, imageSize);
            try {
                for (int i = 0; i < kAviFrames; ++i) {
                    viewport.MoveViewPoint(360.0f / kAviFrames, 0.0f);
                    frame.Draw();
                }
            } catch (const COglMemException&) {
                std::fprintf(stderr, "AVI: the stream rejected frame %d\n", ogl.GetAviCount());
                status = 1;
            }
            if (!writer->Close()) status = 1;
        }
        ogl.SetNormalOut();

        // Read everything back.
        const bool jpegOk = CheckJpeg(jpegPath, backBytes, note);
        std::printf("%s  %s  (%s)\n", jpegOk ? "ok  " : "FAIL", jpegPath.c_str(), note.c_str());
        status |= jpegOk ? 0 : 1;
        std::printf("%s  %s  (%s)\n", bmpOk ? "ok  " : "FAIL", bmpPath.c_str(), bmpNote.c_str());
        status |= bmpOk ? 0 : 1;
        const auto avi = quor::avi::ParseAviFile(aviPath, &why);
        const bool aviOk = avi && avi->frames.size() == size_t(kAviFrames) &&
                           avi->width == unsigned(kWidth) && avi->height == kHeight;
        if (avi)
            note = std::to_string(avi->frames.size()) + " key frames of " +
                   std::to_string(avi->width) + "x" + std::to_string(avi->height) + " at " +
                   std::to_string(avi->rate / (avi->scale ? avi->scale : 1)) + " fps";
        else
            note = why;
        std::printf("%s  %s  (%s)\n", aviOk ? "ok  " : "FAIL", aviPath.c_str(), note.c_str());
        status |= aviOk ? 0 : 1;
        // The scene list's end releases the scene, its context and the lights.
    }
    KytOgl::ResetHwnd();
    if (previous) SelectObject(dc, previous);
    DeleteDC(dc);  // lets go of the bitmap
    DeleteObject(bitmap);
    DestroyWindow(wnd);
    std::printf("scene_view: files in %s\n", fs::absolute(out).string().c_str());
    return status;
}
