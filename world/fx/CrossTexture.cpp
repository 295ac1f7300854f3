#include "world/fx/CrossTexture.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/host/IEffect.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "world/core/IniFile.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Random.h"
#include "world/core/TextNumber.h"

namespace quor::world {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kWaveStep = 0.033f;

render::IRenderer* Renderer() { return Interfaces().renderer; }

struct Shared {
    render::IPrimitive* primitive = nullptr;
    render::IEffect* effect = nullptr;
    bool made = false;
};
Shared g_shared;

void MakeShared() {
    render::IRenderer* renderer = Renderer();
    if (g_shared.made || !renderer) return;
    g_shared.made = true;
    g_shared.primitive = renderer->CreatePrimitive(7, 0x142);
    if (!g_shared.primitive) {
        LogError("CrossTexture: the shared primitive cannot be made");
        return;
    }
    g_shared.primitive->SetVertexCount(CrossTexture::kMaxVertices / 4, CrossTexture::kMaxVertices, 0, 0);
    // The shrubs' vertices are world positions.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    g_shared.primitive->SetTransform(identity);
    // Alpha-tested, blended, textured and vertex-coloured quads.
    g_shared.effect = renderer->CreateEffect();
    if (render::IEffect* e = g_shared.effect) {
        e->SetTechniqueName("CrossTexture");
        e->GetDepthStencilState()->SetState(1, 0, 0);
        render::IEffectStateGroup* blend = e->GetBlendState();
        blend->SetState(1, 1, 0);
        blend->SetState(2, 1, 0);
        blend->SetState(3, 1, 0);
        blend->SetState(4, 0x40, 0);
        e->GetRasterState()->SetState(0, 0, 0);
        e->GetTextureStageState()->SetState(0, 4, 2);
        e->GetTextureStageState()->SetState(1, 1, 1);
        if (render::IEffectStateGroup* sampler = e->GetSamplerState(0)) sampler->SetState(0, 3, 0);
        g_shared.primitive->SetEffect(e);
    }
    const render::VertexElement elements[2] = {
        {0, 0, render::kElementFloat3, 0, render::kUsePosition, 0},
        {0, 12, render::kElementColour, 0, render::kUseColour, 0},
    };
    if (render::IVertexBuffer* buffer = g_shared.primitive->GetVertexBuffer()) buffer->SetVertexElements(elements, 2);
}

std::uint8_t Channel(float c) {
    if (c >= 1.0f) return 255;
    if (c <= 0.0f) return 0;
    return static_cast<std::uint8_t>(static_cast<int>(c * 255.0f + 0.5f));
}

// Sine and cosine; the sway's angles are small (hundredths of a radian), where a short series
// is exact to float precision.
void SmallSinCos(float x, float* sine, float* cosine) {
    if (std::fabs(x) < 0.1f) {
        const float x2 = x * x;
        *sine = x * (1.0f - x2 / 6.0f * (1.0f - x2 / 20.0f));
        *cosine = 1.0f - x2 / 2.0f * (1.0f - x2 / 12.0f);
        return;
    }
    *sine = std::sin(x);
    *cosine = std::cos(x);
}

float RandomPhase() { return -kPi + 2.0f * kPi * static_cast<float>(Rand()) / static_cast<float>(kRandMax); }

// "%0.3f" in any locale.
void AppendNumber(std::string& out, float value) {
    char text[48];
    auto [end, ec] = std::to_chars(text, text + sizeof text, static_cast<double>(value), std::chars_format::fixed, 3);
    out.append(text, ec == std::errc() ? end : text);
}

}  // namespace

std::uint32_t CrossColour(float red, float green, float blue, float alpha) {
    return std::uint32_t(Channel(alpha)) << 24 | std::uint32_t(Channel(red)) << 16 | std::uint32_t(Channel(green)) << 8 |
           Channel(blue);
}

float CrossTexture::ReducePhase(float value) {
    float a = std::fabs(value);
    if (a >= 360.0f) a -= 360.0f;
    return a;
}

CrossTexture::CrossTexture() {
    m_phaseX = RandomPhase();
    m_phaseZ = RandomPhase();
    MakeShared();
}

CrossTexture::~CrossTexture() {
    Clear();
    if (m_texture)
        if (render::IRenderer* renderer = Renderer()) renderer->ReleaseTexture(m_texture);
}

render::IPrimitive* CrossTexture::SharedPrimitive() { return g_shared.primitive; }

