#include "world/fx/ParticleSystem.h"
#include "world/fx/KeyLists.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/ITexture.h"
#include "platform/host/IXmlNode.h"
#include "platform/win32/Clock.h"
#include "world/core/Camera.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Random.h"
#include "world/core/XmlNodePtr.h"
#include "world/scene/IScene.h"
#include "world/scene/World.h"

namespace quor::world {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr std::uint32_t kQuadFormat = 0x142;
constexpr int kQuadList = 7;

Vec3 ReadFloat3(common::IXmlNode* node, const char* name, const Vec3& def) {
    const float d[3] = {def.x, def.y, def.z};
    float v[3];
    ReadXmlFloat3(node, "", name, v, d);
    for (float c : v)
        if (!std::isfinite(c)) return def;
    return {v[0], v[1], v[2]};
}

// A double into [lo, hi] (NaN gives lo).
int ClampToInt(double v, int lo, int hi) {
    if (!(v >= lo)) return lo;
    if (v > hi) return hi;
    return static_cast<int>(v);
}

Vec3 Turn(const Vec3& v, const Matrix& m) {
    return {v.x * m.m[0] + v.y * m.m[4] + v.z * m.m[8], v.x * m.m[1] + v.y * m.m[5] + v.z * m.m[9],
            v.x * m.m[2] + v.y * m.m[6] + v.z * m.m[10]};
}

// v turned by angle about the unit axis n.
Vec3 RotateAbout(const Vec3& v, const Vec3& n, float c, float s) {
    const Vec3 cross = Vec3Cross(n, v);
    const float along = Vec3Dot(n, v) * (1.0f - c);
    return v * c + cross * s + n * along;
}

std::uint32_t MultiplyColors(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const float x = float((a >> shift) & 0xFFu) / 255.0f;
        const float y = float((b >> shift) & 0xFFu) / 255.0f;
        out |= std::uint32_t(ClampToByte(x * y * 255.0f)) << shift;
    }
    return out;
}

int ParticleRate(std::uint32_t perSecond) {
    return ClampToInt(static_cast<double>(perSecond) * static_cast<double>(ParticleFactor()), 0, 0x7FFFFFFF);
}

// Renders a sheet cell lasts: its length over the frame step and the sheet's divisor. With no
// frame step (the host has not set its speed yet) no time passes and the cells stand still.
float SheetTicksPerFrame(double length, float third) {
    const double ms = GetFrameMilliseconds();
    const double ticks = ms > 0.0 ? length / ms / (third != 0.0f ? double(third) : 1.0) : 0.0;
    if (!(ms > 0.0) || !std::isfinite(ticks)) return std::numeric_limits<float>::max();
    return static_cast<float>(std::min(ticks, double(std::numeric_limits<float>::max())));
}

}  // namespace

ParticleSystem::ParticleSystem() {
    m_kind = kFxKindParticles;
    MatrixIdentity(m_toAncestor);
    MatrixIdentity(m_quadRotation);
}

ParticleSystem::~ParticleSystem() { ParticleSystem::Release(); }

// --- load ----------------------------------------------------------------------------------------

