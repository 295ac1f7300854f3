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
    // The device texture (d3d9::IDirect3DTexture9) holding the pixels: level 0 lockable, A8R8G8B8
    // for textures loaded or made in that format. Null for a texture that keeps no pixels.
    virtual void* GetRenderSurface() = 0;
    // Fills the rectangle (left, top, right, bottom in pixels; null: all of it) of level 0 with
    // the colour 0xAARRGGBB, clipped to the texture; false for a texture without pixels.
    virtual bool FillRect(const std::int32_t* rect, std::uint32_t argb) = 0;

protected:
    ~ITexture() = default;
};

}  // namespace quor::render
