#include "world/fx/FxBase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/host/IAsyncLoader.h"
#include "platform/host/IClient.h"
#include "platform/host/IPyClient.h"
#include "platform/host/IRenderer.h"
#include "platform/host/IXmlNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/math/Matrix.h"
#include "world/core/track/TrackBase.h"
#include "world/core/track/TrackRegistry.h"
#include "world/core/FrameTimeControl.h"
#include "world/fx/FxFrameTime.h"
#include "world/fx/FxRenderStates.h"
#include "world/fx/FxTypeTable.h"

namespace quor::world {

namespace {

struct TrackTypeEntry {
    const char* element;
    std::uint32_t kind;  // 0: no track
};

// The child element and track kind of each "TrackType".
constexpr TrackTypeEntry kTrackTypes[] = {
    {"TrackFixPoint", kTrackRotate}, {"TrackLine", kTrackLine},       {"TrackCircle", kTrackCircle},
    {"TrackRotate", kTrackRotate},   {"TrackScale", kTrackScale},     {"TrackSampled", kTrackSampled},
    {"TrackFlyInBox", 0},
};

constexpr std::uint16_t kFxTrackBindMode = 7;

void FormatVec3(const Vec3& v, char* out, std::size_t size) {
    char parts[3][64];
    for (int i = 0; i < 3; ++i) std::snprintf(parts[i], sizeof parts[i], "%f", static_cast<double>(v[i]));
    std::snprintf(out, size, "%s,%s,%s", parts[0], parts[1], parts[2]);
}

void SetFloatAttribute(common::IXmlNode* node, const char* name, float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    node->SetStringAttribute("", name, text);
}

void SetBoolAttribute(common::IXmlNode* node, const char* name, bool value) {
    node->SetStringAttribute("", name, value ? "true" : "false");
}

}  // namespace

// --- the effect face's child accessors --------------------------------------------------------

IFxBase* FxBaseFace::GetChild(int index) { return static_cast<FxBase*>(this)->ChildAt(index); }
int FxBaseFace::GetChildCount() { return static_cast<FxBase*>(this)->ChildCount(); }

// --- construction ------------------------------------------------------------------------------

FxBase::FxBase() { m_frameTime = GetFxFrameTime(); }

FxBase::~FxBase() { FxBase::Release(); }

SpaceObject* FxBase::GetSpaceObject(int) { return this; }
IVisibleObject* FxBase::GetVisibleObject() { return this; }

FxBase* FxBase::ChildAt(int index) const {
    if (index < 0 || index >= static_cast<int>(m_children.size())) return nullptr;
    return m_children[static_cast<std::size_t>(index)];
}

FxBase* FxBase::ParentFx() const {
    SpaceObject* parent = Parent();
    if (!parent || parent->GetObjectType() != 4) return nullptr;
    return static_cast<FxBase*>(parent);
}

void FxBase::MakeRoot() {
    m_root = this;
    m_independent = 1;
}

void FxBase::PrepareChild(FxBase* child) {
    child->m_pendingLoads = 0;
    child->m_sourcePath = m_sourcePath;
    child->m_root = m_root;
    child->m_frameTime = m_frameTime;
    child->m_playSpeed = m_playSpeed;
    child->m_fileName = m_fileName;
    child->m_depth = m_depth + 1;
    child->LinkParentOnly(this);
}

// --- load --------------------------------------------------------------------------------------

bool FxBase::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    m_loaded = 0;
    if (!node) return false;
    if (m_depth >= kMaxDepth) {
        LogError("effect tree deeper than %d levels refused", kMaxDepth);
        m_tooDeep = 1;
        return false;
    }
    if (flags & kFxFlagMark8) m_loadFlag8 = 1;

