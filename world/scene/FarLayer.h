#pragma once
#include <string>

namespace quor::render {
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

struct LayerRecord;

// One picture of a parallax layer of the 2D ground: a screen quad at its map position, moved
// by the scroll offset the ground manager accumulates for its kind (back or front layers).
// Made on the ground loader's thread, then used only on the render thread.
class FarLayer {
public:
    // path: the image; position: two floats, the map position of its top-left corner. A
    // missing image is logged and replaced by a blank 256 x 256 texture.
    FarLayer(const char* path, const float* position);
    ~FarLayer();
    FarLayer(const FarLayer&) = delete;
    FarLayer& operator=(const FarLayer&) = delete;

    // Places the quad at the layer's rectangle moved by offset (two floats), on whole pixels.
    void Scroll(const float* offset);
    // Draws the quad with the three values unchanged.
    void Draw(int first, int count, int pass);

    const std::string& GetName() const { return m_name; }
    render::ITexture* GetTexture() const { return m_texture; }
    // The texture's surface handle (ITexture::GetSurface); null without texture.
    void* GetTextureHandle() const { return m_textureHandle; }
    // Left, top, right, bottom in map pixels: the position and the texture size.
    const float* GetRect() const { return m_rect; }
    render::IPrimitive* GetQuad() const { return m_quad; }
    // The layer record it was loaded for (not owned); layers are told apart by it, since
    // two records may name one image.
    LayerRecord* GetRecord() const { return m_record; }
    void SetRecord(LayerRecord* record) { m_record = record; }

private:
    std::string m_name;
    render::IPrimitive* m_quad = nullptr;
    render::ITexture* m_texture = nullptr;
    float m_textureWidth = 0.0f;
    float m_textureHeight = 0.0f;
    float m_rect[4] = {};
    void* m_textureHandle = nullptr;
    LayerRecord* m_record = nullptr;
};

}  // namespace quor::world
