#pragma once
#include <cstdint>

namespace quor::render {

// A texture of the host's renderer. Animated textures (frame sequences) play on their own
// clock, which the caller may set and speed up.
class ITexture {
public:
    // The animation clock in milliseconds.
    virtual void SetTime(float milliseconds) = 0;
    virtual void SetSpeed(float speed) = 0;
    // 3 once the texture has loaded and can be animated; lower values while it loads, 0 for
    // a texture that failed.
    virtual int GetState() = 0;
    // Length of one pass through the frames in seconds; 0 for a still texture.
    virtual float GetDuration() = 0;
    // 1 for a still texture.
    virtual std::uint32_t GetFrameCount() = 0;
    // The handle of the texture's surface, which IRenderer::IsTextureReady recognises while
    // the texture lives.
    virtual void* GetSurface() = 0;
    virtual void GetSize(std::uint32_t* width, std::uint32_t* height) = 0;
    // Fills the rectangle (left, top, right, bottom in texels; null: the whole texture) of
    // level 0 with the colour; false when the texture holds no pixels to write.
    virtual bool FillRect(const std::int32_t* rect, std::uint32_t argb) = 0;

protected:
    ~ITexture() = default;
};

}  // namespace quor::render