    // Behaviour keys: a root reads them, its children inherit them through the flags.
    if (!m_independent) {
        m_loop = (flags & kFxFlagLoop) ? 1 : 0;
        m_endlessPlay = (flags & kFxFlagEndless) ? 1 : 0;
        m_updateAlways = (flags & kFxFlagUpdateAlways) ? 1 : 0;
        m_state = (flags & kFxFlagActive) ? kFxReady : kFxInactive;
    } else {
        const bool loop = (flags & kFxFlagReadLoop) ? node->GetBoolAttribute("", "Loop", false)
                                                     : (flags & kFxFlagLoop) != 0;
        const bool endless = node->GetBoolAttribute("", "EndLessPlay", false);
        const bool active = node->GetBoolAttribute("", "DefActive", true);
        const bool always = node->GetBoolAttribute("", "UpdateAlways", true);
        m_loop = loop ? 1 : 0;
        m_endlessPlay = endless ? 1 : 0;
        m_updateAlways = always ? 1 : 0;
        if (loop) flags |= kFxFlagLoop;
        if (endless) flags |= kFxFlagEndless;
        if (active) flags |= kFxFlagActive;
        if (always) flags |= kFxFlagUpdateAlways;
        m_state = active ? kFxReady : kFxInactive;
    }

    node->GetStringAttribute("", "Name", m_name, kNameSize, "Unknown");
    m_name[kNameSize - 1] = '\0';
    m_startTime = node->GetFloatAttribute("", "FxStartTime", 0.0f);
    m_lifeSpan = node->GetFloatAttribute("", "FxLifeSpan", 1.0f);
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    float offset[3];
    ReadXmlFloat3(node, "", "PosOffset", offset, zero);
    m_posOffset = Vec3(offset[0], offset[1], offset[2]);
    m_renderOrder = node->GetIntAttribute("", "RenderOrder", 0);
    node->GetStringAttribute("", "BoneName", m_boneName, kBoneNameSize, "");
    m_boneName[kBoneNameSize - 1] = '\0';

    if (m_kind == kFxKindPlain) SetPosition(m_posOffset);
    SetShortName(m_name);

    const int count = node->CountChildElements(nullptr);
    m_childElementCount = count > 0 ? static_cast<std::uint32_t>(count) : 0u;
    if (count <= 0) return false;

    for (int i = 0; i < count; ++i) {
        XmlNodePtr element(node->ChildElement(nullptr, i));
        if (!element) continue;
        const FxCreator create = FindFxCreator(element->GetName());
        if (!create) continue;
        FxBase* child = create();
        if (!child) return false;
        PrepareChild(child);
        if (!child->LoadFromXml(element.Get(), flags)) {
            const bool tooDeep = child->m_tooDeep != 0;
            child->LinkParentOnly(nullptr);
            delete child;
            // Every walk recurses once per level: the whole tree is refused, not cut.
            if (tooDeep) {
                m_tooDeep = 1;
                return false;
            }
            continue;
        }
        m_children.push_back(child);
        m_lifeSpan = std::max(m_lifeSpan, child->m_startTime + child->m_lifeSpan);
    }
    std::stable_sort(m_children.begin(), m_children.end(),
                     [](FxBase* a, FxBase* b) { return a->GetRenderOrder() < b->GetRenderOrder(); });

    // Motion track: only a node under another node has one.
    const int trackType = node->GetIntAttribute("", "TrackType", 0);
    if (ParentFx() && trackType >= 0 && trackType < static_cast<int>(std::size(kTrackTypes)) &&
        kTrackTypes[trackType].kind != 0) {
        XmlNodePtr trackElement(node->FirstChildElement(kTrackTypes[trackType].element));
        if (trackElement) {
            TrackRegistry& registry = TrackRegistry::GetInstance();
            TrackBase* track = registry.AddTrack(nullptr, kTrackTypes[trackType].kind);
            if (!track || !track->LoadXml(trackElement.Get())) {
                if (track) registry.RemoveTrack(track);
                Release();
                LogWarning("track in fx created failed, operation followed unexpected");
                return false;
            }
            BindTrack(track, 0.0f, false, kFxTrackBindMode, 0.0f);
        }
    }

    m_loaded = 1;
    m_time = 0.0f;
    return true;
}

