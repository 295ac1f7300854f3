// The overlay pictures of scene_view: simple shapes, manipulator handles in both modes,
// markers, the ruler and the view-area marker in both draw modes, each written as a JPEG into
// overlays/, decoded again and checked for its objects' colours; then a click on each pickable
// object and the table of what the scene's pick answered.

#include "apps/scene_view/Overlays.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "scene/annotation/AuxAreaCRT.h"
#include "scene/annotation/AuxCOM.h"
#include "scene/annotation/AuxCOM2.h"
#include "scene/annotation/AuxCircle.h"
#include "scene/annotation/AuxConfirmBox.h"
#include "scene/annotation/AuxDirect.h"
#include "scene/annotation/AuxDitch.h"
#include "scene/annotation/AuxGlobalPlane.h"
#include "scene/annotation/AuxJoint.h"
#include "scene/annotation/AuxLine.h"
#include "scene/annotation/AuxLineStrip.h"
#include "scene/annotation/AuxManip.h"
#include "scene/annotation/AuxPoint.h"
#include "scene/annotation/AuxRuler.h"
#include "scene/annotation/AuxSphere.h"
#include "scene/annotation/AuxSysCoord.h"
#include "scene/annotation/AuxTriangle.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"

// After the platform's own window types, which libjpeg would otherwise clash with.
#include <GL/gl.h>
#include <GL/glu.h>
#include <jpeglib.h>

namespace {

// An RGB picture, rows from the top.
struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
};

struct JpegError {
    jpeg_error_mgr pub;  // first, so the library's pointer is this record's address
    std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

bool Decode(const std::string& path, Picture& pic)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    jpeg_decompress_struct cinfo{};
    JpegError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnJpegError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(f);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    pic.w = static_cast<int>(cinfo.output_width);
    pic.h = static_cast<int>(cinfo.output_height);
    pic.rgb.assign(size_t(pic.w) * pic.h * 3, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &pic.rgb[size_t(cinfo.output_scanline) * pic.w * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return true;
}

// The frame bitmap (24-bit, bottom-up, blue first) as a picture.
Picture FromBits(const void* bits, int w, int h)
{
    Picture pic;
    pic.w = w;
    pic.h = h;
    pic.rgb.resize(size_t(w) * h * 3);
    const size_t stride = ((size_t(w) * 24 + 31) / 32) * 4;
    const auto* src = static_cast<const unsigned char*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = src + size_t(h - 1 - y) * stride + size_t(x) * 3;
            unsigned char* q = &pic.rgb[(size_t(y) * w + x) * 3];
            q[0] = p[2], q[1] = p[1], q[2] = p[0];
        }
    return pic;
}

struct Colour {
    const char* name;
    float rgb[3];
};

// Pixels of the colour's hue: shading scales a colour, so each pixel is compared with the
// colour after both are scaled to a brightest channel of 1.
int CountLike(const Picture& pic, const Colour& c)
{
    const float top = std::max({c.rgb[0], c.rgb[1], c.rgb[2]});
    int n = 0;
    for (size_t i = 0; i + 2 < pic.rgb.size(); i += 3) {
        const unsigned char* p = &pic.rgb[i];
        const int m = std::max({p[0], p[1], p[2]});
        if (m < 60)
            continue;
        bool like = true;
        for (int k = 0; k < 3 && like; ++k)
            like = std::fabs(p[k] / float(m) - c.rgb[k] / top) < 0.16f;
        n += like;
    }
    return n;
}

WqVector3D InManip(const KytLink* l, const WqVector3D& local)
{
    return l->mech.GetAbsPos(l->manip.mOrientation.Multi(local + l->manip.GetOrigin()));
}

WqVector3D InJoint(const KytLink* l, double z)
{
    return l->mech.GetAbsPos(l->jointFrame.GetAbsPos({0, 0, z}));
}

}  // namespace

