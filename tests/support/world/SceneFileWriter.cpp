#include "tests/support/world/SceneFileWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tests/support/world/MaterialFileWriter.h"

namespace quor::test {

namespace {

std::string Number(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(v));
    return buf;
}

std::string Floats(const float* v, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        if (i) out += ',';
        out += Number(v[i]);
    }
    return out;
}

void WriteKeys(XmlElement& light, const char* name, const std::vector<SceneColorKey>& keys) {
    if (keys.empty()) return;
    XmlElement& list = light.Add(name);
    for (const SceneColorKey& k : keys) list.Add("Key").Set("Time", k.time).Set("Color", Floats(k.rgba.data(), 4));
}

void WriteObjects(XmlElement& entities, const char* name, const std::vector<SceneObjectDesc>& objects) {
    if (objects.empty()) return;
    XmlElement& list = entities.Add(name);
    for (const SceneObjectDesc& o : objects) {
        XmlElement& e = list.Add("Entity");
        if (o.origin >= 0) e.Set("OriginEntityIndex", o.origin);
        e.Set("FilePathIndex", o.fileIndex).Set("Flag", o.flag).Set("Name", o.name);
        e.Set("Position", Floats(o.position.data(), 3)).Set("Rotation", Floats(o.rotation.data(), 16));
        e.Set("Scale", Floats(o.scale.data(), 3)).Set("BillboardType", o.billboard);
        if (!o.lightmaps.empty()) {
            XmlElement& lm = e.Add("Lightmap");
            for (const SceneLightmapDesc& l : o.lightmaps)
                lm.Add("SubMesh").Set("index", l.index).Set("texture", l.texture).Set("effect", l.effect);
        }
        if (!o.attributes.empty()) {
            XmlElement& at = e.Add("Attributes");
            for (const std::string& s : o.attributes) at.Add("Attribute").Set("String", s);
        }
    }
}

void WriteEntries(XmlElement& parent, const std::vector<SceneEntryDesc>& entries) {
    for (const SceneEntryDesc& e : entries) parent.Add("Entity").Set("Type", e.type).Set("Index", e.index);
}

}  // namespace

XmlElement& XmlElement::Set(const std::string& key, const std::string& value) {
    for (auto& [k, v] : attributes)
        if (k == key) {
            v = value;
            return *this;
        }
    attributes.emplace_back(key, value);
    return *this;
}

XmlElement& XmlElement::Set(const std::string& key, float value) { return Set(key, Number(value)); }

void XmlElement::Erase(const std::string& key) {
    attributes.erase(std::remove_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == key; }),
                     attributes.end());
}

XmlElement& XmlElement::Add(const std::string& childName) {
    children.push_back(XmlElement{childName, {}, {}});
    return children.back();
}

XmlElement* XmlElement::Find(const std::string& childName) {
    for (XmlElement& c : children)
        if (c.name == childName) return &c;
    return nullptr;
}

void XmlElement::Remove(const std::string& childName) {
    children.erase(std::remove_if(children.begin(), children.end(), [&](const XmlElement& c) { return c.name == childName; }),
                   children.end());
}

std::string XmlElement::Text(int indent) const {
    const std::string pad(std::size_t(indent) * 2, ' ');
    std::string out = pad;
    out += '<';
    out += name;
    for (const auto& [k, v] : attributes) {
        out += ' ';
        out += k;
        out += "=\"";
        out += XmlEscape(v);
        out += '"';
    }
    if (children.empty()) return out + "/>\n";
    out += ">\n";
    for (const XmlElement& c : children) out += c.Text(indent + 1);
    out += pad;
    out += "</";
    out += name;
    out += ">\n";
    return out;
}

Float16 IdentityMatrix16() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

std::string ColorText(std::uint32_t argb) {
    return std::to_string(argb >> 24) + "," + std::to_string((argb >> 16) & 0xFF) + "," +
           std::to_string((argb >> 8) & 0xFF) + "," + std::to_string(argb & 0xFF);
}

