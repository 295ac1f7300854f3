#include "platform/host/ReferenceGui.h"

namespace quor::host {

void ReferenceGui::DrawWindow(const char* name) {
    const std::string text = name ? name : "";
    m_calls.push_back("DrawWindow(" + text + ")");
    auto found = m_windows.find(text);
    if (found == m_windows.end() || !m_target) return;
    const Window& w = found->second;
    const float x1 = static_cast<float>(w.width), y1 = static_cast<float>(w.height);
    m_target->SetOverlaySize(w.width, w.height);
    m_target->SetOverlayTexture(w.texture);
    const float corners[6][4] = {{0, 0, 0, 0},   {x1, 0, 1, 0},  {0, y1, 0, 1},
                                 {0, y1, 0, 1}, {x1, 0, 1, 0}, {x1, y1, 1, 1}};
    for (const auto& c : corners) m_target->AddOverlayQuad(c[0], c[1], c[2], c[3], w.colour);
    m_target->FlushOverlayQuads();
}

bool ReferenceGui::HitTest(const char* name, int cursorX, int cursorY, float x, float y) {
    const std::string text = name ? name : "";
    m_calls.push_back("HitTest(" + text + "," + std::to_string(cursorX) + "," + std::to_string(cursorY) + "," +
                      std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)) + ")");
    auto found = m_windows.find(text);
    if (found == m_windows.end()) return false;
    return cursorX >= 0 && cursorY >= 0 && cursorX < found->second.width && cursorY < found->second.height;
}

}  // namespace quor::host
