#pragma once
#include <cstdint>

namespace quor::render {
class ITexture;
}

namespace quor::client {

// The host's user-interface library, as the screen labels use it.
class ICEGUI {
public:
    // Draws the named window at the label being drawn; while it draws it may call back the
    // overlay operations of the scene whose labels are drawn.
    virtual void DrawWindow(const char* name) = 0;
    // Whether the named window takes the point; cursor: the cursor's offset from the label's
    // top-left corner, (x, y): the label's anchor on the screen.
    virtual bool HitTest(const char* name, int cursorX, int cursorY, float x, float y) = 0;

protected:
    ~ICEGUI() = default;
};

// The overlay operations of a scene as the interface library calls them back while it draws
// a label's window.
class IGuiOverlay {
public:
    virtual void SetOverlaySize(int width, int height) = 0;
    virtual void SetOverlayTexture(render::ITexture* texture) = 0;
    // One vertex: position relative to the label's top-left, texture pair, ARGB colour.
    virtual void AddOverlayQuad(float x, float y, float u, float v, std::uint32_t colour) = 0;
    virtual void FlushOverlayQuads() = 0;

protected:
    ~IGuiOverlay() = default;
};

}  // namespace quor::client
