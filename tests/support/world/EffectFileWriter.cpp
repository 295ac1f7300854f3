#include "tests/support/world/EffectFileWriter.h"

#include <cstdio>

namespace quor::test {

EffectFileWriter& EffectFileWriter::Set(const std::string& name, const std::string& value) {
    for (auto& attribute : m_attributes) {
        if (attribute.first == name) {
            attribute.second = value;
            return *this;
        }
    }
    m_attributes.emplace_back(name, value);
    return *this;
}

EffectFileWriter& EffectFileWriter::Set(const std::string& name, double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", value);
    return Set(name, std::string(text));
}

EffectFileWriter& EffectFileWriter::Set(const std::string& name, int value) { return Set(name, std::to_string(value)); }

EffectFileWriter& EffectFileWriter::Add(const std::string& element) {
    m_children.push_back(std::make_unique<EffectFileWriter>(element));
    return *m_children.back();
}

EffectFileWriter& EffectFileWriter::AddNode(const std::string& kind) {
    EffectFileWriter& node = Add(kind);
    node.Add("Pad");
    return node;
}

EffectFileWriter& EffectFileWriter::AddFloatKeys(const std::string& element, int changeType,
                                                 const std::vector<std::pair<float, float>>& keys) {
    EffectFileWriter& list = Add(element).Set("ChangeType", changeType);
    for (const auto& [time, value] : keys) list.Add("Key").Set("Time", time).Set("Value", value);
    return list;
}

EffectFileWriter& EffectFileWriter::AddColorKeys(const std::string& element, int changeType,
                                                 const std::vector<std::pair<float, std::string>>& keys) {
    EffectFileWriter& list = Add(element).Set("ChangeType", changeType);
    for (const auto& [time, value] : keys) list.Add("Key").Set("Time", time).Set("Value", value);
    return list;
}

void EffectFileWriter::Write(std::string& out, int depth) const {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += "<" + m_element;
    for (const auto& [name, value] : m_attributes) {
        std::string escaped;
        for (char c : value) {
            switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
            }
        }
        out += " " + name + "=\"" + escaped + "\"";
    }
    if (m_children.empty()) {
        out += "/>\n";
        return;
    }
    out += ">\n";
    for (const auto& child : m_children) child->Write(out, depth + 1);
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += "</" + m_element + ">\n";
}

std::string EffectFileWriter::Text() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n";
    Write(out, 0);
    return out;
}

std::vector<std::uint8_t> EffectFileWriter::Bytes() const {
    const std::string text = Text();
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace quor::test
