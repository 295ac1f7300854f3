#include "world/scene/PlaneSheet.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/host/IMaterial.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"

namespace quor::world::plane {

namespace {

// Screen quads: pre-transformed position, colour and one texture pair.
constexpr std::uint32_t kScreenVertexFormat = 0x144;

// Float to integer toward zero, held inside the integer range (a NaN gives 0).
std::int32_t Cut(float value) {
    if (!(value == value)) return 0;
    constexpr float lo = static_cast<float>(std::numeric_limits<std::int32_t>::min());
    constexpr float hi = 2147483520.0f;  // the largest float below 2^31
    return static_cast<std::int32_t>(std::clamp(value, lo, hi));
}

}  // namespace

render::ITexture* LoadTexture(const char* name, const char* missingFormat, bool asError) {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return nullptr;
    const char* file = name ? name : "";
    render::ITexture* texture = *file ? renderer->LoadTexture(file, 0, 0, -3, 0, 0, 0) : nullptr;
    if (texture) return texture;
    if (asError)
        LogError(missingFormat, file);
    else
        LogWarning(missingFormat, file);
    return renderer->CreateTexture(256, 256, 0, 0, 1, 0);
}

void MakeQuad(render::IEffect* effect, render::IPrimitive** primitive, render::IMaterial** material) {
    *primitive = nullptr;
    *material = nullptr;
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return;
    *primitive = renderer->CreatePrimitive(7, kScreenVertexFormat);
    if (*primitive) (*primitive)->SetVertexCount(1, -1, 0, 1);
    *material = effect ? renderer->CreateMaterial(effect) : nullptr;
}

void ReleaseQuad(render::IPrimitive* primitive, render::IMaterial* material) {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return;
    if (primitive) renderer->ReleasePrimitive(primitive);
    if (material) renderer->ReleaseMaterial(material);
}

void ReleaseTexture(render::ITexture* texture) {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer && texture) renderer->ReleaseTexture(texture);
}

void LoadEffect(render::IEffect*& slot, const char* file, const char* technique) {
    render::IRenderer* renderer = Interfaces().renderer;
    // A second start-up without a shutdown keeps the one effect.
    if (!renderer || slot) return;
    slot = renderer->LoadEffect(file, technique);
}

void ReleaseEffect(render::IEffect*& slot) {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer && slot) renderer->ReleaseEffect(slot);
    slot = nullptr;
}

render::IMaterialParams* Params(render::IMaterial* material) {
    return material ? material->GetParameters() : nullptr;
}

void SetFloat(render::IMaterial* material, const char* name, float value) {
    if (render::IMaterialParams* params = Params(material)) params->SetFloat(name, value);
}

void SetVector(render::IMaterial* material, const char* name, float x, float y, float z, float w) {
    const float v[4] = {x, y, z, w};
    if (render::IMaterialParams* params = Params(material)) params->SetVector(name, v, 4);
}

bool OnScreen(const float* r) {
    int width = 0, height = 0;
    if (render::IRenderer* renderer = Interfaces().renderer) renderer->GetViewportSize(&width, &height);
    const float left = std::min(r[0], r[2]), right = std::max(r[0], r[2]);
    const float top = std::min(r[1], r[3]), bottom = std::max(r[1], r[3]);
    return left < static_cast<float>(width) && right > 0.0f && top < static_cast<float>(height) && bottom > 0.0f;
}

void SheetRect::Set(float left, float top, float right, float bottom) {
    rect[0] = left;
    rect[1] = top;
    rect[2] = right;
    rect[3] = bottom;
    x = left;
    y = top;
    width = Cut(right - left);
    height = Cut(bottom - top);
}

void SheetRect::SetWidth(std::int32_t value) {
    width = value;
    Follow();
}

void SheetRect::SetHeight(std::int32_t value) {
    height = value;
    Follow();
}

void SheetRect::SetX(std::int32_t value) {
    x = static_cast<float>(value);
    Follow();
}

void SheetRect::SetY(std::int32_t value) {
    y = static_cast<float>(value);
    Follow();
}

void SheetRect::MoveX(std::int32_t delta) {
    x += static_cast<float>(delta);
    Follow();
}

void SheetRect::MoveY(std::int32_t delta) {
    y += static_cast<float>(delta);
    Follow();
}

void SheetRect::Get(float* out) const {
    if (!out) return;
    for (int i = 0; i < 4; ++i) out[i] = rect[i];
}

void SheetRect::Shifted(float offsetX, float offsetY, float* out) const {
    out[0] = rect[0] + offsetX;
    out[1] = rect[1] + offsetY;
    out[2] = rect[2] + offsetX;
    out[3] = rect[3] + offsetY;
}

void SheetRect::Follow() {
    rect[0] = x;
    rect[1] = y;
    rect[2] = x + static_cast<float>(width);
    rect[3] = y + static_cast<float>(height);
}

}  // namespace quor::world::plane
