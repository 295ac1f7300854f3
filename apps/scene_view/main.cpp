// scene_view: builds the sample machine with the kernel builders and draws it through a scene
// list, its scene and the part-tree contents into a memory context: one JPEG per draw type in
// drawtypes/, pictures of clipping, target-only, sphere, contribution and point modes, an AVI
// turning around the machine and a BMP, in the output folder (--out, default out/); then the
// view operations: window points and back, fit.jpg, areazoom.jpg, zclip.jpg,
// clip-backfaces.jpg, realscale.jpg, and flight.avi and jump.avi with their frame counts; then
// the special views: single_part.jpg, single_part_face.jpg, single_part_circle.jpg,
// multi_part.jpg, section.jpg, section_print.bmp and preview.jpg, and the crossings of one
// screen line with the section lines; then the overlay pictures in overlays/ and the overlay
// pick table; then the design review (review.jpg) and the annotations. Each file is read back
// and checked before the program reports success.

#include "apps/scene_view/DibFrame.h"
#include "apps/scene_view/Annotations.h"
#include "apps/scene_view/Measure.h"
#include "apps/scene_view/Overlays.h"
#include "apps/scene_view/ReviewShot.h"
#include "platform/avifile/AviReader.h"
#include "platform/avifile/RiffAviWriter.h"
#include "platform/kernel/KytModel.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxCamera.h"
#include "scene/annotation/KytEdge.h"
#include "scene/annotation/KytRidgeLine.h"
#include "scene/view/KytJpegWriter.h"
#include "scene/view/KytLight.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytMultiContents.h"
#include "scene/view/KytMultiScene.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytPreViewScene.h"
#include "scene/view/KytSectionScene.h"
#include "scene/view/KytSingleContents.h"
#include "scene/view/KytSingleScene.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
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
bool CheckJpeg(const std::string& path, const unsigned char background[3], std::string& note,
               double minPercent = 1.0) {
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
    // is background inside its lines; section lines ask for less).
    return w == unsigned(kWidth) && h == unsigned(kHeight) && cornerDiff < 24 &&
           double(shown) * 100.0 >= minPercent * double(w) * h;
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

        // Picks over the machine, and the marks a measurement draws over the frame.
        {
            scene->ChangeDrawType(DRAWTYPE_SHADE, nullptr, nullptr, false);
            const size_t stride = ((kWidth * 24 + 31) / 32) * 4UL;
            // The frame on the screen with the marks over it, as the bitmap holds it.
            auto saveMarked = [&](const fs::path& path, const char* shows) {
                glFinish();
                GdiFlush();
                KytJpegImage image;
                image.pixels = static_cast<const unsigned char*>(bits);
                image.height = kHeight;
                image.width = kWidth;
                image.stride = stride;
                image.blueFirst = true;
                image.bottomUp = true;
                const std::string name = path.string();
                const bool ok = KYT_WriteJpegImage(name.c_str(), 92, image) == 0 &&
                                CheckJpeg(name, backBytes, note);
                std::printf("%s  %s: %s  (%s)\n", ok ? "ok  " : "FAIL", name.c_str(), shows,
                            note.c_str());
                status |= ok ? 0 : 1;
            };
            auto world = [](const KytLink* l, const float* p) {
                return l->mech.GetAbsPos(WqVector3D(p[0], p[1], p[2]));
            };
            scenes.Draw(true);
            double mv[16], pj[16];
            GLint vp[4];
            glGetDoublev(GL_MODELVIEW_MATRIX, mv);
            glGetDoublev(GL_PROJECTION_MATRIX, pj);
            glGetIntegerv(GL_VIEWPORT, vp);
            // Window point (from the top) of a world point.
            auto window = [&](const WqVector3D& p, int& x, int& y) {
                double wx, wy, wz;
                gluProject(p.x, p.y, p.z, mv, pj, vp, &wx, &wy, &wz);
                x = int(wx);
                y = vp[3] - int(wy);
            };
            KytLink* plate = KytBuild::FindByName(model, "plate");
            int px[8][2];
            const WqVector3D aims[] = {{0, 0, 60},     {-50, 30, 10}, {-75, 0, 10}, {50, 0, 10},
                                       {30, 0, 60},    {0, 0, 85},    {70, 60, 25}, {300, 300, 0}};
            for (int i = 0; i < 8; ++i)
                window(aims[i], px[i][0], px[i][1]);
            px[7][0] = 2;
            px[7][1] = 2;
            KytPickData shown;
            int shownX = -1, shownY = -1;
            for (auto& p : px) {
                KytPickData r, strict;
                const bool found = scene->Pick(p[0], p[1], &r, false, false);
                KytScene::bStrictPick = true;
                const bool strictFound = scene->Pick(p[0], p[1], &strict, false, false);
                KytScene::bStrictPick = false;
                KytLink* fl = nullptr;
                KytTriangle* ft = nullptr;
                WqVector3D fp, fn;
                const bool face = scene->GetFacePoint(p[0], p[1], &fl, &ft, fp, fn);
                long triIndex = -1;
                if (r.Link && r.Level == 5 && r.Link->pShape)
                    triIndex = long(r.Triangle() - r.Link->pShape->GetRep()->GetTriangles());
                std::printf("pick (%d, %d): %s kind %d link %s level %d triangle %ld", p[0], p[1],
                            found ? "hit " : "none", r.Kind, r.Link ? r.Link->name.c_str() : "-",
                            r.Level, triIndex);
                if (face)
                    std::printf(" face point (%.2f, %.2f, %.2f) normal (%.2f, %.2f, %.2f)", fp.x,
                                fp.y, fp.z, fn.x, fn.y, fn.z);
                std::printf(" strict %s %s\n", strictFound ? "hit" : "none",
                            strict.Link ? strict.Link->name.c_str() : "-");
                if (shownX < 0 && found && r.Level == 5 && r.Link != plate) {
                    shown = r;
                    shownX = p[0];
                    shownY = p[1];
                }
            }
            if (shownX >= 0) {
                scenes.Draw(true);
                const KytTriangle* t = shown.Triangle();
                for (int k = 0; k < 3; ++k)
                    scene->DrawLineOnce(world(shown.Link, t->pVertex[k]->fv()),
                                        world(shown.Link, t->pVertex[(k + 1) % 3]->fv()), false);
                KytLink* fl = nullptr;
                KytTriangle* ft = nullptr;
                WqVector3D fp, fn;
                if (scene->GetFacePoint(shownX, shownY, &fl, &ft, fp, fn))
                    scene->DrawPointOnce(fl->mech.GetAbsPos(fp));
                saveMarked(out / "pick.jpg", "the picked triangle's edges and its face point");
            }
            // A pick on the plate's top face just outside each hole's rim.
            const double radii[2] = {22, 14};
            bool drawn = false;
            for (int hole = 0; hole < 2; ++hole) {
                const double cx = hole ? 50 : -50;
                const double d = radii[hole] + 3;
                const WqVector3D around[] = {{cx - d, 0, 10}, {cx + d, 0, 10}, {cx, -d, 10},
                                             {cx, d, 10}};
                int x = 0, y = 0;
                KytLink* fl = nullptr;
                KytTriangle* ft = nullptr;
                WqVector3D fp, fn;
                bool onPlate = false;
                for (const WqVector3D& a : around) {
                    window(a, x, y);
                    if (scene->GetFacePoint(x, y, &fl, &ft, fp, fn) && fl == plate) {
                        onPlate = true;
                        break;
                    }
                }
                if (!onPlate) {
                    std::printf("FAIL  no plate face around hole %d\n", hole);
                    status = 1;
                    continue;
                }
                KytEdge edge(fl, ft, fp);
                WqVector3D c, on, n;
                double r = 0;
                if (!edge.CalcCircle(c, r, on) || !edge.GetNormal(n)) {
                    std::printf("FAIL  no circle at (%d, %d)\n", x, y);
                    status = 1;
                    continue;
                }
                std::printf("circle at (%d, %d): centre (%.3f, %.3f, %.3f) radius %.3f; the "
                            "builder's centre (%.3f, 0.000, 10.000) radius %.3f\n",
                            x, y, c.x, c.y, c.z, r, cx, radii[hole]);
                if (!drawn) {
                    drawn = true;
                    scenes.Draw(true);
                    scene->DrawCircleOnce(fl->mech.GetAbsPos(on), fl->mech.GetAbsPos(c),
                                          fl->mech.mRot.Multi(n));
                    saveMarked(out / "circle.jpg", "the circle found at the large hole's rim");
                    KytRidgeLine ridge(fl, ft, fp);
                    if (ridge.CalcBorder()) {
                        scenes.Draw(true);
                        int chains = 0, borders = 0;
                        for (const CElemBorder* chain : ridge.BorderChains) {
                            ++chains;
                            for (const CElemBorder* b = chain; b; b = b->pNext, ++borders)
                                scene->DrawLineOnce(world(fl, b->pStart), world(fl, b->pEnd),
                                                    false);
                        }
                        std::printf("ridge: %d border chains, %d borders on the picked face\n",
                                    chains, borders);
                        saveMarked(out / "ridge.jpg", "the border chains of the plate's top face");
                    }
                }
            }
        }

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

        // View operations: window points and back, a fitted turn, an area zoom, a z-clip, a
        // scene clip plane with back faces, the real scale, and two stepped moves on AVI.
        scene->ChangeDrawType(DRAWTYPE_SHADE, nullptr, nullptr, false);
        scene->ChangeViewPoint(35.0f, 60.0f, false);
        scene->FitView(false);
        {
            scenes.Draw(true);
            double mv[16], pj[16];
            GLint vp[4];
            glGetDoublev(GL_MODELVIEW_MATRIX, mv);
            glGetDoublev(GL_PROJECTION_MATRIX, pj);
            glGetIntegerv(GL_VIEWPORT, vp);
            const int points[3][2] = {{120, 80}, {320, 240}, {600, 30}};
            for (const auto& pt : points) {
                const WqVector3D w = scene->Point2Vector(pt[0], pt[1]);
                double wx, wy, wz;
                gluProject(w.x, w.y, w.z, mv, pj, vp, &wx, &wy, &wz);
                std::printf("(%d, %d) -> (%.3f, %.3f, %.3f) -> (%.2f, %.2f)\n", pt[0], pt[1], w.x,
                            w.y, w.z, wx, vp[3] - wy);
            }
        }
        scene->ChangeViewPoint(120.0f, 30.0f, false);
        scene->FitView(false);
        shoot(out / "fit.jpg", "turned to 120/30, then fitted: the whole machine in the window");
        scene->ChangeViewPoint(35.0f, 60.0f, false);
        scene->FitView(false);
        {
            // The rectangle around the gearbox's image.
            scenes.Draw(true);
            double mv[16], pj[16];
            GLint vp[4];
            glGetDoublev(GL_MODELVIEW_MATRIX, mv);
            glGetDoublev(GL_PROJECTION_MATRIX, pj);
            glGetIntegerv(GL_VIEWPORT, vp);
            double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
            for (int c = 0; c < 8; ++c) {
                const WqVector3D p((c & 1) ? 40 : -40, (c & 2) ? 30 : -30, (c & 4) ? 60 : 10);
                double wx, wy, wz;
                gluProject(p.x, p.y, p.z, mv, pj, vp, &wx, &wy, &wz);
                x0 = std::min(x0, wx), x1 = std::max(x1, wx);
                y0 = std::min(y0, vp[3] - wy), y1 = std::max(y1, vp[3] - wy);
            }
            // With a margin, so the window's corners keep the background.
            const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
            const double hx = (x1 - x0) * 0.8, hy = (y1 - y0) * 0.8;
            scene->AreaZoom(int(cx - hx), int(cy - hy), int(cx + hx), int(cy + hy));
            shoot(out / "areazoom.jpg", "zoomed to the rectangle around the gearbox");
        }
        scene->FitView(false);
        scene->SetZClip(viewport.GetEyeDistance(), false);
        shoot(out / "zclip.jpg", "everything nearer the eye than the model's centre cut away");
        scene->ResetZClip(false);
        scene->FitView(false);
        float grey2[3] = {0.35f, 0.35f, 0.35f};
        KYT_SetBackFaceParam(1, grey2);
        scene->AddClipPlane(clip, false);
        {
            const bool backOn = scene->GetOgl()->IsDrawBackFace();
            shoot(out / "clip-backfaces.jpg",
                  backOn ? "scene clip plane at y = 0, back faces switched on (grey insides)"
                         : "FAIL: the scene clip plane left back faces off");
            status |= backOn ? 0 : 1;
        }
        scene->RemoveClipPlane(clip, false);
        KYT_SetBackFaceParam(0, grey2);
        {
            const double ppm = 0.5;  // model units per pixel
            scene->SetRealPpm(ppm, ppm, false);
            scenes.Draw(true);
            double mv[16], pj[16];
            GLint vp[4];
            glGetDoublev(GL_MODELVIEW_MATRIX, mv);
            glGetDoublev(GL_PROJECTION_MATRIX, pj);
            glGetIntegerv(GL_VIEWPORT, vp);
            KytCamera* cam = viewport.GetActiveCamera();
            const WqVector3D a = cam->GetLookAtPosition();
            const WqVector3D b = a + cam->GetViewUpVector() * 100.0;
            double ax, ay, az, bx, by, bz;
            gluProject(a.x, a.y, a.z, mv, pj, vp, &ax, &ay, &az);
            gluProject(b.x, b.y, b.z, mv, pj, vp, &bx, &by, &bz);
            const double perUnit = std::hypot(bx - ax, by - ay) / 100.0;
            std::printf("real scale: %.4f pixels per unit measured through the frame's matrices, "
                        "%.4f asked\n",
                        perUnit, 1.0 / ppm);
            const bool scaleOk = std::fabs(perUnit - 1.0 / ppm) < 0.01;
            status |= scaleOk ? 0 : 1;
            shoot(out / "realscale.jpg", "the machine at 2 pixels per unit");
        }
        scene->FitView(false);

        auto record = [&](const fs::path& path, int expected, const char* what, auto&& run) {
            const std::string file = path.string();
            std::string reason;
            auto avi = quor::avi::RiffAviWriter::Open(file, {kWidth, kHeight, 24, 12}, &reason);
            if (!avi) {
                std::fprintf(stderr, "AVI: %s\n", reason.c_str());
                status = 1;
                return;
            }
            ogl.SetAVIOut(avi.get(), bits, imageSize);
            try {
                run();
            } catch (const COglMemException&) {
                std::fprintf(stderr, "AVI: the stream rejected frame %d\n", ogl.GetAviCount());
                status = 1;
            }
            ogl.SetNormalOut();
            if (!avi->Close()) status = 1;
            const auto parsed = quor::avi::ParseAviFile(file, &reason);
            const size_t frames = parsed ? parsed->frames.size() : 0;
            const bool ok = parsed && (expected < 0 || frames == size_t(expected));
            std::printf("%s  %s: %zu frames%s (%s)\n", ok ? "ok  " : "FAIL", file.c_str(), frames,
                        expected < 0 ? "" : (" of " + std::to_string(expected)).c_str(), what);
            status |= ok ? 0 : 1;
        };
        KytLink* gearbox = KytBuild::FindByName(model, "gearbox");
        KYT_SetViewStep(24);
        record(out / "flight.avi", 50, "flight from the whole machine to the gearbox in 24 steps",
               [&] { scene->FlyTo(gearbox, true); });
        KYT_SetViewStep(12);
        scene->FitView(false);
        WqVector3D boltPoint(90, 90, 11);
        record(out / "jump.avi", 12, "jump to a bolt in 12 steps with a refit to half the home radius",
               [&] { scene->JumpPoint(boltPoint, 1, 0.5); });
        KYT_SetViewStep(1);
        scene->FitView(false);

        // The special views, each on a context of its own over the same bitmap.
        auto shootView = [&](KytScene& view, const fs::path& path, const char* shows,
                             double minPercent = 1.0, std::function<void()> frame = {}) {
            auto* mem = dynamic_cast<KytOglMem*>(view.GetOgl());
            if (!mem) {
                std::printf("FAIL  %s: no context\n", path.string().c_str());
                status = 1;
                return;
            }
            const std::string name = path.string();
            const char* p = name.c_str();
            mem->SetJpegOut(&p, 92, bits, kHeight, kWidth);
            if (frame)
                frame();
            else
                view.Draw(true);
            mem->SetNormalOut();
            const bool ok = CheckJpeg(name, backBytes, note, minPercent);
            std::printf("%s  %s: %s  (%s)\n", ok ? "ok  " : "FAIL", name.c_str(), shows,
                        note.c_str());
            status |= ok ? 0 : 1;
        };
        KytLink* plate = KytBuild::FindByName(model, "plate");
        {
            KytSingleScene single(plate, "SinglePart");
            single.AttachLight(scenes.GetTopLight());
            if (single.Create(new KytOglMem(wnd, dc, 24, 24), kWidth, kHeight)) {
                single.GetSingleContents()->bPointMode = true;
                single.FitView(false);
                shootView(single, out / "single_part.jpg",
                          "the plate alone in point mode: vertex marks and the confirm box");
                KytSingleContents* sc = single.GetSingleContents();
                sc->bPointMode = false;
                sc->SetWorkLink(plate);
                const KytTriangle* face = &plate->pShape->pRep->aTriangle[0];
                shootView(single, out / "single_part_face.jpg",
                          "the plate translucent, one triangle in inverse colour", 1.0,
                          [&] { single.DrawFace(face, nullptr, false); });
                WqVector3D centre = plate->mech.vPos;
                WqVector3D start = centre + WqVector3D(30, 0, 6);
                WqVector3D axis(0, 0, 1);
                shootView(single, out / "single_part_circle.jpg",
                          "a dashed circle over the plate", 1.0,
                          [&] { single.DrawCircle(centre, start, axis, false); });
            }
        }
        {
            KytStack<KytLink> parts;
            for (const char* n : {"plate", "housing", "shaftA"})
                if (KytLink* l = KytBuild::FindByName(model, n))
                    parts.Append(l);
            KytStack<KytLink> opaque;
            if (plate)
                opaque.Append(plate);
            KytMultiScene multi(&parts);
            multi.SetRootLink(root);
            multi.AttachLight(scenes.GetTopLight());
            if (multi.Create(new KytOglMem(wnd, dc, 24, 24), kWidth, kHeight)) {
                multi.MakeAlphaEdgeData();
                auto* mc = dynamic_cast<KytMultiContents*>(multi.GetContents());
                mc->bAlphaMode = true;
                mc->SetNonAlphaLinks(&opaque);
                multi.FitView(false);
                shootView(multi, out / "multi_part.jpg",
                          "housing and shaft translucent with black silhouettes, the plate opaque");
            }
        }
        {
            KytLink cut;
            cut.mech.vPos = WqVector3D(0, 0, 20);
            cut.mech.mRot.MakeRotMatrix(std::cos(0.35), std::sin(0.35), WqVector3D(1, 0, 0));
            KytSectionScene section(root, "Section");
            if (section.Create(new KytOglMem(wnd, dc, 24, 24), kWidth, kHeight)) {
                section.SetSectionLink(&cut, false);
                section.Rolling(30.0 * 3.14159265358979323846 / 180.0, false);
                shootView(section, out / "section.jpg",
                          "a tilted cut of the machine in the parts' colours, rolled 30 degrees",
                          0.3);
                _SECT_CROSS cross;
                const bool found =
                    section.GetCrossPoint(10, kHeight / 2, kWidth - 10, kHeight / 2, cross);
                std::printf("%s  section crossings of the middle row: %s (%.2f, %.2f, %.2f) to "
                            "(%.2f, %.2f, %.2f)\n",
                            found ? "ok  " : "FAIL", found ? "found" : "none", cross.vCross1.x,
                            cross.vCross1.y, cross.vCross1.z, cross.vCross2.x, cross.vCross2.y,
                            cross.vCross2.z);
                status |= found ? 0 : 1;

                // The same lines printed on a white page twice the view's width.
                const int pw = 2 * kWidth, ph = 2 * kHeight;
                const unsigned long pageSize = ((pw * 24 + 31) / 32) * 4UL * ph;
                HDC pageDc = CreateCompatibleDC(nullptr);
                BITMAPINFO pageInfo = info;
                pageInfo.bmiHeader.biWidth = pw;
                pageInfo.bmiHeader.biHeight = ph;
                pageInfo.bmiHeader.biSizeImage = pageSize;
                void* pageBits = nullptr;
                HBITMAP pageBmp =
                    CreateDIBSection(pageDc, &pageInfo, DIB_RGB_COLORS, &pageBits, nullptr, 0);
                if (pageBmp) {
                    HGDIOBJ pageOld = SelectObject(pageDc, pageBmp);
                    std::memset(pageBits, 255, pageSize);
                    {
                        CDC page(pageDc);
                        section.Print(&page, CRect(0, 0, pw, ph), CRect(0, 0, kWidth, kHeight));
                        page.Detach();
                    }
                    GdiFlush();
                    const auto* px = static_cast<const uint8_t*>(pageBits);
                    size_t dark = 0;
                    for (unsigned long i = 0; i + 2 < pageSize; i += 3)
                        dark += px[i] < 64 && px[i + 1] < 64 && px[i + 2] < 64;
                    const std::string pagePath = (out / "section_print.bmp").string();
                    scene_view::WriteBmp24(pagePath, pageBits, pw, ph, pageSize);
                    const bool pageOk = CheckBmp(pagePath, px, pageSize, note) && dark > 100;
                    std::printf("%s  %s: the section lines printed at twice the view's width  "
                                "(%s, %zu dark pixels)\n",
                                pageOk ? "ok  " : "FAIL", pagePath.c_str(), note.c_str(), dark);
                    status |= pageOk ? 0 : 1;
                    SelectObject(pageDc, pageOld);
                }
                DeleteDC(pageDc);  // lets go of the page bitmap
                if (pageBmp)
                    DeleteObject(pageBmp);
            }
        }
        {
            KytLink* gearbox = KytBuild::FindByName(model, "gearbox");
            // The preview's own marks: the housing and the shaft are the targets.
            for (KytLink* l : {housing, shaftA})
                if (l)
                    l->bTarget = true;
            KytPreViewScene preview(gearbox, "Preview");
            preview.AttachLight(scenes.GetTopLight());
            if (preview.Create(new KytOglMem(wnd, dc, 24, 24), kWidth, kHeight)) {
                preview.SetTargetOnly(true);
                preview.FitView(false);
                shootView(preview, out / "preview.jpg", "the gearbox, its targets only");
            }
        }
        // The main scene's context is current again for the overlays and the list's end.
        scene->GetOgl()->MakeCurrentFource();
        status |= RunOverlays(out, scenes, scene, ogl, model, bits, kWidth, kHeight);
        // The scene list's end releases the scene, its context and the lights.
    }
    status |= ShootReview(out, wnd, dc, bits, kWidth, kHeight);
    KytOgl::ResetHwnd();
    status |= AnnotationDemo(out);
    KytOgl::ResetHwnd();
    status |= MeasureDemo(out);
    if (previous) SelectObject(dc, previous);
    DeleteDC(dc);  // lets go of the bitmap
    DeleteObject(bitmap);
    DestroyWindow(wnd);
    std::printf("scene_view: files in %s\n", fs::absolute(out).string().c_str());
    return status;
}
