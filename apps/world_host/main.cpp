// world_host: loads libworld.so with dlopen, binds it to the reference host as the host
// engine would, runs a few frames and reports what happened as "key: value" lines on
// standard output. Errors go to standard error.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/AsyncData.h"
#include "platform/host/DirectoryFileSystem.h"
#include "platform/host/IAudio.h"
#include "platform/host/IXmlNode.h"
#include "platform/host/XmlNode.h"
#include "platform/host/IFrameTimeControl.h"
#include "platform/host/IModule.h"
#include "platform/host/ReferenceHost.h"
#include "platform/host/RenderCamera.h"
#include "platform/win32/Directory.h"
#include "platform/win32/Messages.h"
#include "world/core/Camera.h"
#include "world/core/IWorld.h"
#include "world/core/IVisibleObject.h"
#include "world/core/Light.h"
#include "world/mesh/ModelBase.h"
#include "world/fx/IFxBase.h"
#include "world/scene/IScene.h"
#include "apps/world_host/Map2DDemo.h"
#include "apps/world_host/SceneDemo.h"
#include "apps/world_host/LabelDemo.h"
#include "apps/world_host/FigureDemo.h"
#include "apps/world_host/PictureCheck.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string root;  // empty: look for samples/
    int frames = 1;
    int fps = 60;
    bool help = false;
    std::string picture;  // empty: the recording renderer, no picture
    int width = 640;
    int height = 480;
    std::string model;  // empty: no model scene
    bool async = false;
    std::vector<std::string> fx;  // effect files, in the order given
    std::string scene;            // empty: no scene file
    std::string preset = "Gate";  // the --scene file's preset camera
    std::string loadingPicture;   // empty: the loading screen's last frame is not written
    std::string out;              // a 2D map's frame pictures go here (empty: none)
    std::string play;   // the --model figure's whole-body animation
    std::string upper;  // its upper-body animation
    int pictures = 0;   // frames of the figure written beside --picture
};

bool ParseCount(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (!end || end == text || *end || n < low || n > high) return false;
    out = static_cast<int>(n);
    return true;
}

// "WxH", each 1 to 8192.
bool ParseSize(const char* text, int& width, int& height) {
    const char* x = std::strchr(text, 'x');
    if (!x) return false;
    const std::string w(text, x);
    int a = 0, b = 0;
    if (!ParseCount(w.c_str(), 1, 8192, a) || !ParseCount(x + 1, 1, 8192, b)) return false;
    width = a;
    height = b;
    return true;
}

// Every option of the program: one row each, so a new option is one more row. `value` is
// null for a flag; `defaultText` says what holds when the option is not given.
struct OptionRow {
    const char* name;
    const char* value;
    const char* defaultText;
    const char* help;
    std::function<bool(Options&, const char*)> apply;
};