void ParticleSystem::ReadParams(common::IXmlNode* node) {
    Params& p = m_p;
    p.emissionLifeSpan = ReadFxFloat(node, "EmissionLifeSpan", m_lifeSpan);
    m_shape.type = node->GetIntAttribute("", "EmissionType", 0);
    (void)ReadFxFloat(node, "EmissionRadius", 10.0f);  // read by the format, the radius curve rules
    m_shape.height = ReadFxFloat(node, "EmissionHight", 5.0f);
    m_shape.inside = node->GetBoolAttribute("", "Inside", true);
    p.gravity = ReadFxFloat(node, "Gravity", 0.0f);
    p.friction = ReadFxFloat(node, "Friction", 0.0f);
    p.perSecond = node->GetUIntAttribute("", "ParticlesPerSecond", 0);
    p.minLife = ReadFxFloat(node, "MinSpriteLifespan", 1.0f);
    p.maxLife = ReadFxFloat(node, "MaxSpriteLifespan", 1.0f);
    p.minRadius = ReadFxFloat(node, "MinRadius", 10.0f);
    p.maxRadius = ReadFxFloat(node, "MaxRadius", 10.0f);
    p.alongMoveDir = node->GetBoolAttribute("", "AlongMoveDir", true);
    (void)ReadFxFloat(node, "SpriteStartScale", 1.0f);
    (void)ReadFxFloat(node, "SpriteEndScale", 1.0f);
    const Vec3 planeDir = ReadFloat3(node, "PlaneDir", {0.0f, 1.0f, 0.0f});
    p.particleDir = ReadFloat3(node, "ParticleDir", {0.0f, 1.0f, 0.0f});
    m_shape.minSpeed = ReadFxFloat(node, "MinSpriteVelocity", 100.0f);
    m_shape.maxSpeed = ReadFxFloat(node, "MaxSpriteVelocity", 100.0f);
    p.minSpin = ReadFxFloat(node, "MinSpin", 0.0f);
    p.maxSpin = ReadFxFloat(node, "MaxSpin", 0.0f);
    p.minAngle = ReadFxFloat(node, "MinOrigDegree", 0.0f);
    p.maxAngle = ReadFxFloat(node, "MaxOrigDegree", 0.0f);
    p.blendMode = node->GetIntAttribute("", "BlendMode", 1);
    (void)ReadFxFloat(node, "StartAlpha", 1.0f);
    (void)ReadFxFloat(node, "EndAlpha", 0.0f);
    m_zEnabled = node->GetBoolAttribute("", "EnableZBuffer", true) ? 1 : 0;
    char texture[256] = {};
    node->GetStringAttribute("", "Texture", texture, sizeof texture, "");
    texture[sizeof texture - 1] = '\0';
    m_sheetName = texture;
    p.clockRotate = ReadFxFloat(node, "TextureClockRotate", 0.0f) * 0.5f * kPi;
    p.dirType = node->GetIntAttribute("", "DirType", 0);
    p.randomSum = ReadFloat3(node, "RandomSum", Vec3());
    p.anchorSum = node->GetUIntAttribute("", "AnchorSum", 0);
    m_anchors.clear();
    p.earlierTime = ReadFxFloat(node, "EarlierTime", 0.0f);
    m_linger = p.earlierTime != 0.0f ? 1 : 0;
    p.emitEven = node->GetBoolAttribute("", "EmitEven", true);
    p.emitAtBegin = node->GetBoolAttribute("", "EmitAtBegin", false);
    const int track = node->GetIntAttribute("", "TrackActionType", 0);
    m_space = track == 0 ? Space::kWorld : (track == 1 ? Space::kEmitter : Space::kAncestor);
    m_ancestorLevel = track >= 2 ? track - 2 : 0;

    m_colorFrame.Clear();
    m_colorFramePar.Clear();
    if (node->HasAttribute("", "IsColorParticle")) {
        const bool perParticle = node->GetBoolAttribute("", "IsColorParticle", false);
        p.colorType = perParticle ? 1 : 0;
        XmlNodePtr list(node->FirstChildElement("ColorFrame"));
        ReadColorKeyList(list.Get(), perParticle ? m_colorFramePar : m_colorFrame);
    } else {
        p.colorType = node->GetIntAttribute("", "ColorType", 1);
        XmlNodePtr list(node->FirstChildElement("ColorFrame"));
        ReadColorKeyList(list.Get(), m_colorFrame);
        XmlNodePtr par(node->FirstChildElement("ColorFramePar"));
        ReadColorKeyList(par.Get(), m_colorFramePar);
    }
    m_radiusCurve = KeyCurve();
    m_scaleCurve = KeyCurve();
    m_heightCurve = KeyCurve();
    m_ratioCurve = KeyCurve();
    XmlNodePtr radius(node->FirstChildElement("EmissionRadiusFrame"));
    ReadFloatKeyList(radius.Get(), m_radiusCurve);
    p.scaleTimeType = node->GetUIntAttribute("", "ScaleTimeType", 0);
    p.scaleStyle = node->GetUIntAttribute("", "ScaleStyle", 0);
    XmlNodePtr scale(node->FirstChildElement("SpriteScaleFrame"));
    ReadFloatKeyList(scale.Get(), m_scaleCurve);
    XmlNodePtr height(node->FirstChildElement("SpriteHeightFrame"));
    ReadFloatKeyList(height.Get(), m_heightCurve);
    char ratio[64] = {};
    node->GetStringAttribute("", "HWRatio", ratio, sizeof ratio, "");
    ratio[sizeof ratio - 1] = '\0';
    if (std::strcmp(ratio, "FloatKeyFrame") == 0) {
        XmlNodePtr list(node->FirstChildElement("HWRatioFrame"));
        ReadFloatKeyList(list.Get(), m_ratioCurve);
    } else {
        m_ratioCurve.SetMode(0);
        m_ratioCurve.AddKey(0.0f, ReadFxFloat(node, "HWRatio", 1.0f));
    }
    m_shape.plane = MakeEmissionPlane(planeDir);
}