XmlElement BuildSceneXml(const SceneFileDesc& d) {
    XmlElement doc;
    XmlElement& root = doc.Add(d.rootName);
    root.Set("Version", d.version);
    if (d.global) {
        XmlElement& g = root.Add("Global");
        if (d.ambient) g.Add("AmbientLight").Set("Color", ColorText(d.ambientColor));
        if (d.fog)
            g.Add("Fog").Set("Type", d.fogType).Set("Mode", d.fogMode).Set("Color", ColorText(d.fogColor))
                .Set("Start", d.fogStart).Set("End", d.fogEnd).Set("Density", d.fogDensity);
        g.Add("Cameras").Set("DefaultMinZ", d.minZ).Set("DefaultMaxZ", d.maxZ);
        if (!d.background.empty()) g.Add("Background").Set("TextureFile", d.background);
        if (!d.lights.empty()) {
            XmlElement& lights = g.Add("Lights");
            for (const SceneLightDesc& l : d.lights) {
                XmlElement& e = lights.Add("Light");
                e.Set("Usage", l.usage).Set("Type", l.type).Set("Name", l.name).Set("Enable", l.enable);
                e.Set("Position", Floats(l.position.data(), 3)).Set("Direction", Floats(l.direction.data(), 3));
                if (l.usage & 4) e.Set("AffectRadius", l.affectRadius);
                if (l.type != 3) {
                    e.Set("Range", l.range).Set("Attenuation_0", l.attenuation[0]);
                    e.Set("Attenuation_1", l.attenuation[1]).Set("Attenuation_2", l.attenuation[2]);
                }
                if (l.type == 2) e.Set("InnerConeAngle", l.innerCone).Set("OuterConeAngle", l.outerCone);
                WriteKeys(e, "Diffuse", l.diffuse);
                WriteKeys(e, "Ambient", l.ambient);
                WriteKeys(e, "Specular", l.specular);
            }
        }
    }
    if (!d.terrain.empty()) {
        XmlElement& t = root.Add("Terrain");
        t.Set("File", d.terrain);
        if (!d.terrainLods.empty()) {
            XmlElement& lods = t.Add("LODs");
            for (float f : d.terrainLods) lods.Add("LOD").Set("Distance", f);
        }
    }
    if (d.entities) {
        XmlElement& e = root.Add("Entities");
        // The object lists come first: the progress counts the children of the first three.
        WriteObjects(e, "Models", d.models);
        WriteObjects(e, "Fxes", d.fxes);
        WriteObjects(e, "SkyObjects", d.skies);
        XmlElement& files = e.Add("AllFiles");
        for (const std::string& f : d.files) files.Add("File").Set("Path", f);
        if (!d.groups.empty()) {
            XmlElement& groups = e.Add("Groups");
            for (const SceneGroupDesc& g : d.groups) WriteEntries(groups.Add("Group").Set("Name", g.name), g.entries);
        }
        if (!d.lodGroups.empty()) {
            XmlElement& groups = e.Add("LODGroups");
            for (const SceneLodGroupDesc& g : d.lodGroups) {
                XmlElement& ge = groups.Add("LODGroup").Set("Name", g.name);
                XmlElement& levels = ge.Add("LODs");
                for (const SceneLodLevelDesc& l : g.levels)
                    levels.Add("LOD").Set("Distance", l.distance).Set("MeshLOD", l.meshLod).Set("MaterialLOD", l.materialLod);
                WriteEntries(ge.Add("Entities"), g.entries);
            }
        }
    }
    if (d.audio) root.Add("Audio");
    if (!d.trackFiles.empty() || !d.tracks.empty()) {
        XmlElement& t = root.Add("Tracks");
        XmlElement& files = t.Add("Files");
        for (const std::string& f : d.trackFiles) files.Add("File").Set("Path", f);
        XmlElement& list = t.Add("Tracks");
        for (const SceneTrackDesc& tr : d.tracks)
            list.Add("Track").Set("FilePathIndex", tr.fileIndex).Set("Name", tr.name)
                .Set("BaseMatrix", Floats(tr.baseMatrix.data(), 16));
    }
    if (!d.presetCameras.empty()) {
        XmlElement& p = root.Add("PresetCameras");
        for (const ScenePresetCameraDesc& c : d.presetCameras)
            p.Add("Camera").Set("Name", c.name).Set("Transform", Floats(c.transform.data(), 16));
    }
    if (!d.layers.empty()) {
        XmlElement& p = root.Add("SceneLayers");
        for (const SceneLayerDesc& l : d.layers) p.Add("Layer").Set("ID", l.id).Set("Name", l.name).Set("Path", l.path);
    }
    if (!d.grasses.empty()) {
        XmlElement& p = root.Add("Grasses");
        for (const SceneGrassDesc& g : d.grasses)
            p.Add("Grass").Set("Path", g.path).Set("x", g.position[0]).Set("y", g.position[1]).Set("z", g.position[2])
                .Set("height", g.height).Set("SwayX", g.swayX).Set("SwayZ", g.swayZ).Set("delta", g.delta)
                .Set("color", g.color).Set("isSway", g.sway);
    }
    if (!d.crossTextures.empty()) {
        XmlElement& p = root.Add("CrossTextures");
        for (const SceneCrossTextureDesc& c : d.crossTextures) {
            XmlElement& e = p.Add("CrossTexture").Set("Name", c.name).Set("IniFile", c.iniFile);
            if (!c.section.empty()) e.Set("Section", c.section);
        }
    }
    return doc;
}

