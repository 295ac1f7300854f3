#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/host/ICEGUI.h"

namespace quor::host {

// The reference host's interface library: named windows of a size and colour, optionally
// textured, declared by the test or host. Drawing one sizes the overlay to the window, sets
// its texture and sends the two triangles that cover it, then flushes; the hit test answers
// whether the cursor offset lies inside the window. Every call is recorded.
class ReferenceGui final : public client::ICEGUI {
public:
    struct Window {
        int width = 0;
        int height = 0;
        std::uint32_t colour = 0xFFFFFFFFu;
        render::ITexture* texture = nullptr;
    };

    void DeclareWindow(const std::string& name, const Window& window) { m_windows[name] = window; }
    // Where drawing calls back (the current scene's overlay operations); null: nowhere.
    void SetOverlayTarget(client::IGuiOverlay* target) { m_target = target; }

    void DrawWindow(const char* name) override;
    bool HitTest(const char* name, int cursorX, int cursorY, float x, float y) override;

    const std::vector<std::string>& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }

private:
    std::map<std::string, Window> m_windows;
    client::IGuiOverlay* m_target = nullptr;
    std::vector<std::string> m_calls;
};

}  // namespace quor::host
