#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/host/IEffect.h"
#include "platform/host/IMaterial.h"
#include "platform/host/IRenderCamera.h"
#include "platform/host/IRenderer.h"
#include "platform/win32/Messages.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Light.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/ModelMaterial.h"
#include "world/mesh/SubMesh.h"
#include "world/scene/IScene.h"
#include "world/scene/World.h"
#include "world/skeleton/MeshSkelSegment.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace quor {

namespace {

constexpr std::int32_t kTransparentPass = 0x60;
// The renderer-side pair of material switches the skin techniques refresh before drawing:
// the second takes the negation of the first.
constexpr std::uint32_t kSkinFlagSource = 4;
constexpr std::uint32_t kSkinFlagTarget = 5;

// Each line goes to the debugger output through a bounded buffer: names come from the host.
template <typename... Args>
void Debug(const char* format, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    win32::OutputDebugStringA(line);
}

// Object identities at the full width of a pointer.
std::uintmax_t Id(const void* p) { return std::uintmax_t(reinterpret_cast<std::uintptr_t>(p)); }

}  // namespace

void MeshSkelSegment::UpdateHardwareSkinShader(std::uint32_t subMesh, const Matrix& world, std::uint32_t) {
    SubMesh* sub = GetSubMesh(subMesh);
    render::IMaterial* material = sub ? sub->Material() : nullptr;
    if (!sub || !material) return;
    render::IRenderable* renderable = sub->Renderable();
    const std::int32_t pass = renderable ? renderable->GetDrawPass() : sub->DrawPass();
    const bool alpha = pass == kTransparentPass;
    const std::string name(sub->Record() ? sub->Record()->name : "",
                           sub->Record() ? strnlen(sub->Record()->name, sizeof sub->Record()->name) : 0);
    if (!(alpha ? sub->SkinAlphaTechnique() : sub->SkinTechnique())) {
        render::IEffect* technique = world::HardwareSkinTechnique(alpha);
        sub->SetSkinTechnique(alpha, technique);
        const bool set = material->SetTechnique(technique);
        Debug(set ? "[%s] material setTechnique MeshBase::GetTechniqueHardwareSkin() succeed!\n"
                  : "[%s] material setTechnique MeshBase::GetTechniqueHardwareSkin() failed!\n",
              name.c_str());
        Debug("submesh[%s] meshsegment ptr[%" PRIxMAX "] material commonvars ptr[%" PRIxMAX "] techptr[%" PRIxMAX
              "] material ptr[%" PRIxMAX "] printallitems\n",
              name.c_str(), Id(this), Id(material->GetParameters()), Id(technique), Id(material));
        material->PrintAllItems();
        const char* techniqueName = technique ? technique->GetName() : nullptr;
        Debug("technique file[%s] print all items\n", techniqueName ? techniqueName : "");
        if (technique) technique->PrintAllItems();
    }
    render::IMaterialParams* params = material->GetParameters();
    render::IEffect* technique = material->GetTechnique();
    if (params) {
        const std::uint32_t bones = m_palette ? m_paletteSize : 0;
        if (!params->SetMatrixArray("boneMatrix", bones ? m_palette[0].m : nullptr, bones)) {
            const char* techniqueName = technique ? technique->GetName() : nullptr;
            Debug("submesh[%s] tech_name[%s] UpdateHardwareSkinShader SetFloatArray failed!\nmeshsegment ptr[%" PRIxMAX
                  "] vars ptr[%" PRIxMAX "],tech ptr[%" PRIxMAX "], material ptr[%" PRIxMAX "]\n",
                  name.c_str(), techniqueName ? techniqueName : "", Id(this), Id(params), Id(technique), Id(material));
        }
        params->SetFloat("fAlpha", float(sub->Alpha()) / 255.0f);
    }
    material->SetFlag(kSkinFlagTarget, material->GetFlag(kSkinFlagSource) == 0 ? 1u : 0u);
    render::IRenderer* renderer = Interfaces().renderer;
    render::IRenderCamera* camera = renderer ? renderer->GetCurrentRenderCamera() : nullptr;
    if (!params) return;
    if (world::IScene* scene = World::Instance().GetCurrentScene()) {
        if (world::Light* light = scene->GetMainLight()) {
            Vec3 direction;
            light->GetWorldPosition(direction);
            const float v[3] = {direction.x, direction.y, direction.z};
            params->SetVector("lightDir", v, 3);
        }
    }
    // Without a camera there is no view to project into: both transforms keep their values.
    if (!camera || !camera->GetViewMatrix() || !camera->GetProjectionMatrix()) return;
    Matrix view, projection, m1, m2;
    std::memcpy(view.m, camera->GetViewMatrix(), sizeof view.m);
    std::memcpy(projection.m, camera->GetProjectionMatrix(), sizeof projection.m);
    MatrixMultiplyFast(world, view, m1);
    MatrixMultiplyFast(m1, projection, m2);
    params->SetMatrix("worldMatrix", world.m);
    params->SetMatrix("ViewProjMatrix", m2.m);
}

}  // namespace quor