bool ParticleSystem::LoadParticleTexture(const char* name) {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return false;
    m_isSheet = false;
    if (IsSheetName(name)) {
        m_isSheet = true;
        const SheetResult read = ReadSheetFile(name, m_sheet);
        if (read == SheetResult::kBadNumbers) {
            LogError("Sprite texture file %s is not found!", name);
            return false;
        }
        if (read == SheetResult::kMissing) {
            LogError("Sprite texture file %s is not found!", name);
            m_sheet = SheetFile();
        } else {
            m_texture = renderer->LoadTexture(m_sheet.texture.c_str(), 0, 0, -3, 0, 0, 0);
            if (!m_texture) {
                LogError("Spr贴图：%s 丢失", m_sheet.texture.c_str());
                m_texture = renderer->CreateTexture(256, 256, 0, 0, 1, 0);
            }
        }
        m_tickCounter = 0.0f;
        m_grid = SheetGrid(m_sheet.columns, m_sheet.rows);
        m_sheetStart = m_sheet.fourth * (1.0f / m_grid.Columns());
        if (m_sheet.third == 0.0f) m_sheet.third = 1.0f;
        m_frameDuration = m_sheet.length;
        m_ticksPerFrame = SheetTicksPerFrame(m_frameDuration, m_sheet.third);
    } else {
        m_texture = renderer->LoadTexture(name, 0, 0, -3, 0, 0, 0);
    }
    if (!m_texture) {
        LogError("粒子贴图：%s 丢失", name);
        m_texture = renderer->CreateTexture(32, 32, 0, 0, 1, 0);
        // The placeholder is ours too: its handle lets Release give it back.
        m_surface = m_texture ? m_texture->GetSurface() : nullptr;
        return true;
    }
    const float duration = m_texture->GetDuration();
    if (duration > 0.0f) {
        if (m_p.minLife < 0.01f) m_p.minLife = duration;
        if (m_p.maxLife < 0.01f) m_p.maxLife = duration;
    }
    m_surface = m_texture->GetSurface();
    return true;
}

bool ParticleSystem::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    ReadParams(node);
    m_p.minAngle = m_p.minAngle / 180.0f * kPi;
    m_p.maxAngle = m_p.maxAngle / 180.0f * kPi;
    m_p.minSpin = m_p.minSpin / 180.0f * kPi;
    m_p.maxSpin = m_p.maxSpin / 180.0f * kPi;

    auto fail = [this] {
        ParticleSystem::Release();
        m_loaded = 0;
        return false;
    };
    if (m_sheetName.empty()) {
        LogError("Particle's texture is empty!");
        return fail();
    }
    if (!LoadParticleTexture(m_sheetName.c_str())) return fail();

    m_accumulator = 0.0f;
    m_snapshotStart = 0.0f;
    m_lastBurst = -1.0f;

    const double wanted = static_cast<double>(m_p.perSecond) * static_cast<double>(m_p.maxLife);
    if (wanted > kMaxPool) LogWarning("particle pool of %.0f records limited to %d", wanted, kMaxPool);
    const int capacity = ClampToInt(wanted, kMinPool, kMaxPool);

    m_effect = SharedMaterialForBlend(m_p.blendMode, 1, false);
    render::IRenderer* renderer = Interfaces().renderer;
    m_primitive = renderer ? renderer->CreatePrimitive(kQuadList, kQuadFormat) : nullptr;
    if (!m_primitive) {
        LogError("particle system %s: no primitive", m_name);
        return fail();
    }
    m_primitive->SetVertexCount(capacity, -1, 0, 0);
    m_primitive->SetEffect(m_effect);
    m_primitive->SetTexture(0, m_texture);
    m_drawState = m_primitive->GetVertexBuffer();
    if (m_drawState) m_drawState->SetFlags(96);
    ApplyRenderState(0, -1);

    m_boundsRef = m_boundsMin = m_boundsMax = Vec3();
    m_pool.assign(static_cast<std::size_t>(capacity), Particle{});
    for (std::size_t i = 0; i + 1 < m_pool.size(); ++i) m_pool[i].next = &m_pool[i + 1];
    m_free = &m_pool[0];
    m_live.assign((m_pool.size() + 63) / 64, 0);
    m_liveCount = 0;
    m_snapshotMode = 0;
    return true;
}

// --- play state ----------------------------------------------------------------------------------

void ParticleSystem::SetPlaying(bool play) { FxBase::SetPlaying(play); }

void ParticleSystem::FreeAll() {
    for (std::size_t w = 0; w < m_live.size(); ++w) {
        std::uint64_t bits = m_live[w];
        while (bits) {
            const std::size_t i = w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits));
            bits &= bits - 1;
            m_pool[i].next = m_free;
            m_free = &m_pool[i];
        }
        m_live[w] = 0;
    }
    m_liveCount = 0;
    // Anchors name particles: none outlives its particle.
    m_anchors.clear();
}

void ParticleSystem::Reset() {
    FxBase::Reset();
    FreeAll();
    m_lastBurst = -1.0f;
}

void ParticleSystem::Deactivate() {
    if (m_state == kFxFinishing) return;
    FxBase::Deactivate();
    m_state = m_linger ? kFxFinishing : kFxInactive;
}