std::string WriteXml(const XmlElement& doc) {
    std::string out;
    for (const XmlElement& c : doc.children) out += c.Text();
    return out;
}

std::string WriteSceneXml(const SceneFileDesc& desc) { return WriteXml(BuildSceneXml(desc)); }

Float16 LookAtTransform(const Float3& eye, const Float3& target) {
    Float3 f = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    const float fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (float& v : f) v /= fl > 0 ? fl : 1.0f;
    // right = up(0,1,0) x forward, up = forward x right
    Float3 r = {f[2], 0.0f, -f[0]};
    const float rl = std::sqrt(r[0] * r[0] + r[2] * r[2]);
    if (rl > 0) {
        r[0] /= rl;
        r[2] /= rl;
    } else {
        r = {1, 0, 0};
    }
    const Float3 u = {f[1] * r[2] - f[2] * r[1], f[2] * r[0] - f[0] * r[2], f[0] * r[1] - f[1] * r[0]};
    return {r[0], r[1], r[2], 0, u[0], u[1], u[2], 0, f[0], f[1], f[2], 0, eye[0], eye[1], eye[2], 1};
}

SceneFileDesc GardenSceneDesc() {
    SceneFileDesc d;
    d.ambientColor = 0xFF303840;
    d.fog = true;
    d.fogMode = 3;
    d.fogColor = 0xFFB0C0D0;
    d.fogStart = 200.0f;
    d.fogEnd = 900.0f;
    d.minZ = 1.0f;
    d.maxZ = 2000.0f;
    SceneLightDesc sun;
    sun.name = "Sun";
    sun.direction = {-0.4f, -0.8f, 0.45f};
    sun.diffuse = {{0.0f, {1.0f, 0.9f, 0.7f, 1.0f}}, {10.0f, {0.6f, 0.6f, 0.9f, 1.0f}}};
    sun.ambient = {{0.0f, {0.3f, 0.3f, 0.35f, 1.0f}}};
    d.lights.push_back(sun);
    SceneLightDesc lamp;
    lamp.name = "Lamp";
    lamp.type = 1;
    lamp.usage = 1 | 4;
    lamp.position = {0.0f, 6.0f, 0.0f};
    lamp.range = 40.0f;
    lamp.affectRadius = 40.0f;
    lamp.diffuse = {{0.0f, {1.0f, 0.8f, 0.4f, 1.0f}}, {5.0f, {1.0f, 0.5f, 0.2f, 1.0f}}};
    // A lamp lights what faces it; it adds next to nothing to the shadowed sides.
    lamp.ambient = {{0.0f, {0.05f, 0.04f, 0.02f, 1.0f}}};
    d.lights.push_back(lamp);
    d.terrain = "scenes\\garden.ter";
    d.terrainLods = {50.0f, 150.0f, 400.0f};
    d.files = {"models\\garden_box.mom", "models\\garden_sky.mom"};
    // A ring of hedge boxes, a helper, a clone of the first box and a tall box in the middle.
    for (int i = 0; i < 6; ++i) {
        SceneObjectDesc box;
        box.name = "Hedge" + std::to_string(i);
        const float a = float(i) * 1.0471976f;
        box.position = {20.0f * std::cos(a), 1.0f, 20.0f * std::sin(a)};
        box.scale = {2.0f, 1.0f, 2.0f};
        d.models.push_back(box);
    }
    SceneObjectDesc helper;
    helper.flag = 0x200;
    helper.name = "Marker";
    d.models.push_back(helper);
    SceneObjectDesc clone;
    clone.origin = 0;
    clone.name = "HedgeCopy";
    clone.position = {0.0f, 1.0f, 30.0f};
    d.models.push_back(clone);
    SceneObjectDesc tower;
    tower.name = "Tower";
    tower.position = {0.0f, 4.0f, 0.0f};
    tower.scale = {1.5f, 4.0f, 1.5f};
    tower.attributes = {"landmark", "stone"};
    d.models.push_back(tower);
    SceneObjectDesc sky;
    sky.fileIndex = 1;
    sky.flag = 0x20000;
    sky.name = "Sky";
    sky.scale = {800.0f, 800.0f, 800.0f};
    d.skies.push_back(sky);
    SceneGroupDesc hedge{"Hedge", {}};
    for (int i = 0; i < 6; ++i) hedge.entries.push_back({0, i});
    d.groups.push_back(hedge);
    SceneLodGroupDesc lod{"HedgeLod", {{0.0f, 0, 0}, {30.0f, 1, 0}, {120.0f, 0, 0}}, {}};
    for (int i = 0; i < 6; ++i) lod.entries.push_back({0, i});
    lod.entries.push_back({0, 7});
    d.lodGroups.push_back(lod);
    d.presetCameras = {{"Gate", LookAtTransform({0.0f, 8.0f, -60.0f}, {0.0f, 2.0f, 0.0f})},
                       {"Tower", LookAtTransform({0.0f, 30.0f, -5.0f}, {0.0f, 0.0f, 0.0f})}};
    d.layers = {{1, "Pond", "scenes\\garden_pond.scn"}};
    // A swaying grass patch left of the path and a row of shrubs right of it, ahead of "Gate".
    SceneGrassDesc grass;
    grass.path = "fx/spark.tga";
    grass.position = {-5.0f, 0.0f, -14.0f};
    grass.height = 6.0f;
    grass.swayX = 2.0f;
    grass.swayZ = 1.0f;
    grass.delta = 0.1f;
    grass.color = static_cast<int>(0xFF60C040u);
    d.grasses.push_back(grass);
    d.crossTextures = {{"Bushes", "scenes/garden_shrubs.ini", ""}};
    return d;
}

