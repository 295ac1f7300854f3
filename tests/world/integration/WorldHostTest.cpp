// Runs the demo host as a newcomer would and reads what it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "tests/support/world/DemoFigure.h"
#include "tests/support/world/DemoGarden.h"
#include "tests/support/world/DemoMap2D.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"

namespace {

namespace fs = std::filesystem;

struct HostRun {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs world_host with the arguments from the directory `cwd`.
HostRun RunHost(const std::string& args, const fs::path& cwd = fs::temp_directory_path()) {
    // One file per test: ctest runs the tests of this file at the same time.
    const fs::path err = fs::path(QUOR_BINARY_DIR) /
                         (std::string("world_host_") + testing::UnitTest::GetInstance()->current_test_info()->name() + ".err");
    const std::string command =
        "cd '" + cwd.string() + "' && '" + std::string(QUOR_WORLD_HOST) + "' " + args + " 2>'" + err.string() + "'";
    HostRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = Slurp(err);
    return run;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(WorldHost, HelpPrintsEveryOptionWithItsDefault) {
    const HostRun run = RunHost("--help");
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--root DIR", "--frames N", "--fps N", "--picture FILE", "--size WxH", "--model FILE",
                               "--async", "--fx FILE", "--scene NAME", "--preset NAME", "--out DIR", "--help",
                               "--loading-picture FILE", "--label WINDOW@SOCKET"})
        EXPECT_EQ(Count(run.out, std::string("  ") + option), 1) << option;
    for (const char* option : {"--play NAME", "--upper NAME", "--pictures N"})
        EXPECT_EQ(Count(run.out, std::string("  ") + option), 1) << option;
    // What a host has to know before it writes its own.
    EXPECT_EQ(Count(run.out, "speed 1"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "-fno-sanitize=vptr"), 1) << run.out;
    // One default line under every option.
    EXPECT_EQ(Count(run.out, "(default: "), Count(run.out, "\n  --"));
    EXPECT_TRUE(run.err.empty()) << run.err;
}

// The 2D town through the registry: the sections, the queries and one line per frame.
TEST(WorldHost, Map2DReportsItsQueriesAndFrames) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "world_host_map2d_root";
    for (const auto& [path, bytes] : quor::test::DemoMap2DFiles()) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    const HostRun run = RunHost("--root '" + root.string() + "' --scene map2d/town.scn2 --frames 3");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* line : {"map2d progress: 15% Init Camear data", "map2d map size: 1600 x 1200",
                             "map2d sections: LoadAStar true", "map2d walkable: street 600 420 yes, house 248 240 no",
                             "map2d frame 2: view 1400.0 1050.0, map offset -960 -720"})
        EXPECT_EQ(Count(run.out, line), 1) << line << "\n" << run.out;
    EXPECT_EQ(Count(run.out, "map2d frame "), 3);
    EXPECT_EQ(Count(run.out, "map2d path 160 320 -> 800 1000: 0 cells"), 0);
    // The ground streams its blocks: no block asked for twice, no texture outliving the world.
    EXPECT_EQ(Count(run.out, "map2d ground totals: 7 x 5 blocks"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "duplicate requests 0\n"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "map2d textures alive after shutdown: 0\n"), 1) << run.out;
}

// The town crossed as the demo crosses it: on the way the ground draws its masks with the
// walker behind the oak, the river's water, and its parallax layers.
TEST(WorldHost, Map2DCrossingDrawsMasksWaterAndLayers) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "world_host_map2d_crossing_root";
    for (const auto& [path, bytes] : quor::test::DemoMap2DFiles()) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    const HostRun run = RunHost("--root '" + root.string() + "' --scene map2d/town.scn2 --frames 9");
    EXPECT_EQ(run.status, 0) << run.err;
    // The most of each count over the frame lines.
    const char* const names[4] = {", masks ", ", behind masks ", ", layers ", ", water "};
    int most[4] = {0, 0, 0, 0}, frames = 0;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("map2d frame ", 0) != 0) continue;
        ++frames;
        for (int k = 0; k < 4; ++k) {
            const std::size_t at = line.find(names[k]);
            if (at != std::string::npos) most[k] = std::max(most[k], std::atoi(line.c_str() + at + std::strlen(names[k])));
        }
    }
    EXPECT_EQ(frames, 9) << run.out;
    // Three masks (the oak's two halves and the bridge) and one picture behind them: the walker.
    EXPECT_EQ(most[0], 3) << run.out;
    EXPECT_EQ(most[1], 1) << run.out;
    EXPECT_EQ(most[2], 2) << run.out;
    EXPECT_EQ(most[3], 2) << run.out;
}