void ParticleSystem::Release() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (m_primitive && renderer) renderer->ReleasePrimitive(m_primitive);
    m_primitive = nullptr;
    m_drawState = nullptr;
    if (m_texture && renderer && renderer->IsTextureReady(m_surface)) renderer->ReleaseTexture(m_texture);
    m_texture = nullptr;
    m_surface = nullptr;
    m_free = nullptr;
    m_pool.clear();
    m_pool.shrink_to_fit();
    m_live.clear();
    m_liveCount = 0;
    m_anchors.clear();
    FxBase::Release();
}

void ParticleSystem::SetPlaySpeed(float speed) {
    FxBase::SetPlaySpeed(speed);
    if (m_texture) m_texture->SetSpeed(speed);
    m_frameDuration = speed;
    m_ticksPerFrame = SheetTicksPerFrame(speed, m_sheet.third);
}

float ParticleSystem::GetTextureAnimLength() { return m_frameDuration; }

void ParticleSystem::GetTextureAnimInfo(float* columns, float* rows, float* third, float* fourth, char* name,
                                        float* length, bool* flag) {
    if (columns) *columns = m_sheet.columns;
    if (rows) *rows = m_sheet.rows;
    if (third) *third = m_sheet.third;
    if (fourth) *fourth = m_sheet.fourth;
    if (name) {
        const std::size_t n = std::min(m_sheetName.size(), SheetFile::kMaxTexture);
        std::memcpy(name, m_sheetName.data(), n);
        name[n] = '\0';
    }
    if (length) *length = m_frameDuration;
    if (flag) *flag = m_sheet.loop;
}

void ParticleSystem::SetTextureAnimLength(float length) {
    m_frameDuration = length;
    m_ticksPerFrame = SheetTicksPerFrame(length, m_sheet.third);
}

bool ParticleSystem::SetTime(float time) {
    m_snapshotStart = m_time;
    m_lastBurst = time - 1.0f;
    return FxBase::SetTime(time);
}

void ParticleSystem::SetFrameTableMode(std::uint8_t on) {
    FxBase::SetFrameTableMode(on);
    m_snapshotMode = on;
    // The mode replays from a table; it needs one that holds every frame of the life span.
    if (on && m_snapshots.size() < static_cast<std::size_t>(FrameCountOfLife())) ResizeSnapshots();
}

void ParticleSystem::RebuildBuffers() {
    FxBase::RebuildBuffers();
    for (auto& snapshot : m_snapshots) snapshot.clear();
    ResizeSnapshots();
}

void ParticleSystem::ResizeSnapshots() {
    const std::size_t frames = static_cast<std::size_t>(FrameCountOfLife());
    if (m_snapshots.size() < frames) m_snapshots.resize(frames);
}

bool ParticleSystem::GetBoundingBox(Vec3* min, Vec3* max) {
    // Nothing updates this box: the culling sphere carries the particles' extent.
    if (min) *min = Vec3();
    if (max) *max = Vec3();
    return true;
}

void ParticleSystem::DumpProperties(common::IXmlNode* parent) {
    FxBase::DumpProperties(parent);
    if (!parent) return;
    const int count = parent->CountChildElements("Fx");
    if (count <= 0) return;
    XmlNodePtr fx(parent->ChildElement("Fx", count - 1));
    if (fx) fx->SetIntAttribute("", "particle_count", m_liveCount);
}

int ParticleSystem::FreeCount() const {
    int n = 0;
    for (const Particle* p = m_free; p; p = p->next) ++n;
    return n;
}

std::vector<const Particle*> ParticleSystem::LiveParticles() const {
    std::vector<const Particle*> out;
    out.reserve(static_cast<std::size_t>(m_liveCount));
    for (std::size_t i = 0; i < m_pool.size(); ++i)
        if (IsLive(i)) out.push_back(&m_pool[i]);
    return out;
}

// --- emission ------------------------------------------------------------------------------------

void ParticleSystem::Take(Particle* p) {
    const std::size_t i = static_cast<std::size_t>(p - m_pool.data());
    m_live[i >> 6] |= std::uint64_t{1} << (i & 63);
    ++m_liveCount;
}

void ParticleSystem::Recycle(Particle* p) {
    if (p->anchored) {
        for (auto it = m_anchors.begin(); it != m_anchors.end(); ++it) {
            if (it->particle == p) {
                m_anchors.erase(it);
                break;
            }
        }
    }
    const std::size_t i = static_cast<std::size_t>(p - m_pool.data());
    m_live[i >> 6] &= ~(std::uint64_t{1} << (i & 63));
    --m_liveCount;
    p->next = m_free;
    m_free = p;
}

bool ParticleSystem::EmissionAllowed() const {
    return m_state == kFxPlaying && !m_paused && (m_time <= m_p.emissionLifeSpan || m_endlessPlay);
}

