// scene_view: builds the sample machine with the kernel builders and draws it through a scene
// list, its scene and the part-tree contents into a memory context: one JPEG per draw type in
// drawtypes/, pictures of clipping, target-only, sphere, contribution and point modes, an AVI
// turning around the machine and a BMP, in the output folder (--out, default out/). Each file
// is read back and checked before the program reports success.

#include "platform/avifile/AviReader.h"
#include "platform/avifile/RiffAviWriter.h"
#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxCamera.h"
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

// The draw types with the names of their pictures.
struct DrawTypeShot {
    DRAWTYPE type;
    const char* name;
    const char* shows;
};
const DrawTypeShot kDrawTypes[] = {
    {DRAWTYPE_SHADE, "shade", "shaded parts, bolts as wire boxes, the cover blended last"},
    {DRAWTYPE_FOCUS_ALPHA, "focus-alpha", "housing and shaft opaque, everything else transparent"},
    {DRAWTYPE_BOX, "box", "solid boxes, the manikin as scaled boxes"},
    {DRAWTYPE_WIREBOX, "wirebox", "wire boxes, the housing (first focus link) solid"},
    {DRAWTYPE_WIRE, "wire", "every triangle as lines"},
    {DRAWTYPE_EDGE, "edge", "hard edges and outlines in part colours"},
    {DRAWTYPE_HIDDENLINE, "hiddenline", "black lines on the background-filled parts"},
    {DRAWTYPE_SHADE_EDGE, "shade-edge", "flat colours with black edges"},
    {DRAWTYPE_ALPHA_EDGE, "alpha-edge", "all transparent with dark edges"},
    {DRAWTYPE_CUSTOM_COLOR, "custom-color", "custom colours: lit, unlit, outlined, emissive"},
    {DRAWTYPE_MATERIAL, "material", "housing's material red, others white or blue glass"},
    {DRAWTYPE_RECYCLE, "recycle", "recycle rate: red 0, white to 0.3, blue to 0.6, green above"},
    {DRAWTYPE_PROPERTY_13, "property13", "only plate and housing (and parts without a record)"},
    {DRAWTYPE_PROPERTY_12, "property12", "only the shafts (and parts without a record)"},
    {DRAWTYPE_PROPERTY_44, "property44", "only the panel (and parts without a record)"},
};

uint64_t Hash(const void* data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    return h;
}

struct JpegCheck {
    jpeg_error_mgr pub;  // first, so the library's pointer is this record's address
    std::jmp_buf jump;
};

[[noreturn]] void JpegCheckError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegCheck*>(cinfo->err)->jump, 1);
}

