#include "platform/host/MaterialFormat.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <pugixml.hpp>

namespace quor::host {

namespace {

constexpr std::size_t kMaxNameLength = 1024;

// Parsing stops at the first fault; the message names it.
struct Reader {
    std::string error;
    bool Fail(const std::string& text) {
        if (error.empty()) error = text;
        return false;
    }
};

bool ParseFloats(const char* text, float* out, int count) {
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        errno = 0;
        const float v = std::strtof(p, &end);
        if (end == p || errno == ERANGE || !std::isfinite(v)) return false;
        out[i] = v;
        p = end;
    }
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    return *p == '\0';
}

bool ParseInts(const char* text, long long* out, int count, long long lower, long long upper) {
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(p, &end, 10);
        if (end == p || errno == ERANGE || v < lower || v > upper) return false;
        out[i] = v;
        p = end;
    }
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    return *p == '\0';
}

bool Name(Reader& r, const pugi::xml_node& node, const char* attribute, std::string& out) {
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a) return true;
    const std::size_t length = std::strlen(a.value());
    if (length > kMaxNameLength) return r.Fail(std::string("\"") + attribute + "\" too long");
    out.assign(a.value(), length);
    return true;
}

bool Colour(Reader& r, const pugi::xml_node& node, const char* attribute, float* out) {
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a) return true;
    if (!ParseFloats(a.value(), out, 4)) return r.Fail(std::string("\"") + attribute + "\" is not four numbers");
    return true;
}

bool Flag(Reader& r, const pugi::xml_node& node, const char* attribute, bool& out) {
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a) return true;
    long long v = 0;
    if (!ParseInts(a.value(), &v, 1, 0, 1)) return r.Fail(std::string("\"") + attribute + "\" is not 0 or 1");
    out = v != 0;
    return true;
}

bool ReadMaterialNode(Reader& r, const pugi::xml_node& node, MaterialDesc& m) {
    if (!Name(r, node, "name", m.name) || !Name(r, node, "technique", m.technique)) return false;
    if (!Colour(r, node, "diffuse", m.diffuse) || !Colour(r, node, "ambient", m.ambient) ||
        !Colour(r, node, "specular", m.specular) || !Colour(r, node, "emissive", m.emissive)) {
        return false;
    }
    if (const pugi::xml_attribute a = node.attribute("power"); a && !ParseFloats(a.value(), &m.power, 1)) {
        return r.Fail("\"power\" is not a number");
    }
    if (const pugi::xml_attribute a = node.attribute("alpha")) {
        long long v = 0;
        if (!ParseInts(a.value(), &v, 1, 0, 255)) return r.Fail("\"alpha\" outside 0..255");
        m.alpha = std::uint32_t(v);
    }
    if (const pugi::xml_attribute a = node.attribute("blend")) {
        long long v[2] = {};
        if (!ParseInts(a.value(), v, 2, 1, 15)) return r.Fail("\"blend\" is not two factors in 1..15");
        m.blendSource = std::int32_t(v[0]);
        m.blendDestination = std::int32_t(v[1]);
    }
    if (!Flag(r, node, "lit", m.lit) || !Flag(r, node, "transparent", m.transparent)) return false;
    std::uint32_t used = 0;
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (std::strcmp(child.name(), "Stage") != 0) return r.Fail(std::string("unknown element ") + child.name());
        MaterialStageDesc stage;
        long long index = 0;
        const pugi::xml_attribute a = child.attribute("index");
        if (!a || !ParseInts(a.value(), &index, 1, 0, kMaxMaterialStages - 1)) {
            return r.Fail("stage \"index\" outside 0..7");
        }
        stage.index = std::uint32_t(index);
        if (used & (1u << stage.index)) return r.Fail("stage " + std::to_string(index) + " given twice");
        used |= 1u << stage.index;
        if (!Name(r, child, "name", stage.name) || !Name(r, child, "file", stage.file)) return false;
        m.stages.push_back(std::move(stage));
    }
    return true;
}