TEST(WorldHost, ModelLoadsThroughTheLoaderIntoAnEmptyScene) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "world_host_model_root";
    fs::create_directories(root / "models");
    const std::vector<std::uint8_t> mesh = quor::test::WriteMom(quor::test::DemoSampleMesh(false));
    std::ofstream(root / "models" / "sample.mom", std::ios::binary)
        .write(reinterpret_cast<const char*>(mesh.data()), std::streamsize(mesh.size()));
    const HostRun run = RunHost("--root '" + root.string() + "' --model models/sample.mom --async");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Count(run.out, "scene: an empty 3D scene"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "model: models/sample.mom loading 0, sub-meshes 2"), 1) << run.out;
}

TEST(WorldHost, EffectPlaysAndGivesEverythingBack) {
    const HostRun run = RunHost("--fx fx/kinds.emf --frames 4");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out, "fx: fx/kinds.emf loaded"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "fx frame "), 4) << run.out;
    EXPECT_EQ(Count(run.out, "fx released: camera restored, time scale 1.000, live audio objects 0 beyond"), 1)
        << run.out;
}

TEST(WorldHost, WrongUseAndErrorsGoToStandardError) {
    const HostRun unknown = RunHost("--nothing");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.empty()) << unknown.out;
    EXPECT_NE(unknown.err.find("unknown option --nothing"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("--frames N"), std::string::npos);

    const HostRun noRoot = RunHost("--root /nonexistent/world_host_root");
    EXPECT_EQ(noRoot.status, 1);
    EXPECT_TRUE(noRoot.out.empty()) << noRoot.out;
    EXPECT_NE(noRoot.err.find("not a directory"), std::string::npos) << noRoot.err;
}