void CrossTexture::ReleaseSharedBuffers() {
    render::IRenderer* renderer = Renderer();
    if (renderer && g_shared.primitive) renderer->ReleasePrimitive(g_shared.primitive);
    if (renderer && g_shared.effect) renderer->ReleaseEffect(g_shared.effect);
    g_shared = Shared{};
}

void CrossTexture::GetWaveValue(float* x, float* z) const {
    if (x) *x = m_xWaveValue;
    if (z) *z = m_zWaveValue;
}

void CrossTexture::GetWaveEffect(float* x, float* z) const {
    if (x) *x = m_waveEffectX;
    if (z) *z = m_waveEffectZ;
}

void CrossTexture::GetPhases(float* x, float* z) const {
    if (x) *x = m_phaseX;
    if (z) *z = m_phaseZ;
}

void CrossTexture::GetBounds(float* min3, float* max3) const {
    for (int i = 0; i < 3; ++i) {
        if (min3) min3[i] = m_boundMin[i];
        if (max3) max3[i] = m_boundMax[i];
    }
}

std::int32_t CrossTexture::Init(int crossCount, const float* records, int count) {
    m_crossNum = crossCount;
    return BuildGeometry(records, count) ? 0 : kFailed;
}

bool CrossTexture::CountsFit(int crossCount, long long count) const {
    if (crossCount < 1 || count < 0) {
        LogError("CrossTexture: %d quads per shrub, %lld shrubs: refused", crossCount, count);
        return false;
    }
    // The shared primitive is the limit of every batch.
    const long long limit = kMaxVertices / 4;
    if (count > 0 && (crossCount > limit || count > limit || crossCount * count * 4 > kMaxVertices)) {
        LogError("CrossTexture: %d quads per shrub, %lld shrubs: more than %d vertices", crossCount, count,
                 kMaxVertices);
        return false;
    }
    return true;
}

void CrossTexture::AddInstance(const float* r) {
    CrossInstance i;
    i.x = r[0], i.y = r[1], i.z = r[2];
    i.red = r[3], i.green = r[4], i.blue = r[5], i.alpha = r[6];
    i.halfWidth = r[7], i.height = r[8];
    m_instances.push_back(i);
    m_boundMin[0] = std::fmin(m_boundMin[0], i.x - i.halfWidth);
    m_boundMax[0] = std::fmax(m_boundMax[0], i.x + i.halfWidth);
    m_boundMin[2] = std::fmin(m_boundMin[2], i.z - i.halfWidth);
    m_boundMax[2] = std::fmax(m_boundMax[2], i.z + i.halfWidth);
    m_boundMin[1] = std::fmin(m_boundMin[1], i.y);
    m_boundMax[1] = std::fmax(m_boundMax[1], i.y + i.height);
}

bool CrossTexture::BuildGeometry(const float* records, int count) {
    Clear();
    if (!CountsFit(m_crossNum, count) || (count > 0 && !records)) return false;
    m_arrayNum = count;
    m_vertexCount = m_crossNum * count * 4;
    m_angleStep = kPi / static_cast<float>(m_crossNum);
    m_instances.reserve(std::size_t(count));
    // The instances run last record first; appended from the back, not inserted at the front
    // (which moves the whole batch for every shrub).
    for (int n = count - 1; n >= 0; --n) AddInstance(records + std::size_t(n) * kRecordFloats);
    Rebuild(false);
    CopyToShared();
    return true;
}

