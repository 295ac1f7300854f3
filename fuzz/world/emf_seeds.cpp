// Seeds of emf_fuzz: effect files with nested groups, render orders, a time window, a loop and
// each kind of motion track element, and one file per effect kind, so the fuzzer starts from
// trees that load and play.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/Seeds.h"
#include "fuzz/world/EffectSupportFiles.h"
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

    // One file per kind: the kind's node with the keys that make it load and do something.
    struct Kind {
        const char* element;
        std::vector<std::pair<const char*, const char*>> keys;
        const char* child;  // a key list or track element, or null
    };
    const Kind kinds[] = {
        {"ParticleSystem", {{"Texture", "fx/s.spr"}, {"ParticlesPerSecond", "30"}}, "ColorFramePar"},
        {"Sprite", {{"Texture", "fx/s.ems"}, {"Radius", "1"}, {"RoundRadius", "0.5"}, {"ZWriteEnable", "1"}}, "ColorFrame"},
        {"Model", {{"ModelName", "fx/q.mom"}, {"DirType", "2"}}, "AlphaFrame"},
        {"FxSound", {{"FileName", "fx/a.wav"}, {"Volume", "80"}}, nullptr},
        {"FxSoundEventDrive", {{"FileName", "fx/a.wav"}, {"EventName", "hit"}}, nullptr},
        {"PolyTube", {{"Texture", "fx/p.tga"}, {"TrailLength", "5"}}, "ColorFrame"},
        {"Dummy", {{"PosOffset", "1,0,0"}}, nullptr},
        {"FxGroup", {{"LifeSpan", "2"}}, nullptr},
        {"FxCamera", {{"MoveDuration", "0.5"}, {"RotateDuration", "0.5"}, {"MoveDistance", "1"}, {"RotateAngle", "5"}}, nullptr},
        {"EnvFlareFx", {{"Texture", "fx/p.tga"}, {"Radius", "16"}, {"PosOffset", "0,0,1"}}, nullptr},
        {"SpeedRate", {}, "SpeedRateFrame"},
    };
    std::vector<std::pair<std::string, EffectFileWriter>> files_;
    files_.emplace_back("plain", std::move(plain));
    files_.emplace_back("tracks", std::move(tracks));
    for (const Kind& kind : kinds) {
        EffectFileWriter root("Fx");
        root.Set("Name", kind.element).Set("FxLifeSpan", 1.0).Set("Loop", "1");
        EffectFileWriter& node = root.AddNode(kind.element);
        for (const auto& [key, value] : kind.keys) node.Set(key, value);
        const std::string child = kind.child ? kind.child : "";
        if (child.rfind("ColorFrame", 0) == 0)
            node.AddColorKeys(child, 0, {{0.0f, "255,255,255,255"}, {1.0f, "0,255,128,0"}});
        else if (!child.empty())
            node.AddFloatKeys(child, 0, {{0.0f, 1.0f}, {1.0f, 0.5f}});
        files_.emplace_back(std::string("kind_") + kind.element, std::move(root));
    }

    quor::host::MemoryFileSystem* files = quor::fuzz::BindMemoryHost(true);
    quor::fuzz::AddEffectSupportFiles(*files);
    bool ok = true;
    for (const auto& [base, writer] : files_) {
        const auto* file = &writer;
        const std::string name = base + ".emf";
        const std::string text = file->Text();
        files->AddFile(name, text);
        quor::world::FxMgr mgr;
        quor::world::FxBase* root = mgr.LoadEffectFile(name.c_str(), 2);
        if (!root) {
            std::fprintf(stderr, "effect seed %s does not load\n", name.c_str());
            ok = false;
        } else if (base.rfind("kind_", 0) == 0 && root->ChildCount() != 1) {
            std::fprintf(stderr, "effect seed %s: its kind's node does not load\n", name.c_str());
            ok = false;
        }
        delete root;
        quor::seeds::Seed(name, text);
    }
    return ok;
}
