#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/host/IUpperText.h"

namespace quor::render {
class IEffect;
class IPrimitive;
class IStageStates;
class ITexture;
}  // namespace quor::render

namespace quor::world {

class GlyphFont;
class UpperTextGroup;

// A text over an object: its name in its group, screen position and depth, GBK text (20
// bytes at most), colour, and the cell of the group's texture that holds its picture.
class UpperText final : public render::IUpperText {
public:
    static constexpr std::size_t kMaxTextBytes = 20;

    UpperText(std::string name, UpperTextGroup* group) : m_name(std::move(name)), m_group(group) {}

    void SetVisible(bool visible) override { m_visible = visible ? 1 : 0; }
    bool IsVisible() override { return m_visible != 0; }
    void SetText(const char* text) override;
    const char* GetText() override { return m_text.c_str(); }
    void SetPosition(const float* position) override;
    const float* GetPosition() override { return m_position; }
    const char* GetName() override { return m_name.c_str(); }
    void Show() override;
    void SetColor(const float* colour) override;
    void GetColor(float* colour) override;

    bool Dirty() const { return m_dirty != 0; }
    std::uint32_t CellColumn() const { return m_cellColumn; }
    std::uint32_t CellRow() const { return m_cellRow; }

private:
    friend class UpperTextGroup;

    std::uint8_t m_visible = 1;
    std::string m_name;
    float m_position[3] = {};
    std::string m_text;
    UpperTextGroup* m_group;
    std::uint32_t m_cellColumn = 0;
    std::uint32_t m_cellRow = 0;
    float m_colour[4] = {};
    std::uint32_t m_dirty = 1;
};

// A named set of texts drawn with one glyph font into cells of a 1024 x 1024 target texture
// (each cell redrawn only when its text changed), then shown as one textured rectangle per
// queued text, nearest last, in one draw of the shared primitive.
class UpperTextGroup {
public:
    static constexpr int kTargetSize = 1024;
    static constexpr std::size_t kMaxDrawList = 200;

    explicit UpperTextGroup(std::string name) : m_name(std::move(name)) {}
    ~UpperTextGroup();
    UpperTextGroup(const UpperTextGroup&) = delete;
    UpperTextGroup& operator=(const UpperTextGroup&) = delete;

    // Takes the font of these parameters and a new target and depth surface; every text and
    // cell goes.
    void SetFont(const char* face, std::int32_t height, std::int32_t greyscale, std::int32_t extraWidth,
                 std::int32_t extraHeight, std::int32_t antialiased, std::int32_t italic, std::int32_t weight);
    // Null when the name is taken (or null).
    UpperText* CreateText(const char* name);
    bool DestroyText(render::IUpperText* text);
    bool DestroyText(const char* name);
    UpperText* FindText(const char* name);
    void ClearDrawList() { m_drawList.clear(); }
    void Render();
    // Device lost: the depth surface goes.
    void ReleaseDeviceTexture();
    // Device reset: a new target, cleared; a depth surface; every text drawn again.
    void RecreateDeviceObjects();
    // Every text and cell record goes; the textures and the font stay.
    void Clear();

    const std::string& GetName() const { return m_name; }
    void SetTextCell(UpperText* text, std::uint32_t column, std::uint32_t row);
    void GetTextCell(const UpperText* text, std::uint32_t* column, std::uint32_t* row) const;

    // What tests read.
    GlyphFont* Font() const { return m_font; }
    render::ITexture* Target() const { return m_target; }
    void* DepthSurface() const { return m_depthSurface; }
    std::int32_t CellWidth() const { return m_cellWidth; }
    std::int32_t CellHeight() const { return m_cellHeight; }
    std::int32_t Columns() const { return m_columns; }
    std::int32_t Rows() const { return m_rows; }
    std::int32_t Capacity() const { return m_capacity; }
    const std::vector<UpperText*>& DrawList() const { return m_drawList; }
    std::size_t CellRecordCount() const { return m_cellCache.size(); }
    // Texts redrawn into their cells by the last Render.
    int LastRedrawn() const { return m_lastRedrawn; }

private:
    friend class UpperText;
    friend class UpperTextMgr;
    struct CellRecord {
        std::int32_t cell;
        std::uint32_t column;
        std::uint32_t row;
    };

    void Queue(UpperText* text);
    void ReleaseResources();
    // Forgets the device objects without a host call (the host may be gone at process exit).
    void Abandon();
    void ForgetText(UpperText* text);

    std::unordered_map<std::string, std::unique_ptr<UpperText>> m_texts;
    GlyphFont* m_font = nullptr;
    render::ITexture* m_target = nullptr;
    void* m_depthSurface = nullptr;
    std::unordered_map<std::string, CellRecord> m_cellCache;
    std::vector<std::array<float, 4>> m_cellRects;
    std::vector<std::uint16_t> m_useCounts;
    // The name whose record holds each cell (empty: none), so a cell changes hands at once.
    std::vector<std::string> m_cellOwners;
    std::int32_t m_cellWidth = 0;
    std::int32_t m_cellHeight = 0;
    std::int32_t m_columns = 0;
    float m_inverseColumns = 0;
    std::int32_t m_rows = 0;
    std::int32_t m_capacity = 0;
    std::vector<UpperText*> m_drawList;
    std::int32_t m_nextFreshCell = 0;
    std::string m_name;
    std::uint8_t m_drawListOpen = 0;
    int m_lastRedrawn = 0;
};

// The process-wide set of text groups by name, with what they share: a primitive for 200
// texts (1,200 vertices), the "UpperText" effect and a dynamic buffer.
class UpperTextMgr {
public:
    static constexpr int kMaxVertices = 1200;

    static UpperTextMgr& Instance();

    UpperTextGroup* CreateGroup(const char* name);
    UpperTextGroup* FindGroup(const char* name);
    bool DestroyGroup(const char* name);
    bool DestroyGroup(UpperTextGroup* group);
    void RenderAll();
    void OnDeviceLost();
    void OnDeviceReset();
    // The shared objects go back to the renderer, then every group goes.
    void Clear();

    render::IPrimitive* Primitive() const { return m_primitive; }
    render::IEffect* Effect() const { return m_effect; }
    render::IStageStates* Buffer() const { return m_buffer; }

private:
    friend class UpperTextGroup;
    UpperTextMgr() = default;
    ~UpperTextMgr();
    void CreateShared();

    std::map<std::string, std::unique_ptr<UpperTextGroup>> m_groups;
    render::IPrimitive* m_primitive = nullptr;
    render::IEffect* m_effect = nullptr;
    render::IStageStates* m_buffer = nullptr;
};

}  // namespace quor::world