void CrossTexture::Rebuild(bool wave) {
    m_vertices.resize(std::size_t(m_vertexCount));
    // Only a batch with shrubs bounds the quad count (by the shared primitive's size).
    if (m_vertexCount <= 0 || m_crossNum > kMaxVertices / 4) return;
    CrossVertex* out = m_vertices.data();
    // The turn of quad k about the vertical axis (row vectors: x' = x cos, z' = -x sin).
    float turnCos[kMaxVertices / 4];
    float turnSin[kMaxVertices / 4];
    for (int k = 0; k < m_crossNum; ++k) {
        turnCos[k] = std::cos(static_cast<float>(k) * m_angleStep);
        turnSin[k] = std::sin(static_cast<float>(k) * m_angleStep);
    }
    turnCos[0] = 1.0f, turnSin[0] = 0.0f;
    const bool sway = wave && m_wave;
    constexpr float kRadians = 2.0f * kPi / 360.0f;
    if (sway && (m_waveBasis.size() != m_instances.size() * 4 || m_basisWaveRand != m_waveRand)) {
        m_waveBasis.resize(m_instances.size() * 4);
        m_basisWaveRand = m_waveRand;
        float* b = m_waveBasis.data();
        for (const CrossInstance& i : m_instances) {
            const float ux = m_waveRand * i.x * kRadians, uz = m_waveRand * i.z * kRadians;
            *b++ = std::sin(ux), *b++ = std::cos(ux), *b++ = std::sin(uz), *b++ = std::cos(uz);
        }
    }
    // sin of a phase taken round the circle is the sine of the signed angle with its sign:
    // sin(|v| - 360) = sin(|v|) = sign(v) sin(v).
    const float spx = std::sin(m_phaseX * kRadians), cpx = std::cos(m_phaseX * kRadians);
    const float spz = std::sin(m_phaseZ * kRadians), cpz = std::cos(m_phaseZ * kRadians);
    const float* basis = m_waveBasis.data();
    for (const CrossInstance& i : m_instances) {
        // The sway: roll about z, then pitch about x (yaw 0), as rows r0, r1, r2.
        float r0[3] = {1, 0, 0}, r1[3] = {0, 1, 0}, r2[3] = {0, 0, 1};
        if (sway) {
            const float vx = m_waveRand * i.x + m_phaseX, vz = m_waveRand * i.z + m_phaseZ;
            const float sa = (vx < 0 ? -1.0f : 1.0f) * (basis[0] * cpx + basis[1] * spx);
            const float sb = (vz < 0 ? -1.0f : 1.0f) * (basis[2] * cpz + basis[3] * spz);
            basis += 4;
            const float pitch = sa * m_waveEffectX;
            const float roll = sb * m_waveEffectZ;
            float cp, sp, cr, sr;
            SmallSinCos(pitch, &sp, &cp);
            SmallSinCos(roll, &sr, &cr);
            r0[0] = cr, r0[1] = sr * cp, r0[2] = sr * sp;
            r1[0] = -sr, r1[1] = cr * cp, r1[2] = cr * sp;
            r2[0] = 0, r2[1] = -sp, r2[2] = cp;
        }
        const std::uint32_t colour = CrossColour(i.red, i.green, i.blue, i.alpha);
        const float w = i.halfWidth, h = i.height;
        // Corner (c w, v h) of quad k, turned and swayed, is c A + v B + the foot with
        // A = w (cos k r0 - sin k r2) and B = h r1.
        const float bx = h * r1[0], by = h * r1[1], bz = h * r1[2];
        for (int k = 0; k < m_crossNum; ++k) {
            const float ax = w * (turnCos[k] * r0[0] - turnSin[k] * r2[0]);
            const float ay = w * (turnCos[k] * r0[1] - turnSin[k] * r2[1]);
            const float az = w * (turnCos[k] * r0[2] - turnSin[k] * r2[2]);
            out[0] = CrossVertex{i.x - ax + bx, i.y - ay + by, i.z - az + bz, colour, 0, 0};
            out[1] = CrossVertex{i.x + ax + bx, i.y + ay + by, i.z + az + bz, colour, 1, 0};
            out[2] = CrossVertex{i.x - ax, i.y - ay, i.z - az, colour, 0, 1};
            out[3] = CrossVertex{i.x + ax, i.y + ay, i.z + az, colour, 1, 1};
            out += 4;
        }
    }
}

void CrossTexture::CopyToShared() {
    render::IPrimitive* primitive = g_shared.primitive;
    if (!primitive || m_vertices.empty()) return;
    void* to = primitive->LockVertices(0, m_vertexCount);
    if (!to) return;
    std::memcpy(to, m_vertices.data(), m_vertices.size() * sizeof(CrossVertex));
    primitive->UnlockVertices();
}

void CrossTexture::LoadTexture(const char* name) {
    render::IRenderer* renderer = Renderer();
    if (m_texture && renderer) renderer->ReleaseTexture(m_texture);
    m_texture = nullptr;
    const char* path = name ? name : "";
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    m_textureName = base;
    if (!renderer) return;
    char file[512];
    std::snprintf(file, sizeof file, "scene/texture/shurb/%s", base);
    m_texture = renderer->LoadTexture(file, 0, 0, -3, 0, 0, 0);
    if (!m_texture) {
        m_texture = renderer->CreateTexture(256, 256, 0, 0, 1, 0);
        LogError("程序草贴图：%s 找不到", path);
    }
}

void CrossTexture::Update(float dt) {
    m_frameTime = dt;
    m_waveClock += dt;
}

void CrossTexture::AnimateWave() {
    render::IPrimitive* primitive = g_shared.primitive;
    if (primitive) {
        primitive->SetTexture(0, m_texture);
        // Quads are the renderer's primitives of a kind-7 primitive.
        primitive->SetVertexCountUsed(m_arrayNum * m_crossNum);
    }
    if (m_waveClock > kWaveStep) {
        m_waveClock = 0;
        if (m_wave) {
            m_phaseX += m_xWaveValue * m_frameTime;
            m_phaseZ += m_zWaveValue * m_frameTime;
        }
        Rebuild(true);
    }
    // Batches take turns on the one primitive.
    CopyToShared();
}

