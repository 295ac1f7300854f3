#include "world/core/Memory.h"
#include "world/scene/SpaceLinesList.h"

#include <atomic>
#include <new>

#include "world/core/SpaceLines.h"

namespace quor::world {

namespace {
std::atomic<SpaceLinesList*> g_current{nullptr};
}

SpaceLinesList::SpaceLinesList() { g_current.store(this); }

SpaceLinesList::~SpaceLinesList() {
    Clear();
    // The pointer must not outlive the list it names.
    SpaceLinesList* self = this;
    g_current.compare_exchange_strong(self, nullptr);
}

SpaceLinesList* SpaceLinesList::Current() { return g_current.load(); }

SpaceLines* SpaceLinesList::Create(int kind, bool vertexColours, std::uint32_t colour) {
    auto* lines = NewObject<SpaceLines>(kind, vertexColours, colour);
    if (lines) m_lines.push_back(lines);
    return lines;
}

void SpaceLinesList::Remove(SpaceLines* lines) {
    if (!lines) return;
    for (auto it = m_lines.rbegin(); it != m_lines.rend(); ++it) {
        if (*it != lines) continue;
        m_lines.erase(std::next(it).base());
        delete lines;
        return;
    }
}

void SpaceLinesList::Clear() {
    std::vector<SpaceLines*> lines;
    lines.swap(m_lines);
    for (SpaceLines* l : lines) delete l;
}

void SpaceLinesList::Render() {
    for (SpaceLines* l : m_lines)
        if (l->IsVisible()) l->CommitIfDirty();
}

}  // namespace quor::world