int ParticleSystem::ChooseEmissionCount(float dt, int rate, float& lastBurst) {
    if (!m_p.emitEven) {
        if (m_time - lastBurst >= 1.0f) {
            lastBurst = m_time;
            return rate;
        }
        return 0;
    }
    if (m_linger && !(m_time < m_lifeSpan - m_p.earlierTime)) return 0;
    const bool firstFrame = m_startTime < m_time && (m_time - m_startTime) <= dt;
    return ComputeEmissionCount(dt, rate, firstFrame && m_p.emitAtBegin, m_free == nullptr, m_accumulator);
}

void ParticleSystem::Emit(int count) {
    const bool sheet = m_isSheet;
    const int frames = m_grid.FrameCount();
    for (int n = 0; n < count && m_free; ++n) {
        Particle* p = m_free;
        m_free = p->next;
        Vec3 v, offset;
        if (m_p.anchorSum == 0 || m_anchors.size() < m_p.anchorSum) {
            MakeEmissionPoint(m_shape, m_radiusCurve.Evaluate(m_time), v, offset);
            p->anchored = 1;
            if (m_anchors.size() < m_p.anchorSum) m_anchors.push_back({v, offset, p});
        } else {
            const ParticleAnchor& a = m_anchors[win32::timeGetTime() % m_anchors.size()];
            v = a.velocity;
            offset = a.position;
            p->anchored = 0;
        }
        offset += m_posOffset;
        if (m_space == Space::kWorld) {
            const Matrix& world = GetWorldMatrix();
            TransformCoord(offset, world);
            Vec3 turned;
            TransformNormal(v, world, turned);
            v = turned;
        } else if (m_space == Space::kAncestor) {
            TransformCoord(offset, m_toAncestor);
            Vec3 turned;
            TransformNormal(v, m_toAncestor, turned);
            v = turned;
        }
        p->position = offset;
        p->previous = offset;
        p->velocity = v;
        p->startAngle = RandomRange(m_p.minAngle, m_p.maxAngle);
        p->lifeSpan = RandomRange(m_p.minLife, m_p.maxLife);
        const float endAngle = RandomRange(m_p.minSpin, m_p.maxSpin);
        // A particle without a life span turns not at all (it expires at the next step).
        p->spinRate = p->lifeSpan > 0.0f ? (endAngle - p->startAngle) / p->lifeSpan : 0.0f;
        p->size = RandomRange(m_p.minRadius, m_p.maxRadius);
        p->age = 0.0f;
        if (sheet) {
            p->sheetFrame = Rand() % frames;
            p->sheetAnimated = 1;
        } else {
            p->sheetFrame = 0;
            p->sheetAnimated = 0;
        }
        Take(p);
    }
}

// --- update --------------------------------------------------------------------------------------

void ParticleSystem::UpdateAncestor() {
    Matrix m;
    GetLocalMatrix(m);
    SpaceObject* node = Parent();
    for (int level = 0; level < m_ancestorLevel && node; ++level) {
        Matrix local;
        node->GetLocalMatrix(local);
        Matrix product;
        MatrixMultiplyPlain(m, local, product);
        m = product;
        node = node->Parent();
    }
    m_ancestor = node;
    m_toAncestor = m;
}

void ParticleSystem::Integrate(float dt) {
    m_liveParticles = static_cast<std::uint32_t>(m_liveCount);
    if (m_liveCount > 0) {
        for (std::size_t w = 0; w < m_live.size(); ++w) {
            if (m_live[w]) {
                m_boundsRef = m_pool[w * 64 + static_cast<std::size_t>(__builtin_ctzll(m_live[w]))].position;
                break;
            }
        }
        m_boundsMin = m_boundsMax = Vec3();
    } else {
        m_boundsRef = Vec3();
    }
    const Vec3 jitter = m_p.randomSum;
    const bool hasJitter = !NearZero(jitter);
    const float friction = m_p.friction, gravity = m_p.gravity;
    const Vec3 ref = m_boundsRef;
    Vec3 lo = m_boundsMin, hi = m_boundsMax;
    for (std::size_t w = 0; w < m_live.size(); ++w) {
        std::uint64_t bits = m_live[w];
        while (bits) {
            Particle& p = m_pool[w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))];
            bits &= bits - 1;
            if (p.lifeSpan <= p.age) {
                Recycle(&p);
                continue;
            }
            const float age = p.age + dt;
            if (age == p.age) continue;
            p.age = age;
            IntegrateParticle(p, dt, friction, gravity, jitter, hasJitter);
            const Vec3 d = p.position - ref;
            lo = {std::min(lo.x, d.x), std::min(lo.y, d.y), std::min(lo.z, d.z)};
            hi = {std::max(hi.x, d.x), std::max(hi.y, d.y), std::max(hi.z, d.z)};
        }
    }
    m_boundsMin = lo;
    m_boundsMax = hi;
}