const std::vector<OptionRow>& OptionTable() {
    static const std::vector<OptionRow> rows = {
        {"--root", "DIR", "samples/ in a directory above the executable, else in the working directory",
         "resource root that the module's file reads start from",
         [](Options& o, const char* v) {
             o.root = v;
             return true;
         }},
        {"--frames", "N", "1", "frames to run (Update, Render, RenderPost of the world), 0 to 1000000",
         [](Options& o, const char* v) { return ParseCount(v, 0, 1000000, o.frames); }},
        {"--fps", "N", "60", "frame rate handed to the module's frame-time control, 1 to 1000",
         [](Options& o, const char* v) { return ParseCount(v, 1, 1000, o.fps); }},
        {"--picture", "FILE", "none: the recording renderer, nothing drawn",
         "draw the frames with the GL renderer and write the last one to FILE as PNG",
         [](Options& o, const char* v) {
             o.picture = v;
             return *v != 0;
         }},
        {"--size", "WxH", "640x480", "size of the picture in pixels, each 1 to 8192",
         [](Options& o, const char* v) { return ParseSize(v, o.width, o.height); }},
        {"--model", "FILE", "none", "show the model file in a 3D scene (resource-root relative)",
         [](Options& o, const char* v) {
             o.model = v;
             return *v != 0;
         }},
        {"--async", nullptr, "off", "load the --model file through the loader",
         [](Options& o, const char*) {
             o.async = true;
             return true;
         }},
        {"--fx", "FILE", "none", "an effect file (under the root) the 3D scene loads and plays, given again for more; each frame reports its state, live particles per part, camera offset, time scale and sounds; the release what it gave back",
         [](Options& o, const char* v) {
             o.fx.emplace_back(v);
             return !o.fx.back().empty();
         }},
        {"--scene", "NAME", "none",
         "load the 3D scene file NAME (under the root) on the loader thread, view it from a preset camera moving forward over the frames and report it",
         [](Options& o, const char* v) {
             o.scene = v;
             return !o.scene.empty();
         }},
        {"--preset", "NAME", "Gate", "the preset camera of the --scene file the view starts at",
         [](Options& o, const char* v) {
             o.preset = v;
             return !o.preset.empty();
         }},
        {"--loading-picture", "FILE", "none",
         "with --scene: write the loading screen's last presented frame (the CPU device's image) to FILE as PNG",
         [](Options& o, const char* v) {
             o.loadingPicture = v;
             return !o.loadingPicture.empty();
         }},
        {"--out", "DIR", "none",
         "with a 2D map as --scene (.scn2, .s2d, .bmp): draw the frames with the GL renderer and write the first, middle and last to DIR as PNG",
         [](Options& o, const char* v) {
             o.out = v;
             return !o.out.empty();
         }},
        {"--label", "WINDOW@SOCKET", "none",
         "pin a screen label (a window of the reference interface library) to a socket of the --model's model; "
         "report where it stands on sampled frames and click it at its centre and beside it",
         [](Options&, const char* v) { return quor::demo::SetLabelOption(v); }},
        {"--play", "NAME", "none",
         "play the --model figure's skeletal animation NAME (looping); each frame reports its clip, time, key events and bones",
         [](Options& o, const char* v) {
             o.play = v;
             return !o.play.empty();
         }},
        {"--upper", "NAME", "none", "a quarter into the run, play animation NAME on the figure's upper body only",
         [](Options& o, const char* v) {
             o.upper = v;
             return !o.upper.empty();
         }},
        {"--pictures", "N", "0", "with --picture FILE, write N frames spread over the run as FILE's name with -1 ... -N, 0 to 100",
         [](Options& o, const char* v) { return ParseCount(v, 0, 100, o.pictures); }},
        {"--help", nullptr, "off", "print this help and exit",
         [](Options& o, const char*) {
             o.help = true;
             return true;
         }},
    };
    return rows;
}

void PrintHelp(std::FILE* out) {
    std::fprintf(out,
                 "usage: world_host [OPTION]...\n"
                 "Loads libworld.so as the host engine does, binds it to the reference host, runs\n"
                 "frames and reports the binding as \"key: value\" lines.\n\n"
                 "The module's clocks stand still until the host sets the frame-time speed: the\n"
                 "reference host sets speed 1 (real time) when the module hands it the control.\n"
                 "A host built with -fsanitize=undefined adds -fno-sanitize=vptr: libworld.so\n"
                 "exports GetIntf only, so its classes' type information stays inside it.\n\noptions:\n");
    for (const OptionRow& row : OptionTable()) {
        const std::string head = std::string(row.name) + (row.value ? std::string(" ") + row.value : "");
        std::fprintf(out, "  %-12s %s\n  %-12s (default: %s)\n", head.c_str(), row.help, "", row.defaultText);
    }
}

// Empty when parsed; otherwise what is wrong.
std::string ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const OptionRow* row = nullptr;
        for (const OptionRow& r : OptionTable())
            if (std::strcmp(argv[i], r.name) == 0) row = &r;
        if (!row) return std::string("unknown option ") + argv[i];
        const char* value = nullptr;
        if (row->value) {
            if (i + 1 >= argc) return std::string(row->name) + " needs " + row->value;
            value = argv[++i];
        }
        if (!row->apply(options, value)) return std::string("bad value for ") + row->name + ": " + value;
    }
    return {};
}

fs::path Executable() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
}

