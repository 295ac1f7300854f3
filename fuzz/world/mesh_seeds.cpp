// Seeds of mesh_fuzz: valid ".mom" files of several versions and types and a few ".mox"
// companions, so the fuzzer starts from inputs that reach every block. Every mesh seed must
// load, or the corpus step fails.
#include <cstdio>
#include <string>

#include "fuzz/Seeds.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"
#include "world/skeleton/MeshSkeletalData.h"

using namespace quor::test;

namespace {

bool g_allLoad = true;

bool Loads(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() > 9 && bytes[8] == 1) {
        quor::MeshSkeletalData d;
        return d.LoadFromMemory("seed.mom", bytes.data(), bytes.size());
    }
    quor::MeshData d;
    return d.LoadFromMemory("seed.mom", bytes.data(), bytes.size());
}

void Save(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    if (name.rfind("mom", 0) == 0 && !Loads(bytes)) {
        std::fprintf(stderr, "mesh seed %s does not load\n", name.c_str());
        g_allLoad = false;
    }
    quor::seeds::Seed(name, bytes);
}

}  // namespace

bool WriteSeeds() {
    const std::uint32_t versions[] = {0x20000, 0x20003, 0x20007, 0x20010, 0x20014, 0x20017,
                                      0x30003, 0x30005, 0x30008, 0x30010, 0x30011};
    for (std::uint32_t v : versions) {
        for (std::uint16_t type : {0, 1, 2}) {
            char name[32];
            std::snprintf(name, sizeof name, "mom_%x_%u", v, unsigned(type));
            Save(name, WriteMom(MakeMesh(v, type, 2, 2)));
        }
    }
    MeshDesc tracked = MakeMesh(0x30011, 0, 1, 1);  // sub-mesh tracks set the frame count
    tracked.subMeshTracks = true;
    TrackDesc t;
    t.times = {0, 10};
    TrackChannelDesc c;
    c.positions.assign(6, 1.0f);
    c.rotations.assign(8, 0.5f);
    c.scales.assign(6, 1.0f);
    t.channels = {c};
    tracked.tracks = {t};
    tracked.frameBounds.assign(2 * 2, {0, 0, 0, 1, 1, 1, 1});
    tracked.lods = {MakeLod(tracked.lods[0].vertexCounts, tracked.lods[0].triangleCounts, 1, true, 2, 1)};
    Save("mom_tracks", WriteMom(tracked));
    SocketDesc s;
    s.name = "s";
    s.boneName = "b";
    s.objectFile = "o.emf";
    Save("mox_30003", WriteMoxBinary(0x30003, {s, s}));
    Save("mox_20010", WriteMoxBinary(0x20010, {s}));
    const std::string xml = R"(<Sockets Version="1"><S Name="a" BoneName="b" MatrixToBone="1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1"><Track><TrackKeys><K Time="1"/></TrackKeys></Track><BoundObject SocketObjCount="2" ObjectFile="x" ObjectFile_1="y" AnimationName="z" StartTime="1"/></S></Sockets>)";
    Save("mox_xml", std::vector<std::uint8_t>(xml.begin(), xml.end()));
    return g_allLoad;
}
