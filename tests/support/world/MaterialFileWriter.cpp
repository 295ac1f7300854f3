#include "tests/support/world/MaterialFileWriter.h"

#include <cstdio>

#include "tests/support/world/MeshFileWriter.h"

namespace quor::test {

namespace {

std::string Floats(const float* v, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", double(v[i]));
        if (i) out += ' ';
        out += text;
    }
    return out;
}

void Attribute(std::string& out, const char* name, const std::string& value) {
    out += std::string(" ") + name + "=\"" + XmlEscape(value) + "\"";
}

void Material(std::string& out, const MaterialDesc& m, const std::string& indent, const std::string& version) {
    out += indent + "<Material";
    if (!version.empty()) Attribute(out, "version", version);
    if (!m.name.empty()) Attribute(out, "name", m.name);
    Attribute(out, "technique", m.technique);
    Attribute(out, "diffuse", Floats(m.diffuse, 4));
    Attribute(out, "ambient", Floats(m.ambient, 4));
    Attribute(out, "specular", Floats(m.specular, 4));
    Attribute(out, "emissive", Floats(m.emissive, 4));
    Attribute(out, "power", Floats(&m.power, 1));
    Attribute(out, "alpha", std::to_string(m.alpha));
    Attribute(out, "blend", std::to_string(m.blendSource) + " " + std::to_string(m.blendDestination));
    Attribute(out, "lit", m.lit ? "1" : "0");
    Attribute(out, "transparent", m.transparent ? "1" : "0");
    if (m.stages.empty()) {
        out += "/>\n";
        return;
    }
    out += ">\n";
    for (const MaterialStageDesc& s : m.stages) {
        out += indent + "  <Stage";
        Attribute(out, "index", std::to_string(s.index));
        Attribute(out, "name", s.name);
        if (!s.file.empty()) Attribute(out, "file", s.file);
        out += "/>\n";
    }
    out += indent + "</Material>\n";
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

std::vector<std::uint8_t> WriteMaterialGroup(const MaterialGroupDesc& group) {
    std::string out = "<?xml version=\"1.0\"?>\n<MaterialGroup";
    Attribute(out, "version", group.version);
    const int count = group.slotCountOverride >= 0 ? group.slotCountOverride : int(group.slots.size());
    Attribute(out, "slots", std::to_string(count));
    if (group.writeDefault) Attribute(out, "default", std::to_string(group.defaultSlot));
    out += ">\n";
    for (const MaterialSlotDesc& s : group.slots) {
        out += "  <Slot";
        Attribute(out, "name", s.name);
        Attribute(out, "values", std::to_string(s.values[0]) + " " + std::to_string(s.values[1]) + " " +
                                     std::to_string(s.values[2]) + " " + std::to_string(s.values[3]));
        if (!s.hasMaterial) {
            out += "/>\n";
            continue;
        }
        out += ">\n";
        Material(out, s.material, "    ", "");
        out += "  </Slot>\n";
    }
    out += "</MaterialGroup>\n";
    return Bytes(out);
}

std::vector<std::uint8_t> WriteMaterial(const MaterialDesc& material, const std::string& version) {
    std::string out = "<?xml version=\"1.0\"?>\n";
    Material(out, material, "", version);
    return Bytes(out);
}

void PutMaterialBlock(MeshDesc& mesh, const MaterialGroupDesc& group) {
    mesh.blob = WriteMaterialGroup(group);
    mesh.writeBlob = true;
}

MaterialGroupDesc MakeMaterialGroup(const std::vector<std::string>& slotNames) {
    MaterialGroupDesc group;
    std::uint32_t n = 0;
    for (const std::string& name : slotNames) {
        MaterialSlotDesc slot;
        slot.name = name;
        for (std::uint32_t& v : slot.values) v = ++n;
        slot.material.name = name;
        slot.material.stages.push_back({0, "Tex0", name + ".dds"});
        group.slots.push_back(slot);
    }
    return group;
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> MaterialSeeds() {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> seeds;
    MaterialGroupDesc group = MakeMaterialGroup({"body", "\xC9\xED\xCC\xE5", "glass"});
    group.defaultSlot = 2;
    MaterialDesc& glass = group.slots[2].material;
    glass.technique = "file.fx::T";
    glass.transparent = true;
    glass.alpha = 128;
    glass.blendSource = 2;
    glass.blendDestination = 15;
    glass.lit = false;
    glass.power = 12.5f;
    glass.stages.push_back({7, "Detail", ""});
    MaterialSlotDesc empty;
    empty.name = "empty";
    empty.hasMaterial = false;
    group.slots.push_back(empty);
    seeds.emplace_back("group.xml", WriteMaterialGroup(group));
    MaterialGroupDesc none;
    none.defaultSlot = -1;
    seeds.emplace_back("empty_group.xml", WriteMaterialGroup(none));
    seeds.emplace_back("material.xml", WriteMaterial(glass));
    MaterialDesc plain;
    plain.technique.clear();
    seeds.emplace_back("plain_material.xml", WriteMaterial(plain));
    return seeds;
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace quor::test
