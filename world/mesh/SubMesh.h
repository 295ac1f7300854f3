#pragma once
#include <cstdint>
#include <string>
#include "world/mesh/IModel.h"

namespace quor::render {
class IEffect;
class IRenderCamera;
class IMaterial;
class IMaterialParams;
class IRenderable;
class IRenderer;
class IRenderState;
}  // namespace quor::render

namespace quor {

class MeshSegment;
struct OldSubMeshRecord;
struct SubMeshInfo;

// RenderModeDesc is the host's (world/mesh/IModel.h).

// The draw unit of one sub-mesh of a segment: its renderable, material, techniques (normal and
// alpha), alpha byte and transparency. A technique from an effect file is owned; the default
// techniques and a material's own technique are not.
class SubMesh {
public:
    static constexpr int kDefaultSourceBlend = 5;
    static constexpr int kDefaultDestinationBlend = 6;
    static constexpr std::uint32_t kDefaultColourOp = 4;
    static constexpr std::int32_t kOpaquePass = 0x30;
    static constexpr std::int32_t kTransparentPass = 0x60;
    static constexpr int kStages = 8;

    // Makes the renderable through the world's renderer.
    SubMesh();
    ~SubMesh();
    SubMesh(const SubMesh&) = delete;
    SubMesh& operator=(const SubMesh&) = delete;

    void Attach(MeshSegment* segment, SubMeshInfo* record, std::uint32_t index);

    // The material the sub-mesh draws with (null: none); takes its own reference.
    void SetMaterial(render::IMaterial* material);
    // Technique, transparency, blend and material values of an old sub-mesh record.
    bool ApplyRecord(const OldSubMeshRecord& record);
    void SetAlpha(std::uint8_t alpha, bool skinned);
    // The technique file and its "_alpha" companion, both known to the renderer already.
    bool LoadTechniqueFile(const std::string& name);
    // A technique of an effect file, with the file's "TAlpha" as the alpha one.
    bool LoadTechnique(const std::string& file, const std::string& technique);
    bool UseDefaultTechnique(bool transparent);
    // Binds the shared stage state to every named layer's stage and gives the stage its uv
    // animation.
    void ApplyTextureTransforms(const SubMeshInfo& info);
    // The old record's texture files into the material's stages named after the layers.
    void LoadTextures(const SubMeshInfo& info, const OldSubMeshRecord& record);
    bool IsTransparent() const;
    // Same material, same transparency, same alpha.
    bool SameState(const SubMesh& other) const;
    void SetPassOverride(std::uint8_t pass);
    void SetRenderMode(const RenderModeDesc& desc);
    // 0x60 for the transparent pass, 0x30 for the opaque one, or the override.
    std::int32_t DrawPass() const;

    render::IRenderable* Renderable() const { return m_renderable; }
    render::IMaterial* Material() const { return m_material; }
    render::IMaterialParams* Parameters() const { return m_params; }
    render::IEffect* Technique() const { return m_technique; }
    render::IEffect* NormalTechnique() const { return m_normal; }
    render::IEffect* AlphaTechnique() const { return m_alpha; }
    render::IEffect* SkinTechnique() const { return m_skinTechnique; }
    render::IEffect* SkinAlphaTechnique() const { return m_skinAlphaTechnique; }
    void SetSkinTechnique(bool alpha, render::IEffect* technique) {
        (alpha ? m_skinAlphaTechnique : m_skinTechnique) = technique;
    }
    render::IRenderState* BlendState() const { return m_blendState; }
    render::IRenderState* RenderModeState() const { return m_renderModeState; }
    std::uint8_t Alpha() const { return m_alpha8; }
    bool TransparentFlag() const { return m_transparent != 0; }
    bool Visible() const { return m_visible != 0; }
    void SetVisible(bool visible) { m_visible = visible ? 1 : 0; }
    std::uint32_t Index() const { return m_index; }
    MeshSegment* Segment() const { return m_segment; }
    SubMeshInfo* Record() const { return m_record; }
    void SetMipArgument(std::int32_t mip) { m_mip = mip; }

