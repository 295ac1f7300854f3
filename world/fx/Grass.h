#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "world/core/VisibleObject.h"
#include "world/core/math/Matrix.h"

namespace quor::render {
class IEffect;
class IMaterial;
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

class GrassMgr;

// The six planes of a view-projection matrix, unnormalised, for the grass culling.
struct GrassFrustum {
    float planes[6][4] = {};
    void FromMatrix(const Matrix& m);
    // False when the point lies more than 0.0001 behind any plane.
    bool Contains(const Vec3& point) const;
};

// A patch of grass: a star of crossCount vertical quads through the patch's origin, height
// high and height wide, whose top edges sway. Its texture belongs to the manager's cache.
class Grass : public VisibleObject {
public:
    explicit Grass(GrassMgr* manager);
    ~Grass() override;

    // false (logged) for a missing texture or primitive; an empty name succeeds without
    // geometry.
    bool Init(const char* textureName, int height, int crossCount);
    void SetWind(int rangeX, int rangeZ, float speed);
    // One sway step (patches that sway and have a texture).
    void Animate();
    // The fog factor for the patch and, with colour, the fog colour.
    void SetFog(float factor, const float* colour);
    void Draw();

    bool IsVisible() override { return m_visible != 0; }

    // The shared "Grass" effect every patch's material is made from: loaded at the world's
    // start-up, released at its shutdown.
    static void LoadSharedEffect();
    static void ReleaseSharedEffect();
    static render::IEffect* SharedEffect();
    void SetVisibleFlag(bool visible) { m_visible = visible ? 1 : 0; }

    const std::string& GetName() const { return m_name; }
    void SetColour(std::uint32_t argb) { m_colour = argb; }
    void SetRanges(int rangeX, int rangeZ, float speed) { m_rangeX = rangeX, m_rangeZ = rangeZ, m_speed = speed; }
    bool HasGeometry() const { return m_primitive != nullptr; }
    render::IPrimitive* Primitive() const { return m_primitive; }
    render::IMaterial* Material() const { return m_material; }
    render::ITexture* Texture() const { return m_texture; }
    int TextureWidth() const { return m_textureWidth; }
    float SwayX() const { return m_swayX; }
    float SwayZ() const { return m_swayZ; }
    float SpeedX() const { return m_speedX; }
    float SpeedZ() const { return m_speedZ; }
    // A vertex as the patch writes it into its primitive (position, colour, u, v), six per quad.
    struct Vertex {
        float x, y, z;
        std::uint32_t colour;
        float u, v;
    };

private:
    void WriteGeometry(bool sway);

    render::IPrimitive* m_primitive = nullptr;
    render::ITexture* m_texture = nullptr;
    std::uint8_t m_visible = 0;
    GrassMgr* m_manager;
    std::string m_name;
    std::uint32_t m_colour = 0xFFFF0000u;
    std::uint8_t m_swaying = 0;
    std::int32_t m_crossCount = 0;
    std::int32_t m_textureWidth = 0;
    std::int32_t m_height = 0;
    std::int32_t m_rangeX = 0, m_rangeZ = 0;
    float m_speed = 0;
    float m_speedX = 0, m_speedZ = 0;
    float m_swayX = 0, m_swayZ = 0;
    render::IMaterial* m_material = nullptr;
    std::string m_textureName;
    // dx, dz of each quad's edge (they change only with the height and the quad count).
    std::vector<float> m_quadOffsets;
};

// A 3D scene's grass: creates and removes patches, caches their textures by name, culls
// them, sways them every 30 ms of the millisecond clock, fogs and draws them.
class GrassMgr {
public:
    GrassMgr();
    ~GrassMgr();
    GrassMgr(const GrassMgr&) = delete;
    GrassMgr& operator=(const GrassMgr&) = delete;

    // Null (logged) when the patch cannot be made.
    Grass* CreateGrass(const char* textureName, int height, int crossCount, int rangeX, int rangeZ, float speed,
                       std::uint32_t colour);
    Grass* CreateGrass(const char* textureName, int height, int crossCount, std::uint32_t colour);
    // Destroys the first patch of the name.
    void RemoveGrass(const char* name);
    void ApplyFog(bool setColour);
    void Update(const Matrix* viewProjection);
    void Render(const Matrix& viewProjection);
    void Clear();
    // The cached texture of the name (loaded, or a blank 256 x 256 one when missing).
    render::ITexture* GetTexture(const char* name);

    void SetFog(bool enabled, int start, int end);
    void SetFogColour(const float* rgba);
    const float* FogColour() const { return m_fogColour; }
    bool FogEnabled() const { return m_fogEnabled != 0; }
    int FogStart() const { return m_fogStart; }
    int FogEnd() const { return m_fogEnd; }
    void SetEyePosition(const Vec3& eye) { m_eye = eye; }
    const std::vector<Grass*>& Patches() const { return m_patches; }
    std::size_t CachedTextures() const { return m_textures.size(); }

    // The fog factor at distance d: 0 up to start, 1 from end, linear between.
    static float FogFactor(float d, int start, int end);

private:
    std::uint8_t m_fogEnabled = 0;
    std::int32_t m_fogStart = 0;
    std::int32_t m_fogEnd = 0;
    float m_fogColour[4] = {1, 1, 1, 1};
    Vec3 m_eye;
    std::vector<Grass*> m_patches;
    std::uint32_t m_lastUpdate;
    std::map<std::string, render::ITexture*> m_textures;
};

}  // namespace quor::world