// --- play state --------------------------------------------------------------------------------

void FxBase::SetPlaying(bool play) {
    TrackBase* track = GetBoundTrack();
    if (play) {
        m_state = kFxPlaying;
        if (track) {
            track->SetTime(0.0f);
            track->Start();
        }
    } else {
        m_state = kFxReady;
        if (track) track->Stop();
    }
}

void FxBase::Reset() {
    m_time = 0.0f;
    m_state = kFxReady;
    if (TrackBase* track = GetBoundTrack()) track->SetTime(0.0f);
    SpaceObject::Update();
    InvalidateTransform();
    for (FxBase* child : m_children)
        if (!child->m_independent) child->Reset();
}

void FxBase::Deactivate() {
    m_state = kFxInactive;
    for (FxBase* child : m_children) {
        if (child->m_independent) continue;
        child->Deactivate();
        if (child->m_state == kFxFinishing) m_state = kFxFinishing;
    }
}

void FxBase::SetTreeState(std::int32_t state) {
    m_state = state;
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetTreeState(state);
}

void FxBase::CancelPendingLoads() {
    InterfaceTable& host = Interfaces();
    if (host.client) host.client->CancelAsyncRequests(this);
    if (host.asyncLoader) host.asyncLoader->CancelOwner(this);
    m_pendingLoads = 0;
}

void FxBase::DetachFromParent() {
    // Only an effect parent keeps the node in a list of its own; any other parent (a scene's
    // root) lets it go through the space object's own unlinking.
    FxBase* parent = ParentFx();
    if (m_independent || !parent) return;
    auto& list = parent->m_children;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    LinkParentOnly(nullptr);
}

void FxBase::Release() {
    if (m_pendingLoads > 0) CancelPendingLoads();
    DropChildren();
    if (TrackBase* track = GetBoundTrack()) {
        UnbindTrack(0.0f);
        TrackRegistry::GetInstance().RemoveTrack(track);
    }
}

void FxBase::DropChildren() {
    std::vector<FxBase*> children;
    children.swap(m_children);
    for (FxBase* child : children) {
        if (!child->m_independent) child->LinkParentOnly(nullptr);
        child->Release();
        delete child;
    }
}

// --- update and render -------------------------------------------------------------------------

float FxBase::ClockTime() const {
    const FxBase* node = this;
    while (!node->m_independent) {
        const FxBase* parent = node->ParentFx();
        if (!parent) break;
        node = parent;
    }
    return node->m_time;
}

bool FxBase::UpdateCulling() {
    m_culled = 0;
    return false;
}

bool FxBase::CullTree() {
    bool all = UpdateCulling();
    for (FxBase* child : m_children)
        if (!child->m_independent && child->m_loaded) all = child->CullTree() && all;
    return all;
}

void FxBase::SyncToParentTime(float t) {
    const float end = m_startTime + m_lifeSpan;
    if (m_state == kFxReady) {
        if (m_startTime < t && t < end) SetPlaying(true);
    } else if (m_state == kFxPlaying) {
        if (t <= m_startTime)
            SetPlaying(false);
        else if (t > end && !m_endlessPlay)
            SetPlaying(false);
    }
}

void FxBase::UpdateOnce(bool& again) {
    if (!IsVisible() || m_state == kFxInactive || !m_loaded) return;
    const bool running = m_state == kFxPlaying || m_state == kFxFinishing;
    if (m_independent && running && CullTree() && !m_updateAlways) return;
    if (m_independent || running) m_time += m_playSpeed * m_frameTime;
    const float t = ClockTime();
    SyncToParentTime(t);
    SpaceObject::Update();
    InvalidateTransform();
    if (m_paused) return;
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        FxBase* child = m_children[i];
        if (!child->m_independent) child->Update();
    }
    if (t > m_startTime + m_lifeSpan && !m_endlessPlay) {
        if (m_loop) {
            SetTime(0.0f);
            if (m_independent) again = true;
        } else {
            SetTreeState(kFxInactive);
        }
    }
}

