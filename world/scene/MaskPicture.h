#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "world/scene/AreaData.h"

namespace quor::render {
class IEffect;
class IMaterial;
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

class PictureBase;
struct LayerRecord;

// One piece of a mask picture: the part of the mask inside one 256-pixel ground block, drawn
// with that block's ground texture ("BaseTex") through the mask image ("MarkTex").
class MaskPart {
public:
    // rect: left, top, right, bottom in map pixels; baseUV: the same rectangle in the block's
    // texture (0 to 1 across the block); markUV: in the mask image (0 to 1 across the mask);
    // column and row: the ground block it lies in.
    MaskPart(const float* rect, const float* baseUV, const float* markUV, std::int32_t column, std::int32_t row);
    ~MaskPart();
    MaskPart(const MaskPart&) = delete;
    MaskPart& operator=(const MaskPart&) = delete;

    // The ground block's texture (null clears it).
    void SetBaseTexture(render::ITexture* texture);
    // The mask image's texture (null clears it).
    void SetMarkTexture(render::ITexture* texture);
    // Places the quad at the rectangle moved by the view position (screen = map + view).
    void SetViewOffset(const float* viewPos);
    void Draw();

    render::ITexture* GetBaseTexture() const { return m_baseTexture; }
    render::ITexture* GetMarkTexture() const { return m_markTexture; }
    render::IPrimitive* GetQuad() const { return m_quad; }
    render::IMaterial* GetMaterial() const { return m_material; }
    const float* GetRect() const { return m_rect; }
    const float* GetBaseUV() const { return m_baseUV; }
    const float* GetMarkUV() const { return m_markUV; }
    std::int32_t GetColumn() const { return m_column; }
    std::int32_t GetRow() const { return m_row; }
    // The index of the ground block whose texture it uses; -1 until the ground assigns one.
    std::int32_t GetBlockIndex() const { return m_blockIndex; }
    void SetBlockIndex(std::int32_t index) { m_blockIndex = index; }

private:
    render::IPrimitive* m_quad = nullptr;
    render::IMaterial* m_material = nullptr;
    float m_rect[4] = {};
    float m_baseUV[4] = {};
    float m_markUV[4] = {};
    std::int32_t m_column = 0;
    std::int32_t m_row = 0;
    std::int32_t m_blockIndex = -1;
    render::ITexture* m_baseTexture = nullptr;
    render::ITexture* m_markTexture = nullptr;
};

// Redraws part of the 2D ground over the characters that walk behind it, through a mask
// image. Cut into one part per covered ground block, since each part takes that block's
// ground texture. The same image, read as an area map, tells whether a point lies on the
// masked shape. Made and loaded on the ground loader's thread, then used on the render thread.
class MaskPicture {
public:
    // The process-wide mask effect: the show-mark variant when showMark is set. Loaded at
    // world start-up, released at shutdown.
    static void LoadSharedEffect(bool showMark);
    static void ReleaseSharedEffect();
    static render::IEffect* SharedEffect();

    // Loads the image at (x, y) in map pixels (see Load).
    MaskPicture(const char* path, float x, float y);
    virtual ~MaskPicture();
    MaskPicture(const MaskPicture&) = delete;
    MaskPicture& operator=(const MaskPicture&) = delete;

    // Reads the area map and the mask texture and cuts the parts; false (with a log line,
    // and no parts) when either is missing.
    bool Load(const char* path);
    // Drops the parts (and their blocks from the range) that lie outside a grid of cols x rows
    // ground blocks.
    void ClipToGrid(std::int32_t cols, std::int32_t rows);

    void SetVisible(bool visible) { m_visible = visible; }
    bool IsVisible() const { return m_visible; }
    render::ITexture* GetMaskTexture() const { return m_maskTexture; }
    // The mask texture's surface handle; null without texture.
    void* GetTextureHandle() const { return m_textureHandle; }

    // The area value at point (two floats, map pixels): 0 outside the mask rectangle (its
    // right and bottom edges count as inside) or without an area map.
    std::int32_t IsBehind(const float* point) const;
    // Clears the group mark and the pictures found behind it.
    void ResetMarks();
    // Draws the pictures behind it not drawn yet (drawn collects them over one pass; null:
    // each drawn once here), then the parts that have a ground texture, when the mask
    // texture is ready; a mask texture no longer ready is dropped from the parts.
    void Render(std::set<PictureBase*>* drawn = nullptr);

    std::int32_t GetDepth() const { return m_depth; }
    void SetDepth(std::int32_t depth) { m_depth = depth; }
    // The group name (set by the ground from the file name).
    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }
    const std::string& GetPath() const { return m_path; }
    float GetX() const { return m_x; }
    float GetY() const { return m_y; }
    float GetWidth() const { return m_width; }
    float GetHeight() const { return m_height; }
    // First column, first row, last column, last row of the covered ground blocks; all -1
    // when nothing is covered.
    const std::int32_t* GetBlockRange() const { return m_blockRange; }
    // One part per covered block, row by row.
    const std::vector<MaskPart*>& GetParts() const { return m_parts; }
    const AreaData& GetArea() const { return m_area; }
    // Pictures found behind this (ungrouped) mask picture this frame (not owned).
    const std::vector<PictureBase*>& GetBehind() const { return m_behind; }
    void AddBehind(PictureBase* picture) { m_behind.push_back(picture); }
    bool IsGroupMarked() const { return m_groupMarked; }
    void SetGroupMarked(bool marked) { m_groupMarked = marked; }
    // The layer record it was loaded for (not owned).
    LayerRecord* GetRecord() const { return m_record; }
    void SetRecord(LayerRecord* record) { m_record = record; }
    // timeGetTime of the last Render (construction before the first).
    std::uint32_t GetLastDrawn() const { return m_lastDrawn; }

private:
    void ReleaseParts();

    std::int32_t m_depth = -1000;
    std::string m_name;
    render::ITexture* m_maskTexture = nullptr;
    float m_width = 0.0f;
    float m_height = 0.0f;
    float m_x = 0.0f;
    float m_y = 0.0f;
    bool m_visible = false;
    std::int32_t m_blockRange[4] = {-1, -1, -1, -1};
    AreaData m_area;
    std::vector<MaskPart*> m_parts;
    std::string m_path;
    std::vector<PictureBase*> m_behind;
    bool m_groupMarked = false;
    LayerRecord* m_record = nullptr;
    std::uint32_t m_lastDrawn = 0;
    void* m_textureHandle = nullptr;
};

}  // namespace quor::world
