// Seeds of scenefile_fuzz: the demo garden, its layer, and a file using every section, written
// by the scene writer. Every seed must parse as XML, or the corpus step fails.
#include <cstdio>

#include "fuzz/Seeds.h"
#include "platform/host/XmlNode.h"
#include "tests/support/world/SceneFileWriter.h"

bool WriteSeeds() {
    using namespace quor::test;
    std::vector<std::pair<std::string, std::string>> seeds = GardenSceneTexts();
    SceneFileDesc all = GardenSceneDesc();
    all.terrain = "flat.ter";
    all.files = {"box.mom", "missing.fx", "sky.mom"};
    all.fxes = {SceneObjectDesc{}};
    all.fxes[0].flag = 0x20;
    all.fxes[0].fileIndex = 1;
    all.models[0].lightmaps = {{0, "lm.png", "lightmap.fx::lit"}};
    all.trackFiles = {"gone.trk"};
    all.grasses = {SceneGrassDesc{}};
    all.layers = {{1, "Self", "fuzz.scn"}};
    all.audio = true;
    seeds.emplace_back("every_section.scn", WriteSceneXml(all));
    SceneFileDesc minimal;
    minimal.files = {"box.mom"};
    minimal.models = {SceneObjectDesc{}};
    seeds.emplace_back("minimal.scn", WriteSceneXml(minimal));
    bool ok = true;
    for (const auto& [path, text] : seeds) {
        quor::host::XmlNode* doc = quor::host::XmlNode::NewDocument();
        if (!doc->Parse(text.data(), static_cast<std::uint32_t>(text.size()))) {
            std::fprintf(stderr, "scene seed %s does not parse\n", path.c_str());
            ok = false;
        }
        doc->Release();
        const std::size_t slash = path.rfind('/');
        quor::seeds::Seed(slash == std::string::npos ? path : path.substr(slash + 1), text);
    }
    return ok;
}