void FxBase::Update() {
    // One clock for the tree and its tracks: a bound track steps by the effect's frame time
    // (times its play speed, which the track shares), not by the module's frame step.
    ScopedFrameStep step(double(m_frameTime) * 1000.0);
    // A looping root that passed its end starts over in the same frame, once: a step longer
    // than the whole window would otherwise start it over without end.
    bool again = false;
    UpdateOnce(again);
    if (again) {
        bool ignored = false;
        UpdateOnce(ignored);
    }
}

void FxBase::Render() {
    if (!IsVisible() || !m_loaded) return;
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        FxBase* child = m_children[i];
        if (child->m_state != kFxPlaying && child->m_state != kFxFinishing) continue;
        if (child->m_culled || child->GetCulledResult(kCullPassMain)) continue;
        if (!child->IsVisible() || child->m_independent) continue;
        child->Render();
    }
}

void FxBase::DrawParts(int) {
    client::IPyClient* py = Interfaces().pyClient;
    client::IScriptObject* script = py ? py->GetScriptObject() : nullptr;
    if (!script) {
        Render();
        return;
    }
    const float before = script->GetFloat();
    Render();
    float took = script->GetFloat() - before;
    script->CallMethod(5, &took);
}

bool FxBase::SetTime(float time) {
    m_time = time;
    // The effect's time is in seconds, the track's in milliseconds.
    if (TrackBase* track = GetBoundTrack()) track->SetTime(time * 1000.0f);
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetTime(std::max(0.0f, time - child->m_startTime));
    return true;
}

void FxBase::SetPause(bool pause) {
    if (!pause) LogPrint("pause false");
    m_paused = pause ? 1 : 0;
    if (TrackBase* track = GetBoundTrack()) track->Stop();
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetPause(pause);
}

void FxBase::SetPlaySpeed(float speed) {
    m_playSpeed = speed;
    if (TrackBase* track = GetBoundTrack()) track->SetSpeed(speed);
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetPlaySpeed(speed);
}

void FxBase::SetFrameTime(float frameTime) {
    m_frameTime = frameTime;
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetFrameTime(frameTime);
}

// --- settings passed down the tree ------------------------------------------------------------

void FxBase::EnableZBuffer(bool on) {
    if (m_effect) {
        m_zEnabled = on ? 1 : 0;
        if (m_drawState) m_drawState->SetDepthEnable(on);
    }
    for (FxBase* child : m_children)
        if (!child->m_independent) child->EnableZBuffer(on);
}

bool FxBase::IsZBufferEnabled() { return m_effect ? m_zEnabled != 0 : false; }

void FxBase::SetUserValue(int value) {
    m_fxUserValue = value;
    SpaceObject::SetUserValue(value);
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetUserValue(value);
}

void FxBase::SetTextureAnimLength(float length) {
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetTextureAnimLength(length);
}

void FxBase::SetFrameTableMode(std::uint8_t on) {
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetFrameTableMode(on);
}

void FxBase::RebuildBuffers() {
    for (FxBase* child : m_children)
        if (!child->m_independent) child->RebuildBuffers();
}

void FxBase::SetBlendMode(std::uint32_t flag, std::int32_t value) { ApplyRenderState(flag, value); }

void FxBase::ApplyRenderState(std::uint32_t flag, std::int32_t value) {
    render::IRenderState* state = GetRenderState(m_zKey != 0 ? 3 : 1, (flag & 0xFFu) != 0 ? 8 : 0, 3, value);
    m_renderState = state;
    if (m_drawState && state) {
        state->SetValue(render::kFxStateDepth, 3.0f);
        state->SetValue(render::kFxStateExtra, 2.0f);
        state->SetValue(render::kFxStateParam0, 16.0f);
        state->SetValue(render::kFxStateParam1, -1.0f);
        m_drawState->SetRenderState(state, m_zWrite);
    }
    for (FxBase* child : m_children)
        if (!child->m_independent) child->ApplyRenderState(flag, value);
}