std::string GardenShrubsIni() {
    std::string text = "[Bushes]\r\nTexName=leaf.tga\r\nWave=1\r\nXWaveValue=91.2\r\nZWaveValue=91.7\r\n"
                       "WaveEffectX=0.03\r\nWaveEffectZ=0.03\r\nWaveRand=5.0\r\nCrossNum=2\r\nArrayNum=5\r\n";
    for (int i = 0; i < 5; ++i)
        text += "Data" + std::to_string(i) + "=(" + std::to_string(3 + i) + ".000,0.000," + std::to_string(-10 - 2 * i) +
                ".000,1.500,3.000,0.400,0.800,0.300,1.000)\r\n";
    return text;
}

std::vector<std::pair<std::string, std::string>> GardenSceneTexts() {
    SceneFileDesc pond;
    pond.ambient = false;
    SceneLightDesc glow;
    glow.name = "PondGlow";
    glow.type = 1;
    glow.position = {10.0f, 1.0f, -10.0f};
    glow.range = 15.0f;
    glow.diffuse = {{0.0f, {0.3f, 0.5f, 1.0f, 1.0f}}};
    glow.ambient = {{0.0f, {0.02f, 0.03f, 0.05f, 1.0f}}};
    pond.lights.push_back(glow);
    pond.files = {"models\\garden_box.mom"};
    SceneObjectDesc stone;
    stone.name = "PondStone";
    stone.position = {10.0f, 0.5f, -10.0f};
    stone.scale = {3.0f, 0.5f, 3.0f};
    pond.models.push_back(stone);
    XmlElement garden = BuildSceneXml(GardenSceneDesc());
    garden.children[0].children.push_back(GardenAudioXml());
    return {{"scenes/garden.scn", WriteXml(garden)}, {"scenes/garden_pond.scn", WriteSceneXml(pond)}};
}

