#pragma once
// Writes effect files (".emf"): XML text of nested effect-node elements with attributes.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quor::test {

class EffectFileWriter {
public:
    explicit EffectFileWriter(std::string element = "Fx") : m_element(std::move(element)) {}

    EffectFileWriter& Set(const std::string& name, const std::string& value);
    EffectFileWriter& Set(const std::string& name, const char* value) { return Set(name, std::string(value)); }
    EffectFileWriter& Set(const std::string& name, double value);
    EffectFileWriter& Set(const std::string& name, int value);
    // A new child element (effect node, key list, key or track element); the reference stays
    // valid while the writer lives.
    EffectFileWriter& Add(const std::string& element);
    // A child node of a kind: a node element needs at least one child element to load, so an
    // empty "Pad" element goes with it.
    EffectFileWriter& AddNode(const std::string& kind);
    // A key list element with (time, value) keys.
    EffectFileWriter& AddFloatKeys(const std::string& element, int changeType,
                                   const std::vector<std::pair<float, float>>& keys);
    // A colour key list with (time, "a,r,g,b") keys.
    EffectFileWriter& AddColorKeys(const std::string& element, int changeType,
                                   const std::vector<std::pair<float, std::string>>& keys);

    // The element and its subtree as XML text.
    std::string Text() const;
    std::vector<std::uint8_t> Bytes() const;

private:
    void Write(std::string& out, int depth) const;

    std::string m_element;
    std::vector<std::pair<std::string, std::string>> m_attributes;
    std::vector<std::unique_ptr<EffectFileWriter>> m_children;
};

}  // namespace quor::test