void FxBase::SetZWrite(std::int32_t value) {
    m_zWrite = value;
    if (m_drawState) m_drawState->SetRenderState(m_renderState, value);
    for (FxBase* child : m_children)
        if (!child->m_independent) child->SetZWrite(value);
}

void FxBase::SetCulledResult(std::uint8_t culled) {
    VisibleObject::SetCulledResult(culled);
    for (FxBase* child : m_children) child->SetCulledResult(culled);
}

void FxBase::InvalidateTransform() {
    if (!m_loaded) return;
    SpaceObject::InvalidateTransform();
    for (FxBase* child : m_children) child->InvalidateTransform();
}

// --- children and queries ----------------------------------------------------------------------

int FxBase::FindChildIndex(const char* name) {
    if (!name) return -1;
    for (std::size_t i = 0; i < m_children.size(); ++i)
        if (std::strcmp(m_children[i]->m_name, name) == 0) return static_cast<int>(i);
    return -1;
}

IFxBase* FxBase::FindByName(const char* name) {
    if (!name) return nullptr;
    if (std::strcmp(m_name, name) == 0) return this;
    if (!m_loaded) return nullptr;
    for (FxBase* child : m_children)
        if (IFxBase* found = child->FindByName(name)) return found;
    return nullptr;
}

const char* FxBase::GetChildName(int index) {
    FxBase* child = ChildAt(index);
    return child ? child->m_name : nullptr;
}

std::int32_t FxBase::GetChildState(int index) {
    FxBase* child = ChildAt(index);
    return child ? child->m_state : -1;
}

void FxBase::SetChildVisible(int index, bool visible) {
    if (FxBase* child = ChildAt(index)) child->SetVisible(visible, false);
}

bool FxBase::SetVisibleByName(const char* name, bool visible) {
    IFxBase* found = FindByName(name);
    if (!found) return false;
    static_cast<FxBase*>(found)->SetVisible(visible, false);
    return true;
}

void FxBase::DetachChild(int index, bool independent) {
    FxBase* child = ChildAt(index);
    if (!child || (child->m_independent != 0) == independent) return;
    child->m_independent = independent ? 1 : 0;
    if (independent) {
        m_children.erase(m_children.begin() + index);
        // The caller takes it over: it no longer follows this node's transform.
        child->LinkParentOnly(nullptr);
        child->m_root = child;
    }
}

namespace {
// The first direct child of one of two kinds, on a loaded node.
FxBase* FirstChildOfKind(const std::vector<FxBase*>& children, std::int32_t a, std::int32_t b) {
    for (FxBase* child : children)
        if (child->GetKind() == a || child->GetKind() == b) return child;
    return nullptr;
}
}  // namespace

float FxBase::GetTextureAnimLength() {
    if (!m_loaded) return 0.0f;
    FxBase* child = FirstChildOfKind(m_children, kFxKindSprite, kFxKindParticles);
    return child ? child->GetTextureAnimLength() : 0.0f;
}

void FxBase::LoadTexture(const char* name) {
    if (FxBase* child = FirstChildOfKind(m_children, kFxKindSprite, kFxKindSprite)) child->LoadTexture(name);
}

void FxBase::GetTextureAnimInfo(float* columns, float* rows, float* third, float* fourth, char* name, float* length,
                                bool* flag) {
    if (FxBase* child = FirstChildOfKind(m_children, kFxKindSprite, kFxKindParticles))
        child->GetTextureAnimInfo(columns, rows, third, fourth, name, length, flag);
}

std::uint32_t FxBase::GetTotalParticleCount() {
    std::uint32_t total = m_liveParticles;
    for (FxBase* child : m_children)
        if (!child->m_independent) total += child->GetTotalParticleCount();
    return total;
}

std::uint32_t FxBase::GetTotalDrawnParticleCount() {
    std::uint32_t total = m_drawnParticles;
    for (FxBase* child : m_children)
        if (!child->m_independent) total += child->GetTotalDrawnParticleCount();
    return total;
}