void CrossTexture::Draw() {
    AnimateWave();
    if (g_shared.primitive && m_vertexCount > 0) g_shared.primitive->Draw(-1, -1, 0);
}

void CrossTexture::DrawCount() {
    AnimateWave();
    if (g_shared.primitive && m_vertexCount > 0) g_shared.primitive->Draw(0, m_crossNum * m_arrayNum * 2, 0);
}

void CrossTexture::Clear() {
    m_instances.clear();
    m_waveBasis.clear();
    m_vertices.clear();
    m_arrayNum = 0;
    m_vertexCount = 0;
    for (int i = 0; i < 3; ++i) m_boundMin[i] = 1e10f, m_boundMax[i] = -1e10f;
}

void CrossTexture::SaveIni(IniFile& ini, const char* section) const {
    ini.SetString(section, "TexName", m_textureName.c_str());
    ini.SetInt(section, "Wave", m_wave ? 1 : 0);
    ini.SetFloat(section, "XWaveValue", m_xWaveValue);
    ini.SetFloat(section, "ZWaveValue", m_zWaveValue);
    ini.SetFloat(section, "WaveEffectX", m_waveEffectX);
    ini.SetFloat(section, "WaveEffectZ", m_waveEffectZ);
    ini.SetFloat(section, "WaveRand", m_waveRand);
    ini.SetInt(section, "CrossNum", m_crossNum);
    ini.SetInt(section, "ArrayNum", m_arrayNum);
    int n = 0;
    for (const CrossInstance& i : m_instances) {
        std::string value = "(";
        const float fields[9] = {i.x, i.y, i.z, i.halfWidth, i.height, i.red, i.green, i.blue, i.alpha};
        for (int f = 0; f < 9; ++f) {
            if (f) value += ',';
            AppendNumber(value, fields[f]);
        }
        value += ')';
        char key[32];
        std::snprintf(key, sizeof key, "Data%d", n++);
        ini.SetString(section, key, value.c_str());
    }
}

bool CrossTexture::LoadIni(const IniFile& ini, const char* section) {
    Clear();
    if (ini.HasKey(section, "TexName")) {
        LoadTexture(ini.GetString(section, "TexName", ""));
        m_wave = ini.GetInt(section, "Wave", 1) ? 1 : 0;
        m_crossNum = ini.GetInt(section, "CrossNum", 1);
        m_xWaveValue = ini.GetFloat(section, "XWaveValue", 0.0f);
        m_zWaveValue = ini.GetFloat(section, "ZWaveValue", 0.0f);
        m_waveEffectX = ini.GetFloat(section, "WaveEffectX", 0.0f);
        m_waveEffectZ = ini.GetFloat(section, "WaveEffectZ", 0.0f);
        m_waveRand = ini.GetFloat(section, "WaveRand", 0.0f);
    }
    if (!ini.HasKey(section, "ArrayNum")) return true;
    const int count = ini.GetInt(section, "ArrayNum", 0);
    if (!CountsFit(m_crossNum, count)) {
        LogError("CrossTexture: section %s keeps no shrubs", section ? section : "");
        return false;
    }
    std::vector<float> records(std::size_t(count) * kRecordFloats, 0.0f);
    for (int n = 0; n < count; ++n) {
        char key[32];
        std::snprintf(key, sizeof key, "Data%d", n);
        const std::string text = ini.GetString(section, key, "");
        // Written as position, half width, height, colour; a short value reads 0 for the rest.
        float values[9] = {};
        std::size_t at = 0;
        for (float& v : values) {
            while (at < text.size() && std::strchr("(),\n", text[at]) && text[at]) ++at;
            if (at >= text.size()) break;
            std::size_t end = at;
            while (end < text.size() && !(std::strchr("(),\n", text[end]) && text[end])) ++end;
            v = static_cast<float>(TextToDouble(text.substr(at, end - at).c_str()));
            at = end;
        }
        float* r = records.data() + std::size_t(n) * kRecordFloats;
        r[0] = values[0], r[1] = values[1], r[2] = values[2];
        r[7] = values[3], r[8] = values[4];
        r[3] = values[5], r[4] = values[6], r[5] = values[7], r[6] = values[8];
    }
    return BuildGeometry(records.data(), count);
}

}  // namespace quor::world
