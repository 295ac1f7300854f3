#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quor {
class IniFile;
}
namespace quor::render {
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

// One vertex of a shrub quad: position, ARGB colour, texture coordinates (24 bytes, the
// layout of the shared primitive).
struct CrossVertex {
    float x, y, z;
    std::uint32_t colour;
    float u, v;
};
static_assert(sizeof(CrossVertex) == 24, "shrub vertices are 24 bytes");

// One shrub: its foot, half width, height and colour (0..1 each).
struct CrossInstance {
    float x = 0, y = 0, z = 0;
    float halfWidth = 0, height = 0;
    float red = 0, green = 0, blue = 0, alpha = 0;
};

// A batch of shrubs, each drawn as a cross of vertical quads turned evenly about the shrub's
// foot, swaying by a sine of its position and two running phases. Every batch draws through
// one shared primitive of 2000 vertices, so a batch holds at most 500 quads and copies its
// vertices into the primitive before each draw.
class CrossTexture {
public:
    static constexpr int kMaxVertices = 2000;
    static constexpr std::int32_t kFailed = static_cast<std::int32_t>(0x80004005u);
    // Values per input record: position x, y, z, colour r, g, b, a, half width, height.
    static constexpr int kRecordFloats = 9;

    CrossTexture();
    virtual ~CrossTexture();
    CrossTexture(const CrossTexture&) = delete;
    CrossTexture& operator=(const CrossTexture&) = delete;

    // 0, or kFailed when the geometry cannot be built (counts below 1 or beyond the shared
    // primitive, records missing).
    std::int32_t Init(int crossCount, const float* records, int count);
    // false (and an empty batch) on the same grounds.
    bool BuildGeometry(const float* records, int count);
    void LoadTexture(const char* name);
    void Update(float dt);
    void Draw();
    void DrawCount();
    void AnimateWave();

    void SetWave(bool on) { m_wave = on ? 1 : 0; }
    bool GetWave() const { return m_wave != 0; }
    void SetWaveValue(float x, float z) { m_xWaveValue = x, m_zWaveValue = z; }
    void GetWaveValue(float* x, float* z) const;
    void SetWaveEffect(float x, float z) { m_waveEffectX = x, m_waveEffectZ = z; }
    void GetWaveEffect(float* x, float* z) const;
    void SetWaveRand(float value) { m_waveRand = value; }
    float GetWaveRand() const { return m_waveRand; }
    // Whether the scene draws the batch with DrawCount rather than Draw.
    void SetCountedDraw(bool on) { m_countedDraw = on ? 1 : 0; }
    bool GetCountedDraw() const { return m_countedDraw != 0; }
    int GetCrossNum() const { return m_crossNum; }
    int GetArrayNum() const { return m_arrayNum; }
    int GetVertexCount() const { return m_vertexCount; }
    // Newest first.
    const std::vector<CrossInstance>& GetInstances() const { return m_instances; }
    const std::vector<CrossVertex>& Vertices() const { return m_vertices; }
    const std::string& TextureName() const { return m_textureName; }
    render::ITexture* Texture() const { return m_texture; }
    void GetPhases(float* x, float* z) const;
    void SetPhases(float x, float z) { m_phaseX = x, m_phaseZ = z; }
    void GetBounds(float* min3, float* max3) const;

    // Numbers are written and read whatever the process locale. LoadIni answers false (and
    // keeps no instances) for a section whose counts the shared primitive cannot take.
    void SaveIni(IniFile& ini, const char* section) const;
    bool LoadIni(const IniFile& ini, const char* section);
    void Clear();

    // The shared primitive and effect; made by the first construction, released at the
    // world's shutdown.
    static render::IPrimitive* SharedPrimitive();
    static void ReleaseSharedBuffers();

    // The degrees a phase is taken to for the sine: |value|, less 360 once when 360 or more.
    static float ReducePhase(float value);

private:
    // Counts the shared primitive can take; logs why not.
    bool CountsFit(int crossCount, long long count) const;
    void AddInstance(const float* record);
    // Rebuilds every vertex; wave: with the sway rotation.
    void Rebuild(bool wave);
    void CopyToShared();

    render::ITexture* m_texture = nullptr;
    std::int32_t m_wave = 1;
    float m_xWaveValue = 91.2f;
    float m_zWaveValue = 91.7f;
    float m_waveEffectX = 0.03f;
    float m_waveEffectZ = 0.03f;
    float m_waveRand = 5.0f;
    std::vector<CrossInstance> m_instances;
    float m_frameTime = 0;
    std::int32_t m_arrayNum = 0;
    std::int32_t m_vertexCount = 0;
    float m_phaseX = 0;
    float m_phaseZ = 0;
    std::vector<CrossVertex> m_vertices;
    float m_waveClock = 0;
    std::int32_t m_crossNum = 0;
    float m_angleStep = 0;
    float m_boundMin[3] = {1e10f, 1e10f, 1e10f};
    float m_boundMax[3] = {-1e10f, -1e10f, -1e10f};
    std::string m_textureName;
    // Per shrub: sine and cosine of "WaveRand" x position (x, then z) in radians, so that a
    // rebuild takes the sway's sines by angle addition instead of two per shrub; made for
    // the "WaveRand" it holds.
    std::vector<float> m_waveBasis;
    float m_basisWaveRand = 0;
    std::uint8_t m_countedDraw = 0;
};

// The ARGB word of a colour of 0..1 channels: 255 at 1 or above, 0 at 0 or below, else the
// nearest integer to channel x 255 + 0.5.
std::uint32_t CrossColour(float red, float green, float blue, float alpha);

}  // namespace quor::world