// Decodes the JPEG and checks its size, a background corner and that the part shows.
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
    size_t shown = 0;
    while (cinfo.output_scanline < h) {
        const unsigned y = cinfo.output_scanline;
        JSAMPROW p = row.data();
        jpeg_read_scanlines(&cinfo, &p, 1);
        for (unsigned x = 0; x < w; ++x) {
            int d = 0;
            for (int c = 0; c < 3; ++c) d += std::abs(row[x * 3 + c] - background[c]);
            shown += d > 60 ? 1 : 0;
        }
        if (y == h / 2)
            for (int c = 0; c < 3; ++c) centre[c] = row[(w / 2) * 3 + c];
        if (y == 2)
            for (int c = 0; c < 3; ++c) corner[c] = row[2 * 3 + c];
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    char text[160];
    std::snprintf(text, sizeof text,
                  "%ux%u, centre rgb(%d,%d,%d), corner rgb(%d,%d,%d), %.1f%% not background", w,
                  h, centre[0], centre[1], centre[2], corner[0], corner[1], corner[2],
                  100.0 * double(shown) / (double(w) * h));
    note = text;
    int cornerDiff = 0;
    for (int c = 0; c < 3; ++c) cornerDiff += std::abs(corner[c] - background[c]);
    // The part shows: at least 1% of the picture is not background (a hidden-line picture
    // is background inside its lines).
    return w == unsigned(kWidth) && h == unsigned(kHeight) && cornerDiff < 24 &&
           shown * 100 >= size_t(w) * h;
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
    KytLink* root = KytBuild::SampleMachine(model);
    KytScenes::ColorTable = KytBuild::SampleColorTable();
    KytLink* housing = KytBuild::FindByName(model, "housing");
    KytLink* shaftA = KytBuild::FindByName(model, "shaftA");
    KytLink* clip = KytBuild::FindByName(model, "clip");
    KytLink* cameraView = KytBuild::FindByName(model, "camera_view");
    const fs::path types = out / "drawtypes";
    fs::create_directories(types, ec);

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

        KytScenes scenes(root, new KytScene(root, "MainView"));
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
        KytLinkContents* contents = scene->GetContents();
        contents->SetSubContsState(6, false);   // datum planes only where asked for
        contents->SetSubContsState(3, true);    // the work axis on the housing
        contents->pCameraGlyph->SetDraw(true);  // the camera link pair
        KytScenes::AlphaStack.RemoveAll();
        scenes.SetAlphaStack(root, true);

        scene->FitView(false);
        KytViewPort& viewport = *scene->GetViewPort();
        viewport.ChangeViewPoint(35.0f, 60.0f);
        viewport.SetViewRadius(viewport.GetViewRadius() * 0.8);
        scene->ResetView(false);

        std::string note;
        auto shoot = [&](const fs::path& path, const char* shows) {
            const std::string name = path.string();
            const char* p = name.c_str();
            ogl.SetJpegOut(&p, 92, bits, kHeight, kWidth);
            scenes.Draw(true);
            ogl.SetNormalOut();
            const bool ok = CheckJpeg(name, backBytes, note);
            std::printf("%s  %s: %s  (%s)\n", ok ? "ok  " : "FAIL", name.c_str(), shows,
                        note.c_str());
            status |= ok ? 0 : 1;
            return Hash(bits, imageSize);
        };

        // One picture per draw type; no two may be the same.
        std::vector<uint64_t> hashes;
        for (const DrawTypeShot& shot : kDrawTypes) {
            const bool focus = shot.type == DRAWTYPE_FOCUS_ALPHA || shot.type == DRAWTYPE_WIREBOX ||
                               shot.type == DRAWTYPE_MATERIAL;
            KytScenes::AlphaStack.RemoveAll();
            if (shot.type == DRAWTYPE_CUSTOM_COLOR)
                scenes.SetCustomAlphaStack(root, true);
            else
                scenes.SetAlphaStack(root, true);
            scene->ChangeDrawType(shot.type, focus ? housing : nullptr, focus ? shaftA : nullptr,
                                  false);
            char file[64];
            std::snprintf(file, sizeof file, "%05x-%s.jpg", unsigned(shot.type), shot.name);
            hashes.push_back(shoot(types / file, shot.shows));
        }
        int same = 0;
        for (size_t i = 0; i < hashes.size(); ++i)
            for (size_t j = i + 1; j < hashes.size(); ++j)
                if (hashes[i] == hashes[j]) {
                    std::printf("FAIL  %s and %s draw the same picture\n", kDrawTypes[i].name,
                                kDrawTypes[j].name);
                    ++same;
                }
        std::printf("%s  %zu draw-type pictures, %d identical pairs\n", same ? "FAIL" : "ok  ",
                    hashes.size(), same);
        status |= same ? 1 : 0;
        KytScenes::AlphaStack.RemoveAll();
        scenes.SetAlphaStack(root, true);
        scene->ChangeDrawType(DRAWTYPE_SHADE, nullptr, nullptr, false);

        // Clip link through the gearbox: red section outlines, grey back faces inside.
        float grey[3] = {0.35f, 0.35f, 0.35f};
        KYT_SetBackFaceParam(1, grey);
        scene->SetBackFaceMode(true);
        contents->AddClipPlane(clip);
        shoot(out / "clip.jpg", "half the machine cut away at y = 0, red outlines, grey insides");
        contents->RemoveClipPlane(clip);
        KYT_SetBackFaceParam(0, grey);
        scene->SetBackFaceMode(false);

        contents->bViewClip = true;
        contents->vViewClipPoint = viewport.GetActiveCamera()->GetLookAtPosition();
        shoot(out / "viewclip.jpg", "the near half towards the eye cut away");
        contents->bViewClip = false;

        KytStack<KytLink> targets;
        targets.Append(housing);
        targets.Append(shaftA);
        KYT_SetShowTarget(1, &targets);
        shoot(out / "target-only.jpg", "only the target housing and shaft");
        KYT_SetShowTarget(0, nullptr);

        KytStack<KytLink> sphereLinks;
        sphereLinks.Append(KytBuild::FindByName(model, "shaftB"));
        KytLinkContents::Sphere.bSphereMode = true;
        KytLinkContents::Sphere.pLinks = &sphereLinks;
        shoot(out / "sphere.jpg", "parts near the short shaft shaded, the rest as wire boxes");
        KytLinkContents::Sphere.bSphereMode = false;
        KytLinkContents::Sphere.pLinks = nullptr;

        const double savedRate = KytLinkContents::lfContributionRate;
        KytLinkContents::lfContributionRate = 0.1;
        shoot(out / "contribution.jpg", "bolts, lamp, the kind-64 block and manikin parts as wire boxes");
        KytLinkContents::lfContributionRate = savedRate;

        contents->bPointMode = true;
        contents->lfPointMarkRate = 0.02;  // cubes large enough to see
        contents->FitView(&viewport);
        shoot(out / "point-mode.jpg", "red cubes at the highlighted housing's vertices");
        contents->bPointMode = false;
        contents->lfPointMarkRate = 0.007;
        contents->FitView(&viewport);

        (void)cameraView;
        // Turn around the machine in draw type 256.
        scene->ChangeDrawType(DRAWTYPE_SHADE_EDGE, nullptr, nullptr, false);
        const std::string aviPath = (out / "scene_view.avi").string();
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
                    scenes.Draw(true);
                }
            } catch (const COglMemException&) {
                std::fprintf(stderr, "AVI: the stream rejected frame %d\n", ogl.GetAviCount());
                status = 1;
            }
            if (!writer->Close()) status = 1;
        }
        ogl.SetNormalOut();
        const std::string bmpPath = (out / "scene_view.bmp").string();
        const char* name = bmpPath.c_str();
        ogl.SetBMPOut(&name, &info, bits, imageSize);
        scenes.Draw(true);
        ogl.SetNormalOut();
        const bool bmpOk = CheckBmp(bmpPath, static_cast<const uint8_t*>(bits), imageSize, note);
        std::printf("%s  %s  (%s)\n", bmpOk ? "ok  " : "FAIL", bmpPath.c_str(), note.c_str());
        status |= bmpOk ? 0 : 1;
        const auto avi = quor::avi::ParseAviFile(aviPath, &why);
        const bool aviOk = avi && avi->frames.size() == size_t(kAviFrames) &&
                           avi->width == unsigned(kWidth) && avi->height == kHeight;
        if (avi)
            note = std::to_string(avi->frames.size()) + " key frames of " +
                   std::to_string(avi->width) + "x" + std::to_string(avi->height) +
                   ", turning around the machine in draw type 256";
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