int ParticleSystem::FrameCountOfLife() const {
    if (!(m_frameTime > 0.0f)) return 0;
    return ClampToInt(static_cast<double>(m_lifeSpan) / m_frameTime + 0.5, 0, kMaxSnapshotFrames);
}

int ParticleSystem::FrameIndex() const {
    const int frames = FrameCountOfLife();
    if (frames <= 0) return 0;
    return ClampToInt(static_cast<double>(m_time) / m_frameTime + 0.5, 0, frames - 1);
}

void ParticleSystem::RecordSnapshot() {
    const std::size_t index = static_cast<std::size_t>(FrameIndex());
    if (index >= m_snapshots.size() || !m_snapshots[index].empty()) return;
    std::vector<Particle>& snapshot = m_snapshots[index];
    snapshot.reserve(static_cast<std::size_t>(m_liveCount));
    for (std::size_t i = 0; i < m_pool.size(); ++i)
        if (IsLive(i)) snapshot.push_back(m_pool[i]);
}

void ParticleSystem::RestoreSnapshot() {
    const std::size_t index = static_cast<std::size_t>(FrameIndex());
    if (index >= m_snapshots.size() || m_pool.empty()) return;
    const std::vector<Particle>& snapshot = m_snapshots[index];
    const std::size_t n = std::min(snapshot.size(), m_pool.size());
    std::fill(m_live.begin(), m_live.end(), 0);
    m_anchors.clear();
    for (std::size_t i = 0; i < n; ++i) {
        m_pool[i] = snapshot[i];
        // Copies name no anchor: the anchors of the recorded frame are gone.
        m_pool[i].anchored = 0;
        m_live[i >> 6] |= std::uint64_t{1} << (i & 63);
    }
    m_liveCount = static_cast<int>(n);
    m_free = nullptr;
    for (std::size_t i = m_pool.size(); i-- > n;) {
        m_pool[i].next = m_free;
        m_free = &m_pool[i];
    }
}

void ParticleSystem::SnapshotStep(int rate) {
    const int frames = FrameCountOfLife();
    const int index = FrameIndex();
    const float step = m_frameTime;
    if (frames <= 0 || static_cast<std::size_t>(index) >= m_snapshots.size()) {
        // No table holds this frame: run the plain step.
        const float dt = m_playSpeed * step;
        if (EmissionAllowed()) Emit(ChooseEmissionCount(dt, rate, m_lastBurst));
        Integrate(dt);
        return;
    }
    const bool burstDue = m_time - m_lastBurst >= 1.0f;
    if (m_snapshots[static_cast<std::size_t>(index)].empty()) {
        if (m_playSpeed <= 0.0f) {
            const float target = m_time;
            ParticleSystem::SetTime(m_snapshotStart);
            RestoreSnapshot();
            float lastBurst = m_lastBurst;
            // At most one pass over the table: a target far beyond the life span, or a step lost
            // in the float's precision, still ends the replay. The particle steps spent are
            // bounded too: a replay that would cost more stops short of the target.
            long spent = 0;
            for (int guard = 0; m_time < target && guard <= frames; ++guard) {
                if (spent > kReplayBudget) {
                    LogWarning("particle system %s: replay to %g s cut short after %d frames", m_name,
                               double(target), guard);
                    break;
                }
                if (EmissionAllowed()) Emit(ChooseEmissionCount(step, rate, lastBurst));
                Integrate(step);
                m_time += step;
                RecordSnapshot();
                spent += 1 + m_liveCount;
            }
            m_time = target;
        } else {
            const float dt = m_playSpeed * step;
            float lastBurst = m_lastBurst;
            if (EmissionAllowed()) Emit(ChooseEmissionCount(dt, rate, lastBurst));
            Integrate(dt);
            RecordSnapshot();
        }
    } else {
        RestoreSnapshot();
    }
    if (burstDue) m_lastBurst = m_time;
}

void ParticleSystem::Update() {
    FxBase::Update();
    const int rate = ParticleRate(m_p.perSecond);
    if (m_space == Space::kAncestor) UpdateAncestor();
    if (!m_snapshotMode || m_endlessPlay) {
        const float dt = m_playSpeed * m_frameTime;
        if (EmissionAllowed()) Emit(ChooseEmissionCount(dt, rate, m_lastBurst));
        Integrate(dt);
    } else {
        SnapshotStep(rate);
    }
    if (m_state == kFxFinishing && m_liveCount == 0) m_state = kFxInactive;
}

// --- culling and drawing -------------------------------------------------------------------------

