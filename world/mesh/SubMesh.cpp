#include "world/mesh/SubMesh.h"

#include <cmath>
#include <cstring>

#include "platform/host/IEffect.h"
#include "platform/host/IMaterial.h"
#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/ModelMaterial.h"

namespace quor {

namespace {

// Old records were written on a little-endian machine; read their fields byte by byte.
std::uint32_t U32At(const std::uint8_t* raw, std::size_t offset) {
    return std::uint32_t(raw[offset]) | std::uint32_t(raw[offset + 1]) << 8 | std::uint32_t(raw[offset + 2]) << 16 |
           std::uint32_t(raw[offset + 3]) << 24;
}

float F32At(const std::uint8_t* raw, std::size_t offset) {
    const std::uint32_t bits = U32At(raw, offset);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Byte offsets of the material fields of an old record.
constexpr std::size_t kHasColourOffset = 61;
constexpr std::size_t kForceTransparentOffset = 62;
constexpr std::size_t kOptionOffset = 63;
constexpr std::size_t kSecondOptionOffset = 64;
constexpr std::size_t kSecondAlphaTestOffset = 69;
constexpr std::size_t kDiffuseOffset = 70;
constexpr std::size_t kDiffuseAlphaOffset = 82;
constexpr std::size_t kAmbientOffset = 86;
constexpr std::size_t kSpecularOffset = 102;
constexpr std::size_t kEmissiveOffset = 118;
constexpr std::size_t kPowerOffset = 134;
constexpr std::size_t kSourceBlendOffset = 146;
constexpr std::size_t kDestinationBlendOffset = 150;
constexpr std::size_t kColourOpOffset = 154;

constexpr std::int32_t kAlphaStateSetter = 5;
constexpr int kEffectFileKind = 1;

// The names of a stage and of a layer are equal as far as the layer's 64-byte field goes.
bool SameName(const char* stage, const char* layer) {
    return stage && std::strncmp(stage, layer, TextureLayer::kNameSize) == 0;
}

void FillKeyAnimation(const TextureLayer& layer, render::TextureAnimation& a) {
    const std::size_t keys = layer.keys.size() / 5;
    if (keys == 0) return;
    const float* first = layer.keys.data();
    const float* last = first + 5 * (keys - 1);
    const double length = layer.keyTimes.Length();
    // A key table without length has no rate to move at: the first key holds.
    const bool moves = length > 0.0 && std::isfinite(length);
    auto rate = [&](int c) { return moves ? float((last[c] - first[c]) / length) : 0.0f; };
    a.rateU = rate(0);
    a.rateV = rate(1);
    a.rateRotation = rate(4);
    a.offsetU = a.rateU == 0.0f ? first[0] : 0.0f;
    a.offsetV = a.rateV == 0.0f ? first[1] : 0.0f;
    a.rotation = a.rateRotation == 0.0f ? first[4] : 0.0f;
    a.scaleU = first[2];
    a.scaleV = first[3];
}

}  // namespace

SubMesh::SubMesh() : m_renderer(Interfaces().renderer) {
    if (m_renderer) m_renderable = m_renderer->CreateRenderable(nullptr);
}

SubMesh::~SubMesh() {
    if (!m_renderer) return;
    ReleaseTechniques();
    if (m_material) m_renderer->ReleaseMaterial(m_material);
    m_material = nullptr;
    m_params = nullptr;
    if (m_renderable) m_renderer->ReleaseRenderable(m_renderable);
    m_renderable = nullptr;
}

void SubMesh::Attach(MeshSegment* segment, SubMeshInfo* record, std::uint32_t index) {
    m_segment = segment;
    m_record = record;
    m_index = index;
}

void SubMesh::SetRenderCamera(render::IRenderCamera* camera) {
    m_renderCamera = camera;
    RefreshRecord();
}

void SubMesh::RefreshRecord() {
    if (m_renderable) m_renderable->SetRenderCamera(m_recordFlags & kOwnCamera ? m_renderCamera : nullptr);
}

void SetSubMeshRecordFlag(SubMesh* record, std::uint8_t flag) {
    if (!record) return;
    record->SetRecordFlag(flag);
    record->RefreshRecord();
}

bool SubMesh::IsDefaultTechnique(render::IEffect* effect) const {
    return effect && (effect == world::DefaultModelTechnique(false) || effect == world::DefaultModelTechnique(true));
}

void SubMesh::ReleaseTechniques() {
    if (m_renderer) {
        if (m_ownsAlpha && m_alpha) m_renderer->ReleaseEffect(m_alpha);
        if (m_ownsNormal && m_normal) m_renderer->ReleaseEffect(m_normal);
    }
    m_normal = m_alpha = m_technique = nullptr;
    m_ownsNormal = m_ownsAlpha = 0;
}

void SubMesh::SetMaterial(render::IMaterial* material) {
    if (material == m_material || !m_renderer) return;
    ReleaseTechniques();
    m_normal = material ? material->GetTechnique() : nullptr;
    if (IsDefaultTechnique(m_normal)) m_alpha = world::DefaultModelTechnique(true);
    m_technique = m_normal;
    if (material) material->AddRef();
    if (m_material) m_renderer->ReleaseMaterial(m_material);
    m_material = material;
    m_blendState = nullptr;
    if (m_renderable) {
        m_renderable->SetMaterial(material);
        m_renderable->SetBlendState(nullptr);
        m_renderable->SetTexture(nullptr);
    }
    ChooseDrawPass();
    m_params = material ? material->GetParameters() : nullptr;
    if (!material) return;
    render::IRenderState* stageState = world::SharedStageState();
    for (int s = 0; s < kStages; ++s) {
        if (material->GetTextureName(std::uint32_t(s))) material->SetStageState(std::uint32_t(s), stageState);
    }
}

bool SubMesh::InstallTechniques(render::IEffect* normal, render::IEffect* alpha, bool owned) {
    if (!normal || normal == m_normal || !m_renderer) return false;
    render::IMaterial* fresh = m_renderer->GetMeshMaterial(normal);
    if (!fresh) return false;
    if (m_material) {
        fresh->CopyStateFrom(m_material);
        m_renderer->ReleaseMaterial(m_material);
    }
    ReleaseTechniques();
    m_technique = m_normal = normal;
    m_alpha = alpha;
    m_ownsNormal = m_ownsAlpha = owned ? 1 : 0;
    m_material = fresh;
    if (m_renderable) m_renderable->SetMaterial(fresh);
    m_params = fresh->GetParameters();
    return true;
}

bool SubMesh::LoadTechniqueFile(const std::string& name) {
    if (!m_renderer) return false;
    render::IEffect* normal = m_renderer->FindEffect(name.c_str());
    if (!normal) return false;
    render::IEffect* alpha = m_renderer->FindEffect(AlphaName(name).c_str());
    if (InstallTechniques(normal, alpha, true)) return true;
    if (alpha) m_renderer->ReleaseEffect(alpha);
    m_renderer->ReleaseEffect(normal);
    return false;
}

bool SubMesh::LoadTechnique(const std::string& file, const std::string& technique) {
    if (!m_renderer) return false;
    render::IEffect* normal = m_renderer->LoadEffect(file.c_str(), technique.c_str());
    if (!normal) return false;
    render::IEffect* alpha = m_renderer->LoadEffect(file.c_str(), "TAlpha");
    if (!InstallTechniques(normal, alpha, true)) {
        if (alpha) m_renderer->ReleaseEffect(alpha);
        m_renderer->ReleaseEffect(normal);
    }
    return true;
}

bool SubMesh::UseDefaultTechnique(bool transparent) {
    render::IEffect* alpha = world::DefaultModelTechnique(true);
    render::IEffect* normal = transparent ? alpha : world::DefaultModelTechnique(false);
    if (normal && normal == m_normal) {
        m_alpha = alpha;
        return true;
    }
    return InstallTechniques(normal, alpha, false);
}

bool SubMesh::ApplyRecord(const OldSubMeshRecord& record) {
    const std::uint8_t* raw = record.raw;
    m_alpha8 = AlphaByte(F32At(raw, kDiffuseAlphaOffset));
    m_transparent = raw[kForceTransparentOffset] != 0 || m_alpha8 != 255 ? 1 : 0;
    const std::uint32_t repeated = RepeatedAlpha(m_alpha8);

    const std::string& effect = record.effectFile;
    if (!effect.empty()) {
        const std::string techniqueFile = TechniqueFileName(effect);
        if (techniqueFile.empty() || !LoadTechniqueFile(techniqueFile)) {
            const std::size_t split = effect.find("::");
            const bool loaded = split != std::string::npos
                                    ? LoadTechnique(effect.substr(0, split), effect.substr(split + 2))
                                    : LoadTechnique(effect, "TNoShader");
            if (!loaded) return false;
        }
        if (m_renderable) {
            if (render::IRenderState* block = m_renderable->GetStateBlock()) block->SetValue(kAlphaStateSetter, float(repeated));
        }
    } else {
        if (!UseDefaultTechnique(m_transparent != 0)) return false;
        if (m_params) m_params->SetInt("Alpha", std::int32_t(repeated));
    }
    if (!m_material) return false;

    m_material->SetRecord(raw, OldSubMeshRecord::kSize);
    m_material->SetFlag(0, raw[kSecondOptionOffset]);
    m_material->SetFlag(1, raw[kOptionOffset] != 0 ? 1u : 0u);
    m_material->SetFlag(2, raw[kOptionOffset]);

    if (m_params) m_params->SetInt("DiffuseColorOp", std::int32_t(ColourOp(U32At(raw, kColourOpOffset))));

    int source = 0, destination = 0;
    ChooseBlend(std::int32_t(U32At(raw, kSourceBlendOffset)), std::int32_t(U32At(raw, kDestinationBlendOffset)),
                IsDefaultTechnique(m_technique), source, destination);
    if (m_technique && m_technique->GetKind() == kEffectFileKind) {
        if (m_params) {
            m_params->SetInt("BlendEnable", m_transparent ? 1 : 0);
            m_params->SetInt("SrcBlendMode", source);
            m_params->SetInt("DestBlendMode", destination);
        }
        m_blendState = nullptr;
    } else {
        m_blendState = world::AcquireBlendState(source, destination);
        if (m_transparent && m_renderable) m_renderable->SetBlendState(m_blendState);
    }

    ChooseDrawPass();
    m_material->SetAlphaTest(record.alphaTestEnable);
    if (record.alphaTestEnable) m_material->SetAlphaTestValues(raw[kHasColourOffset], raw[kSecondAlphaTestOffset]);
    const float diffuse[4] = {F32At(raw, kDiffuseOffset), F32At(raw, kDiffuseOffset + 4), F32At(raw, kDiffuseOffset + 8),
                              1.0f};
    float ambient[4], specular[4], emissive[4];
    for (int i = 0; i < 4; ++i) {
        ambient[i] = F32At(raw, kAmbientOffset + 4 * i);
        specular[i] = F32At(raw, kSpecularOffset + 4 * i);
        emissive[i] = F32At(raw, kEmissiveOffset + 4 * i);
    }
    m_material->SetColours(diffuse, ambient, specular, emissive, F32At(raw, kPowerOffset));
    return true;
}

void SubMesh::SetAlpha(std::uint8_t alpha, bool skinned) {
    m_alpha8 = alpha;
    if (!skinned) {
        if (!m_alpha && m_normal && m_normal->GetKind() == kEffectFileKind && m_renderer) {
            const char* full = m_normal->GetName();
            const std::string name = full ? full : "";
            const std::size_t split = name.find("::");
            if (split != std::string::npos) {
                m_alpha = m_renderer->CreateEffectFromDesc((name.substr(0, split + 2) + "TAlpha").c_str());
                m_ownsAlpha = m_alpha ? 1 : 0;
            }
        }
        if (!m_alpha) return;
        m_technique = alpha == 255 ? m_normal : m_alpha;
    } else {
        if (m_skinAlphaTechnique) return;
        m_skinTechnique = world::HardwareSkinTechnique(false);
        m_skinAlphaTechnique = world::HardwareSkinTechnique(true);
        m_technique = alpha == 255 ? m_skinTechnique : m_skinAlphaTechnique;
    }
    if (m_material) m_material->SetTechnique(m_technique);
    if (m_params) m_params->SetInt("Alpha", std::int32_t(std::uint32_t(alpha) << 24));
    ChooseDrawPass();
}

void SubMesh::ApplyTextureTransforms(const SubMeshInfo& info) {
    if (!m_material) return;
    render::IRenderState* stageState = world::SharedStageState();
    for (const TextureLayer& layer : info.layers) {
        if (layer.name[0] == 0) continue;
        int stage = -1;
        for (int s = 0; s < kStages && stage < 0; ++s) {
            if (SameName(m_material->GetTextureName(std::uint32_t(s)), layer.name)) stage = s;
        }
        if (stage < 0) continue;
        m_material->SetStageState(std::uint32_t(stage), stageState);
        if (!layer.uvAnimEnabled) continue;
        render::TextureAnimation a;
        a.centreU = a.centreV = 0.5f;
        a.option = layer.options[0];
        if (layer.uvAnimMode == 0) {
            a.offsetU = layer.uvAnimParams[0];
            a.offsetV = layer.uvAnimParams[1];
            a.scaleU = layer.uvAnimParams[2];
            a.scaleV = layer.uvAnimParams[3];
            a.rotation = layer.uvAnimParams[4];
        } else {
            FillKeyAnimation(layer, a);
        }
        m_material->SetTextureAnimation(std::uint32_t(stage), a);
    }
}

void SubMesh::LoadTextures(const SubMeshInfo& info, const OldSubMeshRecord& record) {
    if (!m_material || !m_renderer) return;
    for (int i = 0; i < SubMeshInfo::kLayerCount; ++i) {
        const std::string& file = record.textureFiles[i];
        if (file.empty()) continue;
        render::ITexture* texture = m_renderer->LoadTexture(file.c_str(), 0, m_mip != 0 ? 1 : 0, -3, 0, 0, 0);
        if (!texture) continue;
        m_material->SetTexture(info.layers[i].name, texture);
        m_renderer->ReleaseTexture(texture);
    }
    ApplyTextureTransforms(info);
}

bool SubMesh::IsTransparent() const { return m_transparent != 0 || (m_technique && m_technique->IsTransparent()); }

bool SubMesh::SameState(const SubMesh& other) const {
    return m_material == other.m_material && IsTransparent() == other.IsTransparent() && m_alpha8 == other.m_alpha8;
}

std::int32_t SubMesh::DrawPass() const {
    if (m_passOverride) return m_passOverride;
    return IsTransparent() ? kTransparentPass : kOpaquePass;
}

void SubMesh::ChooseDrawPass() {
    if (m_renderable) m_renderable->SetDrawPass(DrawPass());
}

void SubMesh::SetPassOverride(std::uint8_t pass) {
    m_passOverride = pass;
    ChooseDrawPass();
}

void SubMesh::SetRenderMode(const RenderModeDesc& desc) {
    const std::int32_t mode = !desc.enabled ? 1 : (desc.doubleFlag && !IsTransparent() ? 2 : 3);
    m_renderModeState = world::AcquireRenderModeState(mode, desc.value0, desc.value1);
    if (m_renderable && m_renderModeState) m_renderable->SetRenderState(m_renderModeState);
}

std::uint8_t SubMesh::AlphaByte(float diffuseAlpha) {
    if (!(diffuseAlpha > 0.0f)) return 0;  // also NaN
    if (diffuseAlpha >= 1.0f) return 255;
    return static_cast<std::uint8_t>(diffuseAlpha * 255.0f);
}

std::string SubMesh::TechniqueFileName(const std::string& effect) {
    if (effect.size() < 2) return {};
    return effect.substr(0, effect.size() - 2) + "tech";
}

std::string SubMesh::AlphaName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return name + "_alpha";
    return name.substr(0, dot) + "_alpha" + name.substr(dot);
}

void SubMesh::ChooseBlend(int recordSource, int recordDestination, bool defaultTechnique, int& source,
                          int& destination) {
    source = recordSource;
    destination = recordDestination;
    if (defaultTechnique || source < 1 || source > 15 || destination < 1 || destination > 15) {
        source = kDefaultSourceBlend;
        destination = kDefaultDestinationBlend;
    }
}

}  // namespace quor