bool Version(Reader& r, const pugi::xml_node& root) {
    if (std::strcmp(root.attribute("version").value(), "1") != 0) return r.Fail("unknown \"version\"");
    return true;
}

bool Load(Reader& r, pugi::xml_document& doc, const void* data, std::size_t size, const char* rootName) {
    if (!data || size == 0) return r.Fail("no data");
    const pugi::xml_parse_result result = doc.load_buffer(data, size, pugi::parse_default, pugi::encoding_utf8);
    if (!result) return r.Fail(std::string("not XML: ") + result.description());
    const pugi::xml_node root = doc.document_element();
    if (!root || std::strcmp(root.name(), rootName) != 0) return r.Fail(std::string("root is not ") + rootName);
    return Version(r, root);
}

bool ReadGroup(Reader& r, const void* data, std::size_t size, MaterialGroupDesc& out) {
    pugi::xml_document doc;
    if (!Load(r, doc, data, size, "MaterialGroup")) return false;
    const pugi::xml_node root = doc.document_element();
    long long count = 0;
    if (!ParseInts(root.attribute("slots").value(), &count, 1, 0, kMaxMaterialSlots)) {
        return r.Fail("\"slots\" outside 0.." + std::to_string(kMaxMaterialSlots));
    }
    for (const pugi::xml_node& slotNode : root.children()) {
        if (slotNode.type() != pugi::node_element) continue;
        if (std::strcmp(slotNode.name(), "Slot") != 0) return r.Fail(std::string("unknown element ") + slotNode.name());
        if (out.slots.size() == std::size_t(count)) return r.Fail("more slots than \"slots\" says");
        MaterialSlotDesc slot;
        if (!Name(r, slotNode, "name", slot.name)) return false;
        if (const pugi::xml_attribute a = slotNode.attribute("values")) {
            long long v[4] = {};
            if (!ParseInts(a.value(), v, 4, 0, 0xFFFFFFFFll)) return r.Fail("\"values\" is not four 32-bit numbers");
            for (int i = 0; i < 4; ++i) slot.values[i] = std::uint32_t(v[i]);
        }
        for (const pugi::xml_node& child : slotNode.children()) {
            if (child.type() != pugi::node_element) continue;
            if (std::strcmp(child.name(), "Material") != 0 || slot.hasMaterial) {
                return r.Fail("a slot holds one Material element");
            }
            slot.hasMaterial = true;
            slot.material.name = slot.name;
            if (!ReadMaterialNode(r, child, slot.material)) return false;
        }
        out.slots.push_back(std::move(slot));
    }
    if (out.slots.size() != std::size_t(count)) return r.Fail("fewer slots than \"slots\" says");
    if (const pugi::xml_attribute a = root.attribute("default")) {
        long long d = 0;
        if (!ParseInts(a.value(), &d, 1, -1, count - 1)) return r.Fail("\"default\" names no slot");
        out.defaultSlot = std::int32_t(d);
    } else if (count == 0) {
        out.defaultSlot = -1;
    }
    return true;
}

}  // namespace

bool ReadMaterialGroup(const void* data, std::size_t size, MaterialGroupDesc& out, std::string& error) {
    Reader r;
    MaterialGroupDesc group;
    if (!ReadGroup(r, data, size, group)) {
        error = r.error;
        out = MaterialGroupDesc{};
        return false;
    }
    out = std::move(group);
    return true;
}

bool ReadMaterial(const void* data, std::size_t size, MaterialDesc& out, std::string& error) {
    Reader r;
    pugi::xml_document doc;
    MaterialDesc material;
    if (!Load(r, doc, data, size, "Material") || !ReadMaterialNode(r, doc.document_element(), material)) {
        error = r.error;
        out = MaterialDesc{};
        return false;
    }
    out = std::move(material);
    return true;
}

}  // namespace quor::host
