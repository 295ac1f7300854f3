// world_host: loads libworld.so with dlopen, binds it to the reference host as the host
// engine would, and reports what it bound as "key: value" lines.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/DirectoryFileSystem.h"
#include "platform/host/IFrameTimeControl.h"
#include "platform/host/IModule.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/IWorld.h"

namespace {

struct Options {
    std::string root = QUOR_SAMPLES_DIR;
    int frames = 1;
};

void Usage() { std::fprintf(stderr, "usage: world_host [--root DIR] [--frames N]\n"); }

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc) {
            options.root = argv[++i];
        } else if (arg == "--frames" && i + 1 < argc) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 0 || n > 1000000) return false;
            options.frames = static_cast<int>(n);
        } else {
            return false;
        }
    }
    return true;
}

// The library beside this build: the path the build recorded, else relative to the
// executable (build/apps/world_host/world_host -> build/world/libworld.so).
std::string FindLibrary() {
    namespace fs = std::filesystem;
    if (fs::exists(QUOR_LIBWORLD)) return QUOR_LIBWORLD;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = self.parent_path().parent_path().parent_path() / "world" / "libworld.so";
        if (fs::exists(beside)) return beside.string();
    }
    return QUOR_LIBWORLD;
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
    return out.empty() ? "-" : out;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    if (!std::filesystem::is_directory(options.root)) {
        std::printf("root: %s\nerror: the resource root is not a directory\n", options.root.c_str());
        return 1;
    }

    const std::string library = FindLibrary();
    std::printf("library: %s\n", library.c_str());
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::printf("error: %s\n", dlerror());
        return 1;
    }
    using GetIntfFn = quor::client::IModule* (*)();
    auto getIntf = reinterpret_cast<GetIntfFn>(dlsym(handle, "GetIntf"));
    if (!getIntf) {
        std::printf("error: the library exports no GetIntf\n");
        return 1;
    }
    quor::client::IModule* module = getIntf();
    std::printf("module: %s\n", module ? "bound" : "null");
    if (!module) return 1;

    quor::host::ReferenceHost host(std::make_unique<quor::host::DirectoryFileSystem>(options.root));
    host.PublishAll();
    std::printf("root: %s\n", options.root.c_str());
    std::printf("resource root: %s\n", host.files->GetResourceRoot());

    const bool registered = module->Register(&host.registry);
    std::printf("register: %s\n", registered ? "true" : "false");
    const bool initialized = module->Initialize(&host.registry);
    std::printf("initialize: %s\n", initialized ? "true" : "false");

    // What the module asked for, in its order, and which of those the host could give.
    std::vector<std::string> filled, empty;
    for (const std::string& name : host.registry.Queries())
        (host.registry.Lookup(name.c_str()) ? filled : empty).push_back(name);
    std::printf("interfaces asked: %zu\n", host.registry.Queries().size());
    std::printf("filled: %zu (%s)\n", filled.size(), Join(filled).c_str());
    std::printf("empty: %zu (%s)\n", empty.size(), Join(empty).c_str());
    for (const auto& [channel, name] : host.log.Channels())
        std::printf("log channel: %d %s\n", channel, name.c_str());

    quor::world::IWorld* world = module->GetWorld();
    const bool samePublished = host.registry.Lookup("IWorld_1.16") == static_cast<void*>(world);
    std::printf("world: %s\n", world ? (samePublished ? "published and handed out" : "handed out") : "null");
    if (!world) return 1;

    quor::IFrameTimeControl* frameTime = host.client.FrameTimeControl();
    std::printf("frame-time control: %s\n", frameTime ? "handed over" : "missing");
    if (frameTime) {
        frameTime->SetSpeed(1.0f);
        frameTime->SetFrameRate(60);
    }
    std::printf("world initialize: %s\n", world->Initialize(60) ? "true" : "false");
    for (int i = 0; i < options.frames; ++i) {
        world->Update();
        world->Render();
        world->RenderPost();
    }
    std::printf("frames: %d\n", options.frames);
    std::printf("scenes: %d\n", world->GetSceneCount());

    module->Shutdown();
    std::printf("shutdown: done\n");
    std::printf("log lines: %zu\n", host.log.Entries().size());
    std::printf("open files: %d\n", host.files->OpenFileCount());
    // The module stays loaded: its singletons live until the process ends, as with the
    // host engine.
    return 0;
}
