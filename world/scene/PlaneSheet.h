#pragma once
// What the 2D scene's plane effects (fog, fire, lightning) share: the screen quad they draw
// through, their texture loading, their effect parameters and their visibility test.
#include <cstdint>

namespace quor::render {
class IEffect;
class IMaterial;
class IMaterialParams;
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world::plane {

// A texture from a file, or a blank 256 x 256 one with the message (printf form naming the
// file) logged as an error or a warning, so that a sheet always draws.
render::ITexture* LoadTexture(const char* name, const char* missingFormat, bool asError);

// The screen quad (kind 7, screen vertex format) with its material from the shared effect;
// the material is null when the effect is.
void MakeQuad(render::IEffect* effect, render::IPrimitive** primitive, render::IMaterial** material);
void ReleaseQuad(render::IPrimitive* primitive, render::IMaterial* material);
void ReleaseTexture(render::ITexture* texture);
// Loads or releases a process-wide effect slot.
void LoadEffect(render::IEffect*& slot, const char* file, const char* technique);
void ReleaseEffect(render::IEffect*& slot);

// The material's parameter block; null without a material or parameters.
render::IMaterialParams* Params(render::IMaterial* material);
void SetFloat(render::IMaterial* material, const char* name, float value);
void SetVector(render::IMaterial* material, const char* name, float x, float y, float z, float w);

// Whether a screen rectangle (left, top, right, bottom, either edge order) meets the
// viewport: any overlap draws, so a sheet larger than the screen is drawn too.
bool OnScreen(const float* screenRect);

// The rectangle bookkeeping of the fog and fire sheets: position (x, y), integer size and
// the rectangle they imply.
struct SheetRect {
    float rect[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float x = 0.0f;
    float y = 0.0f;
    std::int32_t width = 0;
    std::int32_t height = 0;

    void Set(float left, float top, float right, float bottom);
    void SetWidth(std::int32_t value);
    void SetHeight(std::int32_t value);
    void SetX(std::int32_t value);
    void SetY(std::int32_t value);
    void MoveX(std::int32_t delta);
    void MoveY(std::int32_t delta);
    std::int32_t GetX() const { return static_cast<std::int32_t>(x); }
    std::int32_t GetY() const { return static_cast<std::int32_t>(y); }
    void Get(float* out) const;
    // The rectangle shifted by the view offset.
    void Shifted(float offsetX, float offsetY, float* out) const;

private:
    void Follow();
};

}  // namespace quor::world::plane