void FxBase::ResetParticleStats() {
    m_liveParticles = 0;
    m_drawnParticles = 0;
    for (FxBase* child : m_children)
        if (!child->m_independent) child->ResetParticleStats();
}

const std::string& FxBase::GetFileName(std::string& out) { return out = m_fileName.c_str(); }

bool FxBase::GetBoundingBox(Vec3*, Vec3*) { return false; }

int FxBase::GetNodeCount() { return CountNodes(); }

int FxBase::CountNodes() {
    int count = 0;
    for (FxBase* child : m_children) {
        const int parts = child->GetPartCount();
        if (parts > 0)
            count += parts + child->CountNodes();
        else
            count += 1;
    }
    return count;
}

void FxBase::CollectModels(std::vector<IModel*>& out) {
    for (FxBase* child : m_children) {
        if (IModel* model = child->GetModel()) out.push_back(model);
        child->CollectModels(out);
    }
}

bool FxBase::OnScenePrepare() {
    for (FxBase* child : m_children)
        if (!child->m_independent) child->OnScenePrepare();
    return true;
}

void FxBase::OnSceneFinish() {
    for (FxBase* child : m_children)
        if (!child->m_independent) child->OnSceneFinish();
}

void FxBase::DumpProperties(common::IXmlNode* parent) {
    if (!parent) return;
    XmlNodePtr fx(parent->AddChildElement("Fx"));
    if (!fx) return;
    fx->SetStringAttribute("", "name", m_name);
    fx->SetIntAttribute("", "type", m_kind);
    char text[256];
    FormatVec3(*GetPosition(), text, sizeof text);
    fx->SetStringAttribute("", "position", text);
    Vec3 world;
    GetWorldPosition(world);
    FormatVec3(world, text, sizeof text);
    fx->SetStringAttribute("", "world_position", text);
    SetBoolAttribute(fx.Get(), "visible", IsVisible());
    fx->SetIntAttribute("", "state", m_state);
    SetBoolAttribute(fx.Get(), "pause", m_paused != 0);
    SetFloatAttribute(fx.Get(), "frame_rate", m_playSpeed);
    SetFloatAttribute(fx.Get(), "cur_time", m_time);
    for (FxBase* child : m_children)
        if (!child->m_independent) child->DumpProperties(fx.Get());
}

void FxBase::ResolveDirection(const Vec3& first, const Vec3& second, int directionType, bool useInverseRotation,
                              Vec3& direction, Vec3& firstAxis, Vec3& secondAxis) {
    if (directionType == 2) {
        direction = first;
    } else if (directionType == 3) {
        direction = second;
    } else {
        if (useInverseRotation) {
            Matrix rotation;
            GetWorldRotation(rotation);
            if (MatrixInverse(rotation)) TransformNormal(direction, rotation, direction);
        }
        if (directionType == 1) direction.y = 0.0f;
    }
    const float length = Vec3Length(direction);
    if (!(length >= 1e-5f)) return;
    direction *= 1.0f / length;
    const Vec3 up(0.0f, 1.0f, 0.0f), side(1.0f, 0.0f, 0.0f);
    if (direction.y >= -0.99f && direction.y <= 0.99f) {
        secondAxis = Vec3Cross(direction, up);
        Vec3SetLength(secondAxis, 1.0f);
        firstAxis = Vec3Cross(secondAxis, direction);
    } else {
        firstAxis = Vec3Cross(direction, side);
        Vec3SetLength(firstAxis, 1.0f);
        secondAxis = Vec3Cross(firstAxis, direction);
    }
}

// --- FxGroup -----------------------------------------------------------------------------------

FxGroup::FxGroup() { m_kind = kFxKindPlain; }

bool FxGroup::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    m_lifeSpan = node->GetFloatAttribute("", "LifeSpan", m_lifeSpan);
    m_loaded = 1;
    return true;
}

}  // namespace quor::world
