#pragma once
#include <cstdint>
#include <vector>

namespace quor::world {

class SpaceLines;

// A scene's line objects; the list owns them. No lock of its own: the scene calls it under its
// object lock.
class SpaceLinesList {
public:
    // Publishes itself as the process-wide current line list (the last one made wins).
    SpaceLinesList();
    // Clears, and stops being the current list.
    ~SpaceLinesList();
    SpaceLinesList(const SpaceLinesList&) = delete;
    SpaceLinesList& operator=(const SpaceLinesList&) = delete;

    // A new line object (kind, vertex colours, colour), appended; null (and nothing appended)
    // when it cannot be made.
    SpaceLines* Create(int kind, bool vertexColours, std::uint32_t colour);
    // Searched from the back; a listed object is destroyed and erased, others are left alone.
    void Remove(SpaceLines* lines);
    void Clear();
    // Draws every visible line object.
    void Render();
    int Count() const { return static_cast<int>(m_lines.size()); }
    SpaceLines* GetAt(std::uint32_t index) const { return index < m_lines.size() ? m_lines[index] : nullptr; }

    static SpaceLinesList* Current();

private:
    std::vector<SpaceLines*> m_lines;
};

}  // namespace quor::world
