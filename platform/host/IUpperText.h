#pragma once

namespace quor::render {

// A short text drawn above an object in screen space (names of characters, labels of places),
// made by the world module for the host. Slots in the renderer's order.
class IUpperText {
public:
    virtual void SetVisible(bool visible) = 0;          // 0
    virtual bool IsVisible() = 0;                       // 1
    // GBK bytes; at most 20 are kept.
    virtual void SetText(const char* text) = 0;         // 2
    virtual const char* GetText() = 0;                  // 3
    // Screen pixels x, y and the depth z.
    virtual void SetPosition(const float* position) = 0;  // 4
    virtual const float* GetPosition() = 0;             // 5
    virtual const char* GetName() = 0;                  // 6
    // Queues the text for this frame's drawing.
    virtual void Show() = 0;                            // 7
    // r, g, b, a in 0..1.
    virtual void SetColor(const float* colour) = 0;     // 8
    virtual void GetColor(float* colour) = 0;           // 9

protected:
    ~IUpperText() = default;
};

}  // namespace quor::render