int RunOverlays(const std::filesystem::path& outRoot, KytScenes& scenes, KytScene* scene,
                KytOglMem& ogl, KytModel& model, void* bits, int width, int height)
{
    namespace fs = std::filesystem;
    const fs::path out = outRoot / "overlays";
    std::error_code ec;
    fs::create_directories(out, ec);
    int status = 0;
    auto find = [&](const char* name) { return KytBuild::FindByName(model, name); };
    KytLink* gearbox = find("gearbox");
    KytLink* shaftA = find("shaftA");
    KytLink* shaftB = find("shaftB");
    KytLink* hinge = find("hinge");
    KytLink* slider = find("slider");
    KytLink* chain = find("nohandle");
    KytLink* screen = find("screen");
    KytLink* lamp = find("lamp");
    KytLink* plate = find("plate");
    KytLink* housing = find("housing");
    KytLink* tilted = find("tilted");

    KytEnv::nUpAxis = 2;
    KytEnv::nManipMode = 0;
    scene->ChangeDrawType(DRAWTYPE_SHADE, nullptr, nullptr, false);
    scene->GetContents()->SetSubContsState(6, false);
    scene->SetAuxState(true);
    scene->ChangeViewPoint(35.0f, 60.0f, false);
    scene->FitView(false);
    KytViewPort& viewport = *scene->GetViewPort();
    const unsigned long imageSize = ((unsigned long)(width) * 24 + 31) / 32 * 4 * height;
    (void)imageSize;

    unsigned nextId = 500;
    std::vector<KytAuxContents*> shown;
    auto add = [&](KytAuxContents* obj) {
        scene->AddAuxContents(obj, AUX_STAGE_SECOND);
        obj->FitView(&viewport);
        shown.push_back(obj);
        return obj;
    };
    auto clear = [&] {
        for (KytAuxContents* obj : shown)
            scene->RemoveAuxContents(obj);
        shown.clear();
    };
    // Draws the frame without and with the overlay objects, writes the JPEG and checks that
    // it decodes to the frame's size and that each colour gained pixels from the objects.
    auto shoot = [&](const char* file, const char* shows, std::vector<Colour> colours) {
        scene->SetAuxState(false);
        scenes.Draw(true);
        const Picture bare = FromBits(bits, width, height);
        scene->SetAuxState(true);
        const std::string name = (out / file).string();
        const char* p = name.c_str();
        ogl.SetJpegOut(&p, 92, bits, height, width);
        scenes.Draw(true);
        ogl.SetNormalOut();
        const Picture frame = FromBits(bits, width, height);
        Picture jpeg;
        bool ok = Decode(name, jpeg) && jpeg.w == width && jpeg.h == height;
        std::string note = ok ? "decoded" : "does not decode to the frame";
        for (const Colour& c : colours) {
            const int gained = CountLike(frame, c) - CountLike(bare, c);
            const int inFile = CountLike(jpeg, c);
            // Thin lines lose some of their hue to the compression.
            const bool seen = gained >= 20 && inFile >= std::min(gained / 4, 200);
            ok = ok && seen;
            note += std::string(", ") + c.name + " +" + std::to_string(gained) +
                    (seen ? "" : " (missing)");
        }
        std::printf("%s  %s: %s  (%s)\n", ok ? "ok  " : "FAIL", name.c_str(), shows, note.c_str());
        status |= ok ? 0 : 1;
    };

    // Every simple shape on the machine.
    {
        add(new AuxLine(nextId++, lamp->mech.vPos, shaftB->mech.GetAbsPos({0, 0, 60})));
        const WqVector3D strip[5] = {{-50, -50, 12}, {50, -50, 12}, {50, 50, 12}, {-50, 50, 12},
                                     {-50, -50, 12}};
        auto* ls = new AuxLineStrip(nextId++);
        ls->SetData(5, strip, nullptr);
        add(ls);
        auto* circle = new AuxCircle(nextId++);
        circle->SetData(shaftA->mech.GetAbsPos({0, 0, 60}), {0, 0, 1},
                        shaftA->mech.GetAbsPos({20, 0, 60}), nullptr);
        add(circle);
        auto* ditch = new AuxDitch(nextId++);
        ditch->SetData({60, -90, 12}, {90, -60, 12}, {60, -60, 40});
        add(ditch);
        add(new AuxPoint(nextId++, {-90, -90, 20}));
        auto* tri = new AuxTriangle(nextId++);
        if (tri->CreateData(1)) {
            const WqVector3D v[3] = {{-100, 70, 60}, {-40, 70, 60}, {-70, 110, 90}};
            tri->SetVertex(0, v);
        }
        tri->SetColor(1.0f, 0.5f, 0.0f, 1.0f);
        add(tri);
        static KytStack<KytLink> sphereStack;
        sphereStack.RemoveAll();
        sphereStack.Append(lamp);
        auto* sphere = new AuxSphere(nextId++);
        sphere->Stack = &sphereStack;
        add(sphere);
        shoot("shapes.jpg",
              "line, strip, circle, ditch, point, orange triangle and a red sphere round the lamp",
              {{"yellow circle", {1, 1, 0}}, {"cyan ditch", {0, 1, 1}},
               {"orange triangle", {1, 0.5f, 0}}});
        clear();
    }

    KytStack<KytLink> handles;
    for (KytLink* l : {gearbox, hinge, slider})
        handles.Append(l);
    KytStack<KytLink> simpleStack;
    simpleStack.Append(shaftA);
    {
        add(new AuxManip(nextId++, &handles));
        auto* simple = new AuxManip(nextId++, &simpleStack);
        simple->Simple(true);
        add(simple);
        shoot("handles-move.jpg",
              "gearbox bars, x magenta and light blue; the shaft's simple line; joint handles",
              {{"magenta", {0.8f, 0, 0.6f}}, {"light blue", {0.3f, 0.5f, 1.0f}}});
        clear();
    }
    {
        KytEnv::nManipMode = 1;
        // The shaft's arrows turn under the translucent cover, which would tint them.
        KytLink* cover = find("cover");
        cover->visual.uVisible = 0;
        KytStack<KytLink> both;
        both.Append(gearbox);
        both.Append(shaftA);
        add(new AuxManip(nextId++, &both));
        shoot("handles-rotate.jpg", "rotation handles: rods, end spheres, arrows and circles",
              {{"magenta arrow", {0.8f, 0, 0.6f}}, {"light blue arrow", {0.3f, 0.5f, 1.0f}}});
        clear();
        cover->visual.uVisible = 1;
        KytEnv::nManipMode = 0;
    }

    KytStack<KytLink> boxes;
    boxes.Append(housing);
    boxes.Append(gearbox);
    {
        auto* joint = new AuxJoint(nextId++);
        joint->Push(hinge, true);
        joint->Push(slider, true);
        joint->SetActive(hinge, false);
        add(joint);
        auto* rod = new AuxDirect(nextId++);
        rod->SetLink(tilted);
        rod->SetPoint(tilted->mech.vPos + WqVector3D(0, 0, 30));
        rod->SetUp({0, 0, 1});
        add(rod);
        add(new AuxSysCoord(nextId++));
        AuxCOM::SetShow(true);
        add(new AuxCOM(nextId++, chain));
        add(new AuxCOM2(nextId++, {100, -100, 40}));
        auto* ground = new AuxGlobalPlane(nextId++);
        AuxGlobalPlane::SetDrawGrid(true);
        add(ground);
        auto* box = new AuxConfirmBox(nextId++, &boxes);
        add(box);
        shoot("markers.jpg",
              "joints (the hinge red), direction rod, axes, centre of mass, ground grid, boxes",
              {{"red joint", {1, 0, 0}}, {"purple rod", {0.8f, 0, 0.8f}},
               {"cyan centre of mass", {0, 0.9f, 0.9f}}});
        clear();
    }
    {
        add(new AuxRuler(nextId++));
        shoot("ruler.jpg", "grids every 10, 50 and 100 units over the view, ticks on the cross",
              {{"blue grid", {0, 0, 0.6f}}, {"magenta cross", {1, 0, 1}}});
        clear();
    }
    // The volume adds its light to what lies behind it: a dark background lets it show.
    scenes.ChangeBackColor(0.05f, 0.05f, 0.1f, false);
    for (int mode : {0, 1}) {
        auto* area = new AuxAreaCRT(nextId++, screen);
        const float p1[3] = {-25, 1, -18}, p2[3] = {25, 1, 18};
        area->SetPoints(p1, p2, true);
        area->ChangeMode(mode);
        area->ChangeAngleDepth(100, 80, 120);
        area->MakeDisp();
        add(area);
        const std::string file = "view-area-" + std::to_string(mode + 1) + ".jpg";
        shoot(file.c_str(),
              mode == 0 ? "the screen's viewing volume: faces fading away, green edges"
                        : "the screen's viewing volume as tilted side faces",
              {{"red near face", {1, 0.1f, 0.15f}}});
        clear();
    }
    scenes.ChangeBackColor(0.93f, 0.95f, 0.98f, false);

    // One click on each pickable object's projected point; the table shows what came back.
    auto* manip = static_cast<AuxManip*>(add(new AuxManip(nextId++, &handles)));
    KytStack<KytLink> shaftStack;
    shaftStack.Append(shaftA);
    auto* shaftManip = static_cast<AuxManip*>(add(new AuxManip(nextId++, &shaftStack)));
    auto* joint = new AuxJoint(nextId++);
    joint->Push(hinge, true);
    joint->Push(slider, true);
    add(joint);
    auto* com = add(new AuxCOM(nextId++, chain));
    struct Row {
        const char* what;
        int manipMode;
        std::function<WqVector3D(int)> point;
        unsigned kind;
        KytLink* link;
        uintptr_t item;
        uint32_t name4;
    };
    auto s = [](const KytLink* l) { return l->GetRadius() * 1.05; };
    const std::vector<Row> rows = {
        {"gearbox x +", 0, [&](int) { return InManip(gearbox, {s(gearbox), 0, 0}); },
         manip->GetID(), gearbox, 0, 1},
        {"gearbox x -", 0, [&](int) { return InManip(gearbox, {-s(gearbox), 0, 0}); },
         manip->GetID(), gearbox, 0, 0},
        {"gearbox y -", 0, [&](int) { return InManip(gearbox, {0, -s(gearbox), 0}); },
         manip->GetID(), gearbox, 1, 0},
        {"shaftA z +", 0, [&](int) { return InManip(shaftA, {0, 0, s(shaftA)}); },
         shaftManip->GetID(), shaftA, 2, 1},
        {"gearbox turn x", 1, [&](int) { return InManip(gearbox, {gearbox->GetRadius(), 0, 0}); },
         manip->GetID(), gearbox, 0, 0},
        {"gearbox turn z", 1, [&](int) { return InManip(gearbox, {0, 0, gearbox->GetRadius()}); },
         manip->GetID(), gearbox, 2, 0},
        {"hinge rod", 0, [&](int k) { return InJoint(hinge, 30 + 3 * k); }, manip->GetID(), hinge,
         0, 0},
        {"slider rod", 0, [&](int k) { return InJoint(slider, 36 + 2 * k); }, manip->GetID(),
         slider, 0, 0},
        {"hinge glyph", 0, [&](int k) { return InJoint(hinge, 14 - k); }, joint->GetID(), hinge, 0,
         0},
        {"slider glyph", 0, [&](int k) { return InJoint(slider, 14 - k); }, joint->GetID(), slider,
         0, 0},
        {"centre of mass", 0, [&](int k) { return chain->mech.GetAbsPos({0, 0, 1.0 + k}); },
         com->GetID(), nullptr, 0, 0},
    };
    std::printf("pick table (Kind Link Item Name4 Pick):\n");
    int good = 0;
    for (const Row& r : rows) {
        KytEnv::nManipMode = r.manipMode;
        int x = 0, y = 0;
        bool behind = true;
        // The first point along the object with nothing of the machine behind it.
        for (int k = 5; k >= 0 && behind; --k) {
            scenes.Draw(true);
            double mv[16], pj[16], wx, wy, wz;
            GLint vp[4];
            glGetDoublev(GL_MODELVIEW_MATRIX, mv);
            glGetDoublev(GL_PROJECTION_MATRIX, pj);
            glGetIntegerv(GL_VIEWPORT, vp);
            const WqVector3D p = r.point(k);
            gluProject(p.x, p.y, p.z, mv, pj, vp, &wx, &wy, &wz);
            x = static_cast<int>(std::lround(wx));
            y = height - static_cast<int>(std::lround(wy));
            KytPickData none;
            behind = scene->Pick(x, y, &none, false, false);
        }
        KytPickData hit;
        const bool found = scene->Pick(x, y, &hit, false, true);
        const bool ok = hit.Kind == static_cast<int32_t>(r.kind) && hit.Link == r.link &&
                        hit.Level == 0 && hit.Item == r.item && hit.Name4 == r.name4 &&
                        found == (r.link != nullptr);
        good += ok;
        std::printf("%s  %-15s at (%3d,%3d): %u %-8s %lu %u %s\n", ok ? "ok  " : "FAIL", r.what,
                    x, y, unsigned(hit.Kind), hit.Link ? hit.Link->name.c_str() : "-",
                    static_cast<unsigned long>(hit.Item), hit.Name4, found ? "true" : "false");
    }
    status |= good == int(rows.size()) ? 0 : 1;
    std::printf("%s  %d of %zu overlay picks as expected\n",
                good == int(rows.size()) ? "ok  " : "FAIL", good, rows.size());
    KytEnv::nManipMode = 0;
    clear();
    (void)plate;
    return status;
}