std::pair<float, float> ParticleSystem::ComputeSpriteScale(float t) const {
    const float scale = m_scaleCurve.KeyCount() ? m_scaleCurve.EvaluateNormalised(t) : 1.0f;
    const std::uint32_t type = m_p.scaleTimeType, style = m_p.scaleStyle;
    if (type == 0 && style == 0) return {scale, scale * m_ratioCurve.EvaluateNormalised(t)};
    if (type == 0 && style == 1)
        return {scale, m_heightCurve.KeyCount() ? m_heightCurve.EvaluateNormalised(t) : scale};
    if (type == 1 && (style == 0 || style == 1)) {
        const float S = m_scaleCurve.Evaluate(m_time);
        if (style == 0) return {S, S * m_ratioCurve.Evaluate(m_time)};
        return {S, m_heightCurve.Evaluate(m_time)};
    }
    return {scale, scale};
}

bool ParticleSystem::UpdateCulling() {
    float m = 0.0f;
    for (std::size_t i = 0; i < m_pool.size(); ++i) {
        if (!IsLive(i)) continue;
        const Particle& p = m_pool[i];
        const auto [w, h] = ComputeSpriteScale(p.lifeSpan > 0.0f ? p.age / p.lifeSpan : 1.0f);
        m = std::max(m, std::max(w, h));
    }
    m *= m_p.maxRadius;
    Vec3 centre = m_boundsRef + (m_boundsMin + m_boundsMax) * 0.5f;
    const Vec3 extent = m_boundsMax - m_boundsMin;
    Vec3 half;
    SpaceObject* frame = m_space == Space::kEmitter ? this : (m_space == Space::kAncestor ? m_ancestor : nullptr);
    if (frame) {
        Vec3 world;
        if (frame == this) {
            LocalToWorld(centre, world);
        } else {
            TransformCoord(centre, frame->GetWorldMatrix(), world);
        }
        centre = world;
        Vec3 s;
        frame->GetWorldScale(s);
        half = {(extent.x + m) * s.x * 0.5f, (extent.y + m) * s.y * 0.5f, (extent.z + m) * s.z * 0.5f};
    } else {
        half = extent * 0.5f + Vec3(m, m, m);
    }
    const float radius = Vec3ApproxLength(half);
    const bool culled = GetFrameFrustum(kCullPassMain).TestSphere(centre, radius);
    m_culled = culled ? 1 : 0;
    return culled;
}

Camera* ParticleSystem::ActiveCamera() const {
    FxBase* root = GetRoot() ? GetRoot() : const_cast<ParticleSystem*>(this);
    auto* scene = dynamic_cast<IScene*>(root->GetScene());
    return scene ? scene->GetActiveCamera() : nullptr;
}

bool ParticleSystem::PrepareQuads() {
    Camera* camera = ActiveCamera();
    if (!camera) return false;
    SpaceObject* frame = (m_space == Space::kAncestor && m_ancestor) ? m_ancestor : this;
    frame->GetWorldRotation(m_quadRotation);
    m_turnCentre = m_space == Space::kEmitter || (m_space == Space::kAncestor && m_ancestor);
    m_turnMotion = m_space != Space::kWorld;
    m_quadScale = 1.0f;
    if (m_space != Space::kEmitter) {
        Vec3 s;
        frame->GetWorldScale(s);
        m_quadScale = s.x;
    }
    Vec3 reference;
    frame->GetWorldPosition(reference);
    Vec3 eye;
    if (camera->GetParam20() == 0) {
        Vec3 at;
        camera->GetWorldPosition(at);
        eye = at - reference;
    } else {
        Matrix rotation;
        camera->GetWorldRotation(rotation);
        eye = -rotation.Row(2);
    }
    m_axisA = {0.0f, 1.0f, 0.0f};
    m_axisB = {1.0f, 0.0f, 0.0f};
    ResolveDirection(m_shape.plane.normal, m_p.particleDir, m_p.dirType, m_p.dirType == 0 && m_p.alongMoveDir, eye,
                     m_axisA, m_axisB);
    m_normal = NormalizeOr(eye, Vec3(0.0f, 0.0f, 1.0f));
    return true;
}