TEST(WorldHost, FindsTheSamplesFromAnyDirectoryAndExplainsTheTable) {
    const HostRun run = RunHost("--frames 2");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out, "root: "), 1) << run.out;  // once, in this system's form
    EXPECT_NE(run.out.find("root: " + (fs::path(QUOR_SOURCE_DIR) / "samples").string() + "\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("null, tested before each use: 2 (IPyClient_1.0 ICEGUI_2.0)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("interfaces held: 11 ("), std::string::npos) << run.out;
    // The frame report: a line per frame, the device loss at the middle frame, the sounds loaded
    // on the loader threads, and no renderer object left after shutdown.
    EXPECT_EQ(Count(run.out, "\nframe 1: ") + Count(run.out, "\nframe 2: "), 2) << run.out;
    EXPECT_EQ(Count(run.out, "\nframe 3: "), 0) << run.out;
    EXPECT_NE(run.out.find("device lost and reset at frame 1: told 1 module callback(s)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("sounds loaded: 2 of 2"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("memory report: mark 7, Render children 4 (MeshDataMgr SkelAnimsDataMgr TrackDataMgr Scene3D)"),
              std::string::npos) << run.out;
    EXPECT_NE(run.out.find("renderer objects alive after shutdown: 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("model techniques: <ModelNormalTech> <ModelAlphaTech>\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("mesh cache after shutdown: empty\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("frame time: 60 frames per second"), std::string::npos) << run.out;
    // The host makes an empty 3D scene, which each frame updates and draws.
    EXPECT_NE(run.out.find("frames: 2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("renderer: recording\n"), std::string::npos) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
}

// The PNG's width and height (big-endian, in the header chunk).
std::pair<std::uint32_t, std::uint32_t> PngSize(const fs::path& p) {
    const std::string bytes = Slurp(p);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto word = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {word(16), word(20)};
}

TEST(WorldHost, PictureDrawsWithTheGlRendererAndWritesThePng) {
    const fs::path dir = fs::path(QUOR_BINARY_DIR) / "world_host_picture";
    fs::remove_all(dir);
    const fs::path file = dir / "frame.png";
    const HostRun run = RunHost("--frames 2 --size 64x48 --picture '" + file.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("renderer: gl ("), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("picture: " + file.string() + " 64x48\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("drawn in the last frame: 0 renderables, 0 triangles"), std::string::npos) << run.out;
    // The GL renderer keeps its objects where the recording one does: nothing left over.
    EXPECT_NE(run.out.find("renderer objects alive after shutdown: 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("model techniques: <ModelNormalTech> <ModelAlphaTech>\n"), std::string::npos) << run.out;
    EXPECT_EQ(PngSize(file), std::make_pair(64u, 48u));

    for (const char* size : {"0x5", "64", "64x", "x48", "9000x10"}) {
        const HostRun bad = RunHost(std::string("--size ") + size);
        EXPECT_EQ(bad.status, 2) << size;
        EXPECT_NE(bad.err.find("bad value for --size"), std::string::npos) << bad.err;
    }
    // Under the picture just written, as if it were a directory.
    const HostRun unwritable = RunHost("--frames 0 --picture '" + (file / "frame.png").string() + "'");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("cannot write the picture"), std::string::npos) << unwritable.err;
}

TEST(WorldHost, SceneFileLoadsOnTheLoaderAndIsViewedFromAPresetCamera) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "world_host_scene_root";
    for (const auto& [path, bytes] : quor::test::DemoGardenFiles()) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
    }
    const HostRun run = RunHost("--root '" + root.string() + "' --scene scenes/garden.scn --frames 3");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* line : {"scene: loaded on the loader thread", "scene progress: 0x0\n", "preset camera: Gate found",
                             "objects: models 9, effects 0, sky objects 1,", "lod groups: 1",
                             "terrain: flat reference terrain", "scene frame 3: renderer calls",
                             "lod levels at the first frame: ", "lod levels at the last frame: ", "sky depth range: 1.0 to",
                             "vegetation: grass patches 1, shrub batches 1 Bushes\n"})
        EXPECT_EQ(Count(run.out, line), 1) << line << "\n" << run.out;
    const HostRun missing = RunHost("--root '" + root.string() + "' --scene scenes/none.scn");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("the scene could not be made: scenes/none.scn"), std::string::npos) << missing.err;
}

// Around the garden: the loading screen's last frame as a picture, the listener's walk through
// the music and reverb zones, and one transition to its end.
TEST(WorldHost, SceneShowsTheLoadingScreenWalksTheZonesAndRunsATransition) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "world_host_audio_root";
    for (const auto& [path, bytes] : quor::test::DemoGardenFiles()) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
    }
    const fs::path picture = fs::path(QUOR_BINARY_DIR) / "world_host_audio" / "loading.png";
    fs::remove(picture);
    const HostRun run = RunHost("--root '" + root.string() + "' --scene scenes/garden.scn --size 320x200 "
                                "--loading-picture '" + picture.string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(PngSize(picture), std::make_pair(320u, 200u));
    for (const char* line : {"loading screen: off, frames presented ", "screen still on no",
                             "gate (0, 0, -60): music garden/music/day (playing), reverb none\n",
                             "(12, 0, -12): music garden/music/pond (playing), reverb none\n",
                             "between pond and tower (4, 0, -4): music garden/music/tower (playing)",
                             "(0, 0, 30): music garden/music/day (playing), reverb garden/reverb/hedge (on)\n",
                             "(0, 0, 60): music garden/music/day (playing), reverb none\n",
                             "transition: mode 2 started, state 1\n"})
        EXPECT_EQ(Count(run.out, line), 1) << line << "\n" << run.out;
    // About 30 frames at 60 frames a second and the scene's speed of 500 ms.
    const std::size_t end = run.out.find(": state 2\n");
    ASSERT_NE(end, std::string::npos) << run.out;
    const std::size_t frame = run.out.rfind("transition frame ", end);
    const int frames = std::atoi(run.out.c_str() + frame + 17);
    EXPECT_GE(frames, 29);
    EXPECT_LE(frames, 33);
}

TEST(WorldHost, ALabelPinnedToASocketIsPlacedDrawnAndClicked) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "world_host_label_root";
    fs::create_directories(root / "models");
    const std::vector<std::uint8_t> mesh = quor::test::WriteMom(quor::test::DemoSampleMesh(false));
    std::ofstream(root / "models" / "sample.mom", std::ios::binary)
        .write(reinterpret_cast<const char*>(mesh.data()), std::streamsize(mesh.size()));
    const HostRun run = RunHost("--root '" + root.string() + "' --model models/sample.mom --label hero_tag@top --frames 3");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out, "label: hero_tag pinned to socket top (found)"), 1) << run.out;
    // The first and the last frame; the window drawn on each.
    EXPECT_EQ(Count(run.out, "window drawn 1 time(s)"), 2) << run.out;
    EXPECT_EQ(Count(run.out, ": true, click item[0] = "), 1) << run.out;
    EXPECT_EQ(Count(run.out, "label click beside it"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "): false"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "null, tested before each use: 1 (IPyClient_1.0)"), 1) << run.out;
    EXPECT_EQ(RunHost("--label hero_tag").status, 2);
}

// The model alone in a picture: framed by a camera on its bound and lit by the stage's lights,
// the picture's check passes; a run whose picture fails its check fails.
TEST(WorldHost, AModelPictureIsFramedLitAndChecked) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "world_host_model_picture_root";
    fs::create_directories(root / "models");
    const auto mesh = quor::test::WriteMom(quor::test::DemoSampleMesh(false));
    std::ofstream(root / "models" / "sample.mom", std::ios::binary)
        .write(reinterpret_cast<const char*>(mesh.data()), std::streamsize(mesh.size()));
    const fs::path picture = root / "out" / "model.png";
    const HostRun run =
        RunHost("--root '" + root.string() + "' --model models/sample.mom --frames 2 --size 160x120 --picture '" +
                picture.string() + "'");
    EXPECT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(Count(run.out, "model camera: looking at"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "ok   " + picture.string() + ": not one colour"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "FAIL"), 0) << run.out;

    // One flat square: a single face in one light shows one shade.
    const auto square = quor::test::WriteMom(quor::test::SquareMesh());
    std::ofstream(root / "models" / "square.mom", std::ios::binary)
        .write(reinterpret_cast<const char*>(square.data()), std::streamsize(square.size()));
    const HostRun flat =
        RunHost("--root '" + root.string() + "' --model models/square.mom --frames 2 --size 160x120 --picture '" +
                picture.string() + "'");
    EXPECT_EQ(flat.status, 1) << flat.out;
    EXPECT_EQ(Count(flat.out, "FAIL " + picture.string() + ": "), 1) << flat.out;
    EXPECT_NE(flat.err.find("picture check(s) failed"), std::string::npos) << flat.err;
}

