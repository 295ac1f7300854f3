#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "world/core/ILight.h"
#include "world/core/SpaceObject.h"

namespace quor {
class GeoObject;
}
namespace quor::render {
class ILightSet;
class IRenderLight;
}  // namespace quor::render

namespace quor::world {

// One animated colour of a light: keys by time and how time outside them is mapped.
class ColorChannel {
public:
    enum Mode : std::int32_t { kClamp = 0, kLoop = 1, kPingPong = 2 };

    // Keys past the first define the span the modes map time into.
    void SetKey(float time, const Vec4& color);
    // The colour at time t; (1, 1, 1, 1) with no keys or when t falls outside every key pair.
    Vec4 Evaluate(float t) const;

    std::int32_t mode = kClamp;
    float length = 0.0f;
    float start = 0.0f;
    float end = 0.0f;
    std::map<float, Vec4> keys;
};

// A placed light source bound to one light of its list's renderer light set. Its colours are
// animated by keys evaluated at the light time of its scene; its position and direction
// follow its world matrix; an optional volume limits what it reaches.
class Light : public ILight, public SpaceObject {
public:
    static constexpr std::uint32_t kFlagBounded = 4;
    static constexpr std::uint32_t kFlag8 = 8;
    static constexpr std::uint32_t kNoVolume = 3;

    Light(int kind, render::ILightSet* set);
    ~Light() override;

    // --- ILight, in slot order ---
    ISpaceObject* GetSpaceObject() override { return this; }
    render::IRenderLight* GetRenderLight() override { return m_renderLight; }
    void SetDirection(const Vec3& direction) override;
    Vec3 GetDirection() override;
    void GetWorldPosition(Vec3& out) override;
    void SetFlags(std::uint32_t flags) override;
    std::uint32_t GetFlags() override { return m_flags; }
    void SetColorKeyA(const Vec4& color, float time) override;
    void GetColorA(float time, Vec4& out) override { out = m_channels[0].Evaluate(time); }
    void SetColorKeyC(const Vec4& color, float time) override;
    void GetColorC(float time, Vec4& out) override { out = m_channels[2].Evaluate(time); }
    void SetColorKeyB(const Vec4& color, float time) override;
    void GetColorB(float time, Vec4& out) override { out = m_channels[1].Evaluate(time); }
    void SetColorKeyAll(const Vec4& color, float time) override;
    void SetRange(float range) override;
    void SetAttenuation(float a0, float a1, float a2) override;
    void SetInnerAngle(float radians) override;
    void SetOuterAngle(float radians) override;
    void SetEnabled(bool enabled) override;
    bool IsEnabled() override;
    int GetType() override;
    std::uint16_t GetIndex() override;
    bool IsValid() override { return m_removed == 0; }
    void SetUnbounded(bool unbounded) override;
    bool IsUnbounded() override { return (m_flags & kFlagBounded) == 0; }
    void SetDesc(const LightDesc& desc) override;
    void GetDesc(LightDesc& out) override;
    void SetName(const char* name) override;
    const char* GetName() override { return m_name; }
    bool GetFlag8() override { return (m_flags & kFlag8) != 0; }
    bool ContainsPoint(const Vec3& point) override;
    bool IntersectsObject(const GeoObject* shape) override;
    bool SetVolumeShape(std::uint32_t kind) override;
    std::uint32_t GetVolumeShapeKind() override;

    // --- added by Light ---
    virtual void Apply() {}
    virtual void UpdateVolumeTransform();
    virtual void SetVolumeOffset(const Vec3& offset);
    virtual void SetVolumeMatrix(const float* m16);
    virtual void SetVolumeScale(const Vec3& scale);

    // --- SpaceObject operations a light answers differently ---
    int GetObjectType() override { return 1; }
    void Update() override;
    void InvalidateTransform() override;

    // The list retires a light instead of freeing it.
    void MarkRemoved() { m_removed = 1; }
    const ColorChannel& Channel(int i) const { return m_channels[i]; }
    ColorChannel& Channel(int i) { return m_channels[i]; }
    const GeoObject* Volume() const { return m_volume.get(); }
    // The channels at time t handed to the render light (A, C, B to its three colours).
    void SendColors(float t);
    // The renderer frame the light was last applied in: what is drawn for it (planar shadows)
    // is drawn only in that frame.
    std::uint32_t FrameStamp() const { return m_frameStamp; }
    void SetFrameStamp(std::uint32_t stamp) { m_frameStamp = stamp; }

private:
    float LightTime();
    void MakeSphereIfUnbounded();

    render::IRenderLight* m_renderLight = nullptr;
    render::ILightSet* m_lightSet;
    std::uint8_t m_removed = 0;
    std::uint32_t m_flags = 1;
    std::uint32_t m_frameStamp = 0;
    char m_name[16] = {};
    // A, B and C.
    ColorChannel m_channels[3];
    std::unique_ptr<GeoObject> m_volume;
    Vec3 m_volumeOffset{0.0f, 0.0f, 0.0f};
    Vec3 m_volumeScale{100.0f, 100.0f, 100.0f};
    Matrix m_volumeMatrix;
};

// A scene's lights over one renderer light set. One list is bound at a time, process-wide.
class LightList {
public:
    LightList();
    ~LightList();
    LightList(const LightList&) = delete;
    LightList& operator=(const LightList&) = delete;

    Light* CreateLight(int kind);
    // The scene's name for CreateLight.
    Light* Create(int kind) { return CreateLight(kind); }
    // Retires a listed light (disabled, skipped); its memory stays until Clear. Anything that
    // is not a listed light is ignored.
    void Remove(SpaceObject* object);
    void SetAllEnabled(bool enabled);
    void ClearLightFlags();
    void Bind(bool on);
    // The scene's activation: binds or unbinds the list.
    void SetActive(bool active) { Bind(active); }
    void Apply();
    void Update(float time);
    void Clear();

    int Count() const { return static_cast<int>(m_lights.size()); }
    Light* GetAt(std::uint32_t index) const { return index < m_lights.size() ? m_lights[index] : nullptr; }
    void* GetLightSet() const { return m_lightSet; }
    render::ILightSet* LightSet() const { return m_lightSet; }
    bool IsDirty() const { return m_dirty != 0; }

    // The bound list and its light set (null when none is bound).
    static LightList* Current();
    static render::ILightSet* CurrentLightSet();

private:
    render::ILightSet* m_lightSet = nullptr;
    std::vector<Light*> m_lights;
    std::uint8_t m_dirty = 0;
};

}  // namespace quor::world