    // Record flags. kOwnCamera: the sub-mesh draws through the render camera it was given (the
    // sky's, whose depth range is its own) instead of the frame's.
    static constexpr std::uint8_t kOwnCamera = 32;
    std::uint8_t RecordFlags() const { return m_recordFlags; }
    void SetRecordFlag(std::uint8_t flag) { m_recordFlags = std::uint8_t(m_recordFlags | flag); }
    render::IRenderCamera* RenderCamera() const { return m_renderCamera; }
    // The camera is handed to the renderable at once.
    void SetRenderCamera(render::IRenderCamera* camera);
    // Hands the record's flags and camera to the renderable.
    void RefreshRecord();
    // Its range in the mesh's current vertex buffer and its entry in the mesh's draw list
    // (-1: none).
    std::int32_t BufferRange() const { return m_bufferRange; }
    void SetBufferRange(std::int32_t range) { m_bufferRange = range; }
    std::int32_t DrawEntry() const { return m_drawEntry; }
    void SetDrawEntry(std::int32_t entry) { m_drawEntry = entry; }

    // The record's diffuse alpha as a byte: x 255 truncated; values outside 0..1 (and NaN)
    // are clamped first, so they cannot wrap.
    static std::uint8_t AlphaByte(float diffuseAlpha);
    // The byte repeated into all four bytes (the texture factor of the default techniques).
    static std::uint32_t RepeatedAlpha(std::uint8_t alpha) { return alpha * 0x01010101u; }
    // The technique file of an effect: its last two characters replaced by "tech" ("x.fx" gives
    // "x.tech"); empty for names under two characters, which go straight to the fallbacks.
    static std::string TechniqueFileName(const std::string& effect);
    // "_alpha" before the last "." (the extension kept), or appended when there is no ".".
    static std::string AlphaName(const std::string& name);
    // The record's colour operation when it is 4 or 5, else 4.
    static std::uint32_t ColourOp(std::uint32_t recordOp) { return recordOp == 4 || recordOp == 5 ? recordOp : kDefaultColourOp; }
    // The record's blend pair, or (5, 6) when either lies outside 1..15 or the technique is a
    // default one.
    static void ChooseBlend(int recordSource, int recordDestination, bool defaultTechnique, int& source,
                            int& destination);

private:
    // Installs a new material of the normal technique (the old material's state copied into
    // it); owned: the effects were made for this sub-mesh and go with it. False when normal is
    // null, current already, or gives no material.
    bool InstallTechniques(render::IEffect* normal, render::IEffect* alpha, bool owned);
    void ReleaseTechniques();
    void ChooseDrawPass();
    bool IsDefaultTechnique(render::IEffect* effect) const;

    render::IRenderer* m_renderer = nullptr;
    std::uint8_t m_transparent = 0;
    std::uint8_t m_alpha8 = 255;
    std::uint8_t m_passOverride = 0;
    render::IRenderable* m_renderable = nullptr;
    render::IEffect* m_technique = nullptr;
    render::IEffect* m_normal = nullptr;
    render::IEffect* m_alpha = nullptr;
    std::uint8_t m_ownsNormal = 0;
    std::uint8_t m_ownsAlpha = 0;
    render::IMaterial* m_material = nullptr;
    render::IMaterialParams* m_params = nullptr;
    render::IRenderState* m_blendState = nullptr;
    render::IRenderState* m_renderModeState = nullptr;
    render::IEffect* m_skinTechnique = nullptr;
    render::IEffect* m_skinAlphaTechnique = nullptr;
    std::uint8_t m_visible = 1;
    SubMeshInfo* m_record = nullptr;
    MeshSegment* m_segment = nullptr;
    std::uint32_t m_index = 0;
    // The mip argument of textures of old records (-3 - the segment's load priority).
    std::int32_t m_mip = -3;
    std::int32_t m_bufferRange = -1;
    std::int32_t m_drawEntry = -1;
    std::uint8_t m_recordFlags = 0;
    render::IRenderCamera* m_renderCamera = nullptr;
};

// Sets a flag of a sub-mesh record (the sky sets SubMesh::kOwnCamera) and refreshes the record;
// a null record is ignored.
void SetSubMeshRecordFlag(SubMesh* record, std::uint8_t flag);

}  // namespace quor