TEST(WorldHost, FigureWalksThenWavesWithItsUpperBodyAndWritesItsPictures) {
    const fs::path root = fs::path(QUOR_BINARY_DIR) / "world_host_figure_root";
    fs::create_directories(root / "char");
    const quor::test::DemoFigureFiles figure = quor::test::MakeDemoFigure();
    auto write = [&](const char* name, const void* data, std::size_t size) {
        std::ofstream(root / "char" / name, std::ios::binary).write(static_cast<const char*>(data), std::streamsize(size));
    };
    write("figure.mom", figure.mesh.data(), figure.mesh.size());
    write("figure.ani", figure.animation.data(), figure.animation.size());
    write("figure.ags", figure.ags.data(), figure.ags.size());
    write("figure.ini", figure.split.data(), figure.split.size());
    const fs::path out = root / "out";
    fs::remove_all(out);
    const HostRun run = RunHost("--root '" + root.string() +
                                "' --model char/figure.mom --play walk --upper wave --frames 8 --pictures 4 --size 64x48 "
                                "--picture '" + (out / "figure.png").string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out, "figure play: walk playing, 20 bones, 2 animations"), 1) << run.out;
    EXPECT_EQ(Count(run.out, "figure upper: wave playing from frame 3, legs on walk"), 1) << run.out;
    EXPECT_EQ(Count(run.out, ": clip walk, "), 2);
    EXPECT_EQ(Count(run.out, ": clip wave over legs on walk, "), 6);
    EXPECT_EQ(Count(run.out, "wave_start"), 1) << "the key event popped once";
    EXPECT_EQ(Count(run.out, ", bound ("), 8) << "every frame reports the bound of its key";
    for (int k = 1; k <= 4; ++k) {
        const fs::path png = out / ("figure-" + std::to_string(k) + ".png");
        EXPECT_EQ(Count(run.out, "figure picture " + std::to_string(k) + ": " + png.string() + " written"), 1);
        EXPECT_TRUE(fs::exists(png)) << png;
        // Its check: the lit figure over the background, in more than one shade.
        EXPECT_EQ(Count(run.out, "ok   " + png.string() + ": not one colour"), 1) << run.out;
    }
}

}  // namespace