namespace {

// A speaker or zone placed at p and scaled by s: the matrix of "WorldMatrix".
std::string PlacedMatrix(const Float3& p, float s) {
    Float16 m = IdentityMatrix16();
    m[0] = m[5] = m[10] = s;
    m[12] = p[0], m[13] = p[1], m[14] = p[2];
    return Floats(m.data(), 16);
}

}  // namespace

XmlElement GardenAudioXml() {
    XmlElement audio;
    audio.name = "Audio";
    audio.Add("_3DSettings").Set("DopplerScale", 1.0f).Set("DistanceFactor", 1.0f).Set("RolloffScale", 1.0f);
    audio.Add("DefaultMusic").Set("Path", "garden/music/day");
    XmlElement& speakers = audio.Add("Speakers");
    const struct {
        const char* path;
        int type;
        unsigned shape;
        Float3 at;
        float scale;
    } placed[] = {
        {"garden/wind", 1, 0xFFFFFFFFu, {0.0f, 2.0f, 0.0f}, 1.0f},
        {"garden/birds", 2, 0xFFFFFFFFu, {20.0f, 3.0f, 0.0f}, 1.0f},
        {"garden/fountain", 2, 0xFFFFFFFFu, {10.0f, 0.5f, -10.0f}, 1.0f},
        // The music zones: spheres round the tower and the pond; where they overlap the
        // tower's, listed first, plays.
        {"garden/music/tower", 5, 0u, {0.0f, 0.0f, 0.0f}, 12.0f},
        {"garden/music/pond", 5, 0u, {10.0f, 0.0f, -10.0f}, 10.0f},
    };
    for (const auto& s : placed) {
        XmlElement& e = speakers.Add("Speaker").Set("Path", s.path).Set("SoundType", s.type);
        if (s.shape != 0xFFFFFFFFu) e.Set("AreaShape", s.shape);
        e.Set("WorldMatrix", PlacedMatrix(s.at, s.scale));
    }
    audio.Add("AreaReverbs")
        .Add("AreaReverb")
        .Set("Name", "garden/reverb/hedge")
        .Set("AreaShape", 2u)
        .Set("InnerRadius", 4.0f)
        .Set("OuterRadius", 8.0f)
        .Set("WorldMatrix", PlacedMatrix({0.0f, 0.0f, 30.0f}, 16.0f));
    return audio;
}

}  // namespace quor::test