// samples/ in the nearest directory above the executable that has one, else in the
// working directory; empty when neither has it.
std::string FindSamples() {
    for (fs::path dir = Executable().parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (fs::is_directory(dir / "samples")) return (dir / "samples").string();
        if (dir == dir.root_path()) break;
    }
    std::error_code ec;
    const fs::path here = fs::current_path(ec) / "samples";
    return !ec && fs::is_directory(here) ? here.string() : std::string();
}

// The library beside this build: the path the build recorded, else relative to the
// executable (build/apps/world_host/world_host -> build/world/libworld.so).
std::string FindLibrary() {
    if (fs::exists(QUOR_LIBWORLD)) return QUOR_LIBWORLD;
    const fs::path beside = Executable().parent_path().parent_path().parent_path() / "world" / "libworld.so";
    return fs::exists(beside) ? beside.string() : QUOR_LIBWORLD;
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
    return out.empty() ? "-" : out;
}

// How the module treats a table entry that is null (see the interface table of the module).
enum class WhenNull { Tested, NeverCalled, Required };

WhenNull TreatmentOf(const std::string& name) {
    // The screen labels draw through ICEGUI when the host gives one.
    for (const char* tested : {"IPyClient_1.0", "ICEGUI_2.0", "IOcclusion_1.1", "Terrain_2.1"})
        if (name == tested) return WhenNull::Tested;
    for (const char* unused : {"IFileSystem_1.7", "IPhysics_1.0", "IPython_1.9", "network_1"})
        if (name == unused) return WhenNull::NeverCalled;
    return WhenNull::Required;
}

// The empty scene's lights when it is drawn: a warm sun from above and behind the eye that looks
// along `forward` (unit, level or not), a cool fill across, and a dim ambient, as a host lights
// its stage. The renderer lights the models with them as the module hands them over.
void LightStage(quor::world::IScene* scene, const quor::Vec3& forward) {
    const std::uint8_t ambient[4] = {0x40, 0x38, 0x38, 0xFF};  // bytes of 0xFF383840
    scene->SetAmbientColor(ambient);
    const struct {
        quor::Vec3 direction;
        quor::Vec4 colour;
    } lights[] = {{{0.6f * forward.x + 0.35f, 0.6f * forward.y - 0.75f, 0.6f * forward.z}, {1.0f, 0.92f, 0.8f, 1.0f}},
                  {{0.3f * forward.x - 0.8f * forward.z, -0.2f, 0.3f * forward.z + 0.8f * forward.x},
                   {0.25f, 0.3f, 0.45f, 1.0f}}};
    for (const auto& l : lights) {
        quor::world::Light* light = scene->CreateLight(3);
        if (!light) continue;
        light->SetDirection(l.direction);
        light->SetColorKeyA(l.colour, 0.0f);
        // Channel C is the light's ambient colour, B its specular.
        light->SetColorKeyC(quor::Vec4{0.2f, 0.2f, 0.22f, 1.0f}, 0.0f);
        light->SetColorKeyB(quor::Vec4{0.0f, 0.0f, 0.0f, 1.0f}, 0.0f);
        light->SetUnbounded(true);
        light->SetEnabled(true);
    }
}

// A world matrix at `eye` looking at `at` (rows: right, up, forward, position).
quor::Matrix LookAt(const quor::Vec3& eye, const quor::Vec3& at) {
    float f[3] = {at.x - eye.x, at.y - eye.y, at.z - eye.z};
    const float fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (float& v : f) v /= fl > 0.0f ? fl : 1.0f;
    // right = up x forward, with up +y.
    float r[3] = {f[2], 0.0f, -f[0]};
    const float rl = std::sqrt(r[0] * r[0] + r[2] * r[2]);
    for (float& v : r) v /= rl > 0.0f ? rl : 1.0f;
    const float u[3] = {f[1] * r[2] - f[2] * r[1], f[2] * r[0] - f[0] * r[2], f[0] * r[1] - f[1] * r[0]};
    quor::Matrix m;
    const float rows[16] = {r[0], r[1], r[2], 0, u[0], u[1], u[2], 0, f[0], f[1], f[2], 0, eye.x, eye.y, eye.z, 1};
    std::memcpy(m.m, rows, sizeof rows);
    return m;
}

// The colour the model, effect and figure frames are cleared to.
constexpr std::uint32_t kClearArgb = quor::demo::kDemoClearArgb;

int Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "world_host: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const std::string wrong = ParseOptions(argc, argv, options);
    if (!wrong.empty()) {
        std::fprintf(stderr, "world_host: %s\n\n", wrong.c_str());
        PrintHelp(stderr);
        return 2;
    }
    if (options.help) {
        PrintHelp(stdout);
        return 0;
    }
    if (options.root.empty()) options.root = FindSamples();
    if (options.root.empty()) return Fail("no samples/ above the executable or in the working directory; give --root DIR");
    if (!fs::is_directory(options.root)) return Fail("the resource root is not a directory", options.root);
    // The module's files under the current directory (the loading screen's pictures) and its
    // drive paths (the debug snapshot) resolve under the resource root.
    quor::win32::SetCurrentDirectoryOverride(fs::absolute(options.root).string());
    quor::win32::SetDriveDirectory(fs::absolute(options.root).string());

    const std::string library = FindLibrary();
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return Fail("cannot load the module", dlerror());
    using GetIntfFn = quor::client::IModule* (*)();
    auto getIntf = reinterpret_cast<GetIntfFn>(dlsym(handle, "GetIntf"));
    if (!getIntf) return Fail("the library exports no GetIntf", library);
    quor::client::IModule* module = getIntf();
    if (!module) return Fail("GetIntf answered null");
    std::printf("library: %s\n", library.c_str());
    std::printf("module: bound\n");

    quor::host::ReferenceHost host(std::make_unique<quor::host::DirectoryFileSystem>(options.root));
    // With a picture the GL renderer is the host's renderer; it keeps its objects in the
    // recording renderer's store, so the counts below read the same either way.
    std::unique_ptr<quor::host::GlRenderer> gl;
    if (!options.picture.empty() || !options.out.empty()) {
        gl = std::make_unique<quor::host::GlRenderer>(host.renderer.Store());
        gl->Attach(host.files.get(), &host.log);
        // Textures the world draws into (texts over objects) live on the host's device.
        gl->AttachDevice(&host.device.Direct3D());
        host.UseRenderer(gl.get());
    }
    quor::host::RecordingRenderer& books = gl ? gl->Objects() : host.renderer;
    host.PublishAll();
    // The frame stands on the renderer, the device, the loader (two workers) and audio.
    host.PublishWorldServices(2);
    std::printf("root: %s\n", options.root.c_str());

    quor::demo::PublishLabelGui(host, !options.scene.empty());
    std::printf("register: %s\n", module->Register(&host.registry) ? "true" : "false");
    std::printf("initialize: %s\n", module->Initialize(&host.registry) ? "true" : "false");

    // The module stores every answer as it gets it, so the answers are what its table holds.
    std::vector<std::string> given, tested, neverCalled, missing;
    const auto answers = host.registry.Answers();
    for (const auto& [name, pointer] : answers) {
        if (pointer) {
            given.push_back(name);
            continue;
        }
        switch (TreatmentOf(name)) {
        case WhenNull::Tested: tested.push_back(name); break;
        case WhenNull::NeverCalled: neverCalled.push_back(name); break;
        case WhenNull::Required: missing.push_back(name); break;
        }
    }
    std::printf("interfaces asked: %zu\n", answers.size());
    std::printf("interfaces held: %zu (%s)\n", given.size(), Join(given).c_str());
    std::printf("null, tested before each use: %zu (%s)\n", tested.size(), Join(tested).c_str());
    std::printf("null, never called: %zu (%s)\n", neverCalled.size(), Join(neverCalled).c_str());
    std::printf("null, not offered by the reference host: %zu (%s)\n", missing.size(), Join(missing).c_str());
    for (const auto& [channel, name] : host.log.Channels()) std::printf("log channel: %d %s\n", channel, name.c_str());

    quor::world::IWorld* world = module->GetWorld();
    if (!world) return Fail("the module hands out no world");
    const bool samePublished = host.registry.Lookup("IWorld_1.16") == static_cast<void*>(world);
    std::printf("world: %s\n", samePublished ? "published and handed out" : "handed out");

    quor::IFrameTimeControl* frameTime = host.client.FrameTimeControl();
    std::printf("frame-time control: %s\n", frameTime ? "handed over" : "missing");
    if (frameTime) {
        frameTime->SetFrameRate(options.fps);
        const int held = frameTime->SetSpeed(1.0f);  // answers the rate the module holds
        std::printf("frame time: %d frames per second at speed 1, %.2f ms per frame\n", held,
                    held > 0 ? 1000.0 / held : 0.0);
    }
    std::printf("world initialize: %s\n", world->Initialize(60) ? "true" : "false");
    std::string techniques;
    for (const std::string& name : books.TechniqueNames()) techniques += " " + name;
    std::printf("model techniques:%s\n", techniques.c_str());

    // An empty 3D scene (no file) holds the model and the effect the options name.
    quor::world::IScene* scene = world->CreateScene(nullptr, 0, 0, 0);
    std::printf("scene: %s\n", scene ? "an empty 3D scene" : "none (the module made no empty 3D scene)");
    if (scene) world->SetActiveScene(scene);
    quor::world::IModel* shownModel = nullptr;
    if (!options.model.empty()) {
        if (!scene) {
            std::printf("model: %s not shown: no scene\n", options.model.c_str());
        } else if (quor::world::IModel* model = scene->CreateModel(options.model.c_str(), 0, options.async ? 1 : 0, nullptr)) {
            // Through the loader the model is listed as loading until its file is in.
            for (int wait = 0; wait < 5000 && model->IsLoading() > 0; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::printf("model: %s loading %d, sub-meshes %d, sockets %d, triangles %d\n", options.model.c_str(),
                        model->IsLoading(), model->GetSubMeshCount(), model->GetSocketCount(),
                        model->GetTriangleCount());
            shownModel = model;
        } else {
            std::printf("model: %s could not be made\n", options.model.c_str());
        }
    }
    std::vector<std::pair<std::string, quor::world::IFxBase*>> effects;
    for (const std::string& file : options.fx) {
        if (!scene) {
            std::printf("fx: %s not loaded (no scene)\n", file.c_str());
            continue;
        }
        // The effect's camera shake moves the scene's active camera. It looks down +z from a
        // little above the origin, so that a trail circling level shows its round.
        if (!scene->GetActiveCamera())
            if (quor::world::Camera* camera = scene->CreateCamera(true))
                camera->SetWorldMatrix(LookAt(quor::Vec3{0.0f, 1.2f, 0.0f}, quor::Vec3{0.0f, 0.0f, 8.0f}));
        quor::world::IFxBase* effect = scene->CreateFx(file.c_str(), 0, false, nullptr, 0);
        std::printf("fx: %s %s\n", file.c_str(), effect ? "loaded" : "failed to load");
        if (!effect) continue;
        effect->SetPlaying(true);
        effects.emplace_back(file, effect);
    }
    // The model alone is framed: a camera above and to the right of its front (+z), far enough for
    // its bound to fill most of the picture.
    const bool framingModel = gl && scene && shownModel && options.play.empty() && !quor::demo::LabelRequested();
    // The other runs look from the origin down +z.
    quor::Vec3 lookAlong{0.0f, 0.0f, 1.0f};
    if (framingModel) {
        quor::world::Camera* camera = scene->GetActiveCamera() ? scene->GetActiveCamera() : scene->CreateCamera(true);
        quor::Vec3 centre;
        float radius = 0.0f;
        shownModel->GetWorldBound(&centre, &radius, nullptr, quor::world::kBoundWorld);
        if (!(radius > 0.0f) || !std::isfinite(radius)) radius = 1.0f;
        const float distance = radius / std::sin(0.5f * 0.9f * 3.14159265f / 3.0f);
        const quor::Vec3 eye{centre.x - 0.45f * distance, centre.y + 0.4f * distance, centre.z + 0.8f * distance};
        if (camera) {
            camera->SetWorldMatrix(LookAt(eye, centre));
            camera->SetPerspective(60.0f, float(options.width) / float(options.height), 0.05f * distance, 10.0f * distance);
        }
        lookAlong = quor::Vec3{(centre.x - eye.x) / distance, (centre.y - eye.y) / distance, (centre.z - eye.z) / distance};
        std::printf("model camera: looking at (%.2f, %.2f, %.2f) from %.2f away, bound radius %.2f\n", centre.x, centre.y,
                    centre.z, distance, radius);
    }
    // A drawn model or effect stands in the scene's light.
    if (gl && scene && (shownModel || !effects.empty())) LightStage(scene, lookAlong);
    // What the effects do to the scene's camera, the client's time scale and the audio.
    quor::world::ICamera* fxCamera = !effects.empty() ? scene->GetActiveCamera() : nullptr;
    const quor::Matrix fxCameraStart =
        fxCamera ? fxCamera->GetSpaceObject()->GetWorldMatrix() : quor::Matrix{};
    auto cameraOffset = [&] {
        quor::Vec3 d;
        if (fxCamera) d = fxCamera->GetSpaceObject()->GetWorldMatrix().Row(3) - fxCameraStart.Row(3);
        return d;
    };
    auto timeScale = [&] {
        const std::vector<float> scales = host.client.TimeScales();
        return scales.empty() ? 1.0f : scales.back();
    };

    // Every sound of the root's "sound" folder, loaded through the module on the loader threads.
    std::vector<std::string> soundFiles;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(options.root) / "sound", ec))
        if (entry.is_regular_file() && entry.path().extension() == ".wav")
            soundFiles.push_back("sound/" + entry.path().filename().string());
    std::sort(soundFiles.begin(), soundFiles.end());
    std::vector<quor::client::ISound*> sounds(soundFiles.size(), nullptr);
    for (std::size_t i = 0; i < soundFiles.size(); ++i)
        if (quor::AsyncData* record = world->CreateSoundData(&sounds[i], soundFiles[i].c_str(), 0, 0)) record->Submit();
    std::printf("sound files: %zu (%s)\n", soundFiles.size(), Join(soundFiles).c_str());

    // The picture's camera: at the origin looking down +z.
    quor::host::RenderCamera pictureCamera;
    pictureCamera.SetPerspective(60.0f, float(options.width) / float(options.height), 1.0f, 1000.0f);
    pictureCamera.SetViewportSize(options.width, options.height);
    pictureCamera.Refresh();
    quor::host::GlFrameStats drawn;
    bool framed = false;
    int horizonRow = 0;  // of a scene file's last frame
    // A scene file runs its own frames instead.
    int frames = options.frames;
    if (!options.scene.empty() && quor::demo::IsMap2DName(options.scene)) {
        const quor::demo::Map2DDemoOptions mapOptions{options.scene, options.frames, options.width, options.height,
                                                       options.out};
        if (quor::demo::ShowMap2D(world, host, books, gl.get(), mapOptions, &drawn) != 0) return 1;
        framed = gl != nullptr && options.frames > 0;
        frames = 0;
    } else if (!options.scene.empty()) {
        const quor::demo::SceneDemoOptions sceneOptions{options.scene, options.preset, options.frames, options.width,
                                                         options.height, options.loadingPicture};
        if (quor::demo::ShowScene(world, host, books, gl.get(), sceneOptions, &drawn, &horizonRow) != 0) return 1;
        framed = gl != nullptr && options.frames > 0;
        frames = 0;
    }
    // A label runs its own frames too.
    if (quor::demo::LabelRequested() && frames > 0) {
        if (quor::demo::ShowLabel(world, scene, host, gl.get(), frames, options.width, options.height, &drawn) != 0)
            return 1;
        framed = gl != nullptr;
        frames = 0;
    }
    quor::demo::FigureDemo figure(scene, options.play.empty() ? nullptr : shownModel,
                                  {options.play, options.upper, options.pictures, options.picture, frames});
    // The frames are seen through the scene's active camera when it has one (the module culls
    // with it), else through the picture's.
    quor::render::IRenderCamera* frameCamera = &pictureCamera;
    if (gl && scene && frames > 0)
        if (quor::world::Camera* active = scene->GetActiveCamera()) {
            if (!framingModel) active->SetPerspective(60.0f, float(options.width) / float(options.height), 1.0f, 1000.0f);
            if (active->GetRenderCamera()) frameCamera = active->GetRenderCamera();
        }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        const auto t0 = Clock::now();
        if (gl) {
            if (!gl->BeginFrame(frameCamera, kClearArgb, options.width, options.height))
                return Fail("the GL renderer cannot make its context");
            framed = true;
        }
        world->Update();
        world->Render();
        world->RenderPost();
        if (gl) drawn = gl->EndFrame();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const int done = host.loader->Recycled();
        const int queued = host.loader->Submitted() - done - host.loader->Cancelled();
        std::printf("frame %d: %.3f ms, renderer updates %d, active scene %s, loads queued %d done %d, wall %.1f ms\n",
                    i + 1, ms, books.Updates(), world->GetCurrentScene() ? "yes" : "none", queued, done, wall);
        for (const auto& [file, effect] : effects) {
            const quor::Vec3 d = cameraOffset();
            // Live particles by part: the particle systems' counts (other parts have none).
            std::string parts;
            for (int c = 0; c < effect->GetChildCount(); ++c) {
                quor::world::IFxBase* child = effect->GetChild(c);
                const char* name = effect->GetChildName(c);
                if (!child) continue;
                parts += std::string(parts.empty() ? "" : ", ") + (name && *name ? name : "-") + " " +
                         std::to_string(child->GetParticleCount());
            }
            std::printf("fx frame %d: %s state %d, particles live %u (%s), camera offset (%.3f, %.3f, %.3f)%s, time scale "
                        "%.3f, sounds playing %d\n",
                        i + 1, file.c_str(), int(effect->GetState()), effect->GetTotalParticleCount(),
                        parts.empty() ? "-" : parts.c_str(), d.x, d.y, d.z, fxCamera ? "" : " (no camera)", timeScale(),
                        host.audio.Playing());
        }
        figure.AfterFrame(i + 1, gl.get());
        if (i + 1 == options.frames / 2) {
            const auto before = host.occlusion.calls.size();
            host.device.SignalLost();
            host.device.SignalReset();
            std::printf("device lost and reset at frame %d: told %d module callback(s), %d scene(s), occlusion %zu time(s)\n",
                        i + 1, host.device.CallbackCount(), world->GetSceneCount(), host.occlusion.calls.size() - before);
        }
    }
    if (!effects.empty()) {
        // The effects released through their scene: they give back the camera, the speed and
        // their sounds.
        for (const auto& entry : effects) scene->DestroyObject(entry.second->GetSpaceObject(0));
        effects.clear();
        bool restored = true;
        if (fxCamera) {
            const quor::Matrix& now = fxCamera->GetSpaceObject()->GetWorldMatrix();
            for (int k = 0; k < 16; ++k) restored = restored && std::fabs(now.m[k] - fxCameraStart.m[k]) <= 1e-5f;
        }
        // The host's own sound files stay loaded: what is left beyond them is the effect's.
        host.loader->WaitIdle();
        const int ownSounds = static_cast<int>(std::count_if(sounds.begin(), sounds.end(), [](auto* s) { return s != nullptr; }));
        std::printf("fx released: %s, time scale %.3f, live audio objects %d beyond the host's %d sound file(s)\n",
                    fxCamera ? (restored ? "camera restored" : "camera moved") : "no camera", timeScale(),
                    host.audio.LiveAudioObjects() - ownSounds, ownSounds);
    }
    host.loader->WaitIdle();
    if (gl && !options.picture.empty()) {
        // No frame run: the picture is one cleared frame.
        if (!framed && gl->BeginFrame(&pictureCamera, kClearArgb, options.width, options.height)) drawn = gl->EndFrame();
        std::printf("renderer: gl (%s)\n", gl->RendererName().c_str());
        const fs::path parent = fs::path(options.picture).parent_path();
        std::error_code made;
        if (!parent.empty()) fs::create_directories(parent, made);
        if (!gl->WritePng(options.picture)) return Fail("cannot write the picture", options.picture);
        std::printf("picture: %s %dx%d\n", options.picture.c_str(), options.width, options.height);
        // What a person opening the picture should see in it.
        if (!options.scene.empty() && !quor::demo::IsMap2DName(options.scene)) {
            quor::demo::CheckGardenPicture(options.picture, horizonRow);
        } else if (!options.fx.empty() && scene) {
            // The particle systems emit 8 ahead of the eye, at the picture's centre.
            const int half = options.height / 4;
            const int rect[4] = {options.width / 2 - half, options.height / 2 - half, 2 * half, 2 * half};
            quor::demo::CheckEffectPicture(options.picture, kClearArgb, rect);
        } else if (framingModel && frames > 0) {
            quor::demo::CheckModelPicture(options.picture, kClearArgb);
        }
        std::printf("drawn in the last frame: %d renderables, %d triangles, %d approximated, %d skipped\n",
                    drawn.renderables, drawn.triangles, drawn.approximated, drawn.skipped);
    } else {
        std::printf("renderer: %s\n", gl ? "gl" : "recording");
    }
    int loaded = 0;
    for (quor::client::ISound* sound : sounds) loaded += sound != nullptr;
    std::printf("sounds loaded: %d of %zu on the loader threads (loads done %d)\n", loaded, sounds.size(),
                host.loader->Recycled());
    const int scenes = world->GetSceneCount();
    std::printf("scenes: %d\n", scenes);
    std::printf("frames: %d%s\n", options.frames, scenes == 0 && options.frames ? " (no scene is loaded: nothing to update or draw)" : "");

    // The memory report: the mark and the children the module wrote under "Render".
    quor::common::IXmlNode* document = host.utils.CreateXmlDocument();
    quor::common::IXmlNode* report = document ? document->AddChildElement("Report") : nullptr;
    if (report) {
        world->WriteMemoryReport(report, 3);
        std::string children;
        int count = 0;
        if (quor::common::IXmlNode* render = report->FirstChildElement("Render")) {
            for (int i = 0;; ++i) {
                quor::common::IXmlNode* child = render->ChildElement(nullptr, i);
                if (!child) break;
                children += (children.empty() ? "" : " ") + static_cast<quor::host::XmlNode*>(child)->Name();
                ++count;
                child->Release();
            }
            render->Release();
        }
        std::printf("memory report: mark %d, Render children %d (%s), renderer report written\n",
                    report->GetIntAttribute(nullptr, "mark", -1), count, children.c_str());
        report->Release();
    }
    if (document) document->Release();
    for (quor::client::ISound* sound : sounds)
        if (sound) sound->Release();

    module->Shutdown();
    std::printf("shutdown: done\n");
    std::printf("renderer objects alive after shutdown: %d\n", books.LiveObjects());
    // The 2D map's ground streams its block textures: none may outlive the world.
    if (!options.scene.empty() && quor::demo::IsMap2DName(options.scene))
        std::printf("map2d textures alive after shutdown: %d\n", books.LiveTextures());
    // The mesh cache as the memory report shows it once the world has shut down.
    int meshEntries = -1;
    if (quor::common::IXmlNode* doc = host.utils.CreateXmlDocument()) {
        if (quor::common::IXmlNode* node = doc->AddChildElement("Report")) {
            world->WriteMemoryReport(node, 1);
            if (quor::common::IXmlNode* render = node->FirstChildElement("Render")) {
                if (quor::common::IXmlNode* cache = render->FirstChildElement("MeshDataMgr")) {
                    meshEntries = cache->CountChildElements(nullptr);
                    cache->Release();
                }
                render->Release();
            }
            node->Release();
        }
        doc->Release();
    }
    if (meshEntries == 0) std::printf("mesh cache after shutdown: empty\n");
    else std::printf("mesh cache after shutdown: %d entries\n", meshEntries);
    const quor::win32::MessageSink& sink = quor::win32::MessageSink::Instance();
    std::printf("module messages: %llu message boxes, %llu posted messages, %llu debug lines\n",
                static_cast<unsigned long long>(sink.MessageBoxCount()),
                static_cast<unsigned long long>(sink.PostedMessageCount()),
                static_cast<unsigned long long>(sink.DebugOutputCount()));
    std::printf("log lines: %llu\n", static_cast<unsigned long long>(host.log.EntryCount()));
    std::printf("open files: %d\n", host.files->OpenFileCount());
    // The module stays loaded: its singletons live until the process ends, as with the
    // host engine.
    if (const int failed = quor::demo::FailedPictureChecks()) {
        std::fprintf(stderr, "world_host: %d picture check(s) failed\n", failed);
        return 1;
    }
    return 0;
}
