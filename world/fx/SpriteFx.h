#pragma once
#include <cstdint>
#include <string>

#include "world/fx/FxBase.h"
#include "world/fx/KeyLists.h"

namespace quor::render {
class IMaterial;
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

// One textured quad facing a direction: a whole texture (which may animate on its own) or
// the cells of a sprite sheet one after another, coloured over the node's life span.
class SpriteFx : public FxBase {
public:
    SpriteFx();
    ~SpriteFx() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void SetPlaying(bool play) override;
    void Deactivate() override;
    void Release() override;
    void Update() override;
    void Render() override;
    void SetPlaySpeed(float speed) override;
    float GetTextureAnimLength() override { return m_length; }
    void LoadTexture(const char* name) override;
    void GetTextureAnimInfo(float* columns, float* rows, float* third, float* fourth, char* name,
                            float* length, bool* flag) override;
    void SetTextureAnimLength(float length) override;
    bool GetBoundingBox(Vec3* min, Vec3* max) override;
    using FxBase::UpdateCulling;
    bool UpdateCulling() override;

    // --- state tests read ---
    bool IsWholeTexture() const { return m_wholeTexture; }
    std::int32_t AnimationLength() const { return m_animLength; }
    float Aspect() const { return m_aspect; }
    float FramesPerCell() const { return m_framesPerCell; }
    const Vec3& UpAxis() const { return m_up; }
    const Vec3& RightAxis() const { return m_right; }
    const Vec3& Facing() const { return m_facing; }
    render::ITexture* Texture() const { return m_texture; }
    render::IPrimitive* Primitive() const { return m_primitive; }
    render::IMaterial* Material() const { return m_material; }
    const ColorKeyList& Colors() const { return m_colors; }

private:
    // Loads a whole texture or, failing that, a blank one (load path).
    render::ITexture* LoadOrBlank(const char* path);
    // Reads a sheet's numbers into the cell fields; false when the four numbers are unreadable.
    void TakeSheet(float columns, float rows, float frames, float lastRowCells, float length, bool loop);
    // Animation length, life span and aspect of the texture now held.
    void TakeTextureTiming();
    // Gives back the texture held (when the renderer still knows it).
    void DropTexture();
    void SetTextureEverywhere(render::ITexture* texture);

    std::int32_t m_animLength = 0;
    std::int32_t m_phase = 0;
    std::int32_t m_dirType = 0;
    std::int32_t m_blendMode = 1;
    Vec3 m_direction{0.0f, 1.0f, 0.0f};
    float m_radius = 0.0f;
    float m_startScale = 1.0f;
    float m_endScale = 1.0f;
    render::ITexture* m_texture = nullptr;
    std::uint32_t m_playStart = 0;
    float m_aspect = 1.0f;
    render::IPrimitive* m_primitive = nullptr;
    render::IMaterial* m_material = nullptr;
    ColorKeyList m_colors;
    Vec3 m_up;
    Vec3 m_right;
    Vec3 m_facing;
    std::string m_textureName;
    std::string m_sheetPath;
    float m_counter = 0.0f;
    float m_length = 0.0f;
    float m_frames = 1.0f;
    float m_columns = 1.0f;
    float m_rows = 1.0f;
    float m_u = 0.0f;
    float m_v = 0.0f;
    float m_cellWidth = 1.0f;
    float m_cellHeight = 1.0f;
    float m_lastRowEndU = 0.0f;
    float m_lastRowCells = 0.0f;
    bool m_sheetLoop = true;
    bool m_stepping = true;
    float m_framesPerCell = 0.0f;
    bool m_wholeTexture = true;
    Vec3 m_boundMin;
    Vec3 m_boundMax;
    void* m_surface = nullptr;
};

}  // namespace quor::world
