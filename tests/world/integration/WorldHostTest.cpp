// Runs the demo host as a newcomer would and reads what it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
    for (const char* option : {"--root DIR", "--frames N", "--fps N", "--help"})
        EXPECT_EQ(Count(run.out, std::string("  ") + option), 1) << option;
    EXPECT_EQ(Count(run.out, "(default: "), 4);
    EXPECT_TRUE(run.err.empty()) << run.err;
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
    EXPECT_NE(run.out.find("null, tested before each use: 3 (IPyClient_1.0 IOcclusion_1.1 Terrain_2.1)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("interfaces held: 5 ("), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("frame time: 60 frames per second"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("frames: 2 (no scene is loaded"), std::string::npos) << run.out;
    EXPECT_TRUE(run.err.empty()) << run.err;
}

}  // namespace