void ParticleSystem::BuildQuad(int i, Particle& p, float a, float b, std::uint32_t colour) {
    Vec3 q = m_turnCentre ? Turn(p.position, m_quadRotation) : p.position;
    const float w = p.size * a * m_quadScale;
    const float h = p.size * b * m_quadScale;
    Vec3 W, H;
    if (!m_p.alongMoveDir) {
        W = m_axisB * w;
        H = m_axisA * h;
    } else {
        // Without motion, or moving along the normal, the quad keeps the facing axes.
        Vec3 d = NormalizeOr(p.position - p.previous, m_axisA);
        Vec3 s = NormalizeOr(Vec3Cross(d, m_normal), m_axisB);
        if (m_turnMotion) {
            s = NormalizeOr(Turn(s, m_quadRotation), m_axisB);
            d = NormalizeOr(Turn(d, m_quadRotation), m_axisA);
        }
        W = s * w;
        H = d * h;
    }
    if (p.spinRate != 0.0f || m_p.clockRotate > 0.0f) {
        const float angle = p.age * p.spinRate + m_p.clockRotate + p.startAngle;
        const float c = std::cos(angle), sn = std::sin(angle);
        W = RotateAbout(W, m_normal, c, sn);
        H = RotateAbout(H, m_normal, c, sn);
    }
    Vec3 corners[4];
    if (!m_p.alongMoveDir) {
        corners[0] = q - W + H;
        corners[1] = q + W + H;
        corners[2] = q + W - H;
        corners[3] = q - W - H;
    } else {
        corners[0] = q - W + H * 2.0f;
        corners[1] = q + W + H * 2.0f;
        corners[2] = q + W;
        corners[3] = q - W;
    }
    float uv[8] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f};
    if (m_isSheet) {
        if (p.sheetAnimated) {
            if (m_tickCounter <= m_ticksPerFrame) {
                m_tickCounter += 1.0f;
            } else {
                m_tickCounter = 0.0f;
                if (++p.sheetFrame >= m_grid.FrameCount()) p.sheetFrame = 0;
            }
        }
        m_grid.FrameRect(p.sheetFrame, uv);
    }
    for (int k = 0; k < 4; ++k)
        m_primitive->SetVertexUV(4 * i + k, &corners[k].x, uv[2 * k], uv[2 * k + 1], colour);
}

void ParticleSystem::Render() {
    if (m_culled) return;
    if (!m_primitive || !PrepareQuads()) {
        // Nothing to face without a camera.
        m_drawnParticles = 0;
        FxBase::Render();
        return;
    }
    m_drawnParticles = static_cast<std::uint32_t>(m_liveCount);
    Matrix draw;
    MatrixIdentity(draw);
    SpaceObject* frame = m_space == Space::kEmitter ? this : (m_space == Space::kAncestor ? m_ancestor : nullptr);
    if (frame) {
        draw = frame->GetWorldMatrix();
        if (m_p.dirType != 3) MatrixRemoveScale(draw);
    }
    m_primitive->SetTransform(draw.m);

    const std::uint32_t c1 = ColorKeyList::Lookup(m_colorFrame, m_time);
    const int limit = ClampToInt(static_cast<double>(m_pool.size()) * ParticleFactor(), 0, kMaxPool);
    m_primitive->SetTexture(0, m_texture);
    const bool animated = m_texture && m_texture->GetState() == 3;
    const bool perParticle = m_colorFramePar.KeyCount() != 0;
    const float parFirst = m_colorFramePar.FirstTime(), parSpan = m_colorFramePar.Span();
    // Without curves that vary over a life the factors are the same for every particle.
    const bool fixedScale = m_scaleCurve.KeyCount() == 0 && m_p.scaleTimeType == 0 &&
                            (m_p.scaleStyle > 1 || (m_p.scaleStyle == 0 && m_ratioCurve.KeyCount() <= 1) ||
                             (m_p.scaleStyle == 1 && m_heightCurve.KeyCount() == 0));
    const std::pair<float, float> fixed = fixedScale ? ComputeSpriteScale(0.0f) : std::pair<float, float>{1.0f, 1.0f};
    int drawn = 0;
    for (std::size_t w = 0; w < m_live.size() && drawn < limit; ++w) {
        std::uint64_t bits = m_live[w];
        while (bits && drawn < limit) {
            Particle& p = m_pool[w * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))];
            bits &= bits - 1;
            float t = p.lifeSpan > 0.0f ? p.age / p.lifeSpan : 1.0f;
            if (!(t < 1.0f)) t = 1.0f;
            if (!(t > 0.0f)) t = 0.0f;
            const std::uint32_t c2 = perParticle ? ColorKeyList::Lookup(m_colorFramePar, parFirst + parSpan * t) : kColorWhite;
            std::uint32_t colour = c2;
            switch (m_p.colorType) {
            case 0: colour = c1; break;
            case 2: colour = MultiplyColors(c1, c2); break;
            case 3: colour = LerpColor(c1, c2, 0.5f); break;
            default: break;
            }
            // The age is in seconds, the texture's clock in milliseconds.
            if (animated) m_texture->SetTime(p.age * 1000.0f);
            const auto [a, b] = fixedScale ? fixed : ComputeSpriteScale(t);
            BuildQuad(drawn, p, a, b, colour);
            ++drawn;
        }
    }
    if (drawn > 0) {
        m_primitive->SetVertexCountUsed(drawn);
        m_primitive->Draw(-1, -1, 0);
    }
    FxBase::Render();
}

}  // namespace quor::world
