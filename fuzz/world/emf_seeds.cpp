// Seeds of emf_fuzz: effect files with nested groups, render orders, a time window, a loop and
// each kind of motion track element, so the fuzzer starts from trees that load and play.
#include <cstdio>
#include <string>

#include "fuzz/Seeds.h"
#include "fuzz/world/MemoryHost.h"
#include "tests/support/world/EffectFileWriter.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxMgr.h"

bool WriteSeeds() {
    using quor::test::EffectFileWriter;
    EffectFileWriter plain("Fx");
    plain.Set("Name", "plain").Set("FxLifeSpan", 1.0).Set("Loop", "1");
    plain.AddNode("Dummy").Set("FxStartTime", 0.25).Set("RenderOrder", 2);
    plain.AddNode("FxGroup").Set("LifeSpan", 3.0).Set("RenderOrder", 1).AddNode("Dummy").Set("PosOffset", "1,2,3");

    EffectFileWriter tracks("Fx");
    tracks.Set("Name", "tracks").Set("EndLessPlay", "true").Set("UpdateAlways", "false");
    EffectFileWriter& line = tracks.AddNode("Dummy").Set("TrackType", 1);
    line.Add("TrackLine").Set("StartPos", "0,0,0").Set("EndPos", "10,0,0").Set("TimeLen", "1000");
    EffectFileWriter& circle = tracks.AddNode("FxGroup").Set("TrackType", 2);
    circle.Add("TrackCircle").Set("Radius", "5").Set("TimeLen", "2000");
    tracks.AddNode("Dummy").Set("TrackType", 6).Add("TrackFlyInBox");
    tracks.AddNode("Dummy").Set("TrackType", 5).Add("TrackSampled");

    quor::host::MemoryFileSystem* files = quor::fuzz::BindMemoryHost();
    bool ok = true;
    for (const auto* file : {&plain, &tracks}) {
        const std::string name = std::string(file == &plain ? "plain" : "tracks") + ".emf";
        const std::string text = file->Text();
        files->AddFile(name, text);
        quor::world::FxMgr mgr;
        quor::world::FxBase* root = mgr.LoadEffectFile(name.c_str(), 2);
        if (!root) {
            std::fprintf(stderr, "effect seed %s does not load\n", name.c_str());
            ok = false;
        }
        delete root;
        quor::seeds::Seed(name, text);
    }
    return ok;
}
