// Cache hits by name from several threads against one thread doing the same normalise, hash
// and lookup without a lock.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/BoundHost.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/core/NameHash64.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshDataMgr.h"

namespace {

using namespace quor;

struct CacheFixture {
    CacheFixture() : bound(std::make_unique<host::MemoryFileSystem>()) {
        auto& files = static_cast<host::MemoryFileSystem&>(*bound.host.files);
        const std::vector<std::uint8_t> bytes = test::WriteMom(test::MakeMesh(0x30011, 0, 1, 1));
        for (int i = 0; i < 256; ++i) {
            names.push_back("models/set" + std::to_string(i % 7) + "/mesh" + std::to_string(i) + ".mom");
            files.AddFile(names.back(), bytes);
            MeshData* data = world::MeshDataMgr::GetInstance().Load(names.back().c_str(), 0);
            char path[260];
            files.MakeFullPath(names.back().c_str(), path, sizeof path);
            plain.emplace(NameHash64(path), data);
        }
    }
    test::BoundHost bound;
    std::vector<std::string> names;
    std::map<std::uint64_t, MeshData*> plain;
};

CacheFixture& Fixture() {
    static CacheFixture fixture;
    return fixture;
}

void FindByNameRef(benchmark::State& state) {
    CacheFixture& f = Fixture();
    common::IResFileSystem* fs = f.bound.host.files.get();
    std::size_t i = 0;
    for (auto _ : state) {
        char path[260];
        fs->MakeFullPath(f.names[i++ & 255].c_str(), path, sizeof path);
        auto it = f.plain.find(NameHash64(path));
        MeshData* data = it == f.plain.end() ? nullptr : it->second;
        if (data) {
            data->AddRef();
            data->ReleaseRef();
        }
        benchmark::DoNotOptimize(data);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}

void FindByNameCache(benchmark::State& state) {
    CacheFixture& f = Fixture();
    std::size_t i = std::size_t(state.thread_index()) * 37;
    for (auto _ : state) {
        MeshData* data = world::MeshDataMgr::GetInstance().FindByName(f.names[i++ & 255].c_str());
        if (data) data->ReleaseRef();  // the entry keeps its first count
        benchmark::DoNotOptimize(data);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}

}  // namespace

// Threads(1) on the reference too, so the one-thread run of the cache lines up with it.
BENCHMARK(FindByNameRef)->Name("MeshCacheFind.ref")->Threads(1)->UseRealTime();
BENCHMARK(FindByNameCache)->Name("MeshCacheFind.cache")->Threads(1)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();
