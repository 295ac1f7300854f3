#include "world/core/track/TrackSampled.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/host/IXmlNode.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/track/TrackData.h"
#include "world/core/track/TrackDataMgr.h"
#include "world/core/track/TrackTemplates.h"
#include "world/core/track/TransformKey.h"

namespace quor::world {

TrackSampled::~TrackSampled() {
    if (m_ownsData && m_data) TrackDataMgr::GetInstance().Release(m_data);
    m_data = nullptr;
}

void TrackSampled::DropData() {
    // The siblings play channels of this data: they go with it.
    if (m_next && m_nextIsSibling) {
        TrackBase* siblings = m_next;
        m_next = nullptr;
        m_nextIsSibling = 0;
        delete siblings;
    }
    if (m_ownsData && m_data) TrackDataMgr::GetInstance().Release(m_data);
    m_data = nullptr;
    m_ownsData = 0;
    m_key = 0;
}

bool TrackSampled::Bind(TrackData* data, std::uint16_t channel, bool chainRest) {
    if (!data || channel >= data->channels.size() || data->GetKeyCount() == 0) return false;
    m_data = data;
    m_channel = channel;
    m_key = 0;
    if (chainRest) {
        // Appended at a kept tail: the chain may be 65,535 tracks long.
        TrackSampled* tail = this;
        const std::size_t count = data->channels.size();
        for (std::size_t c = std::size_t(channel) + 1; c < count; ++c) {
            auto* sibling = NewObject<TrackSampled>();
            if (!sibling) break;
            sibling->m_data = data;
            sibling->m_channel = static_cast<std::uint16_t>(c);
            sibling->ApplyDataSettings();
            tail->m_next = sibling;
            tail->m_nextIsSibling = 1;
            sibling->m_inUse = 1;
            tail = sibling;
        }
    }
    m_changed = 1;
    ApplyDataSettings();
    SetChannelFlags(m_channelFlags);
    return true;
}

void TrackSampled::ApplyDataSettings() {
    m_clock.loop = m_data->flags[0];
    m_goAndReturn = m_data->flags[1];
    m_faceMoveDirection = m_data->flags[2];
    m_faceMode = m_data->flags[3];
    m_channelFlags = m_data->channelFlags;
    const double length = m_data->keyTimes.Length();
    m_clock.SetLength(static_cast<float>(m_goAndReturn ? 2.0 * length : length));
}

bool TrackSampled::AttachData(TrackData* data, std::uint16_t channel) {
    DropData();
    return Bind(data, channel, true);
}

bool TrackSampled::LoadFile(const char* fileName) {
    DropData();
    TrackData* data = TrackDataMgr::GetInstance().Load(fileName);
    if (!data) return false;
    if (!Bind(data, 0, true)) {
        TrackDataMgr::GetInstance().Release(data);
        return false;
    }
    m_ownsData = 1;
    SetSourceName(fileName);
    return true;
}

bool TrackSampled::LoadXml(common::IXmlNode* node) {
    if (!node) return false;
    char name[260] = {};
    node->GetStringAttribute(nullptr, "TrackSampledName", name, sizeof name, "");
    if (name[0] == '\0') {
        LogError("TrackSampled created failed, TrackSampledName, key element created from xmlDoc, is empty");
        return false;
    }
    DropData();
    TrackData* data = TrackDataMgr::GetInstance().Load(name);
    if (!data) return false;
    if (!Bind(data, 0, false)) {
        TrackDataMgr::GetInstance().Release(data);
        return false;
    }
    m_ownsData = 1;
    SetSourceName(name);
    static const float kZero3[3] = {0.0f, 0.0f, 0.0f};
    static const float kOne3[3] = {1.0f, 1.0f, 1.0f};
    float t[3], r[3], s[3];
    ReadXmlFloat3(node, nullptr, "trkTranslation", t, kZero3);
    ReadXmlFloat3(node, nullptr, "trkRotate", r, kZero3);
    ReadXmlFloat3(node, nullptr, "trkScale", s, kOne3);
    TransformKey key;
    key.position = {t[0], t[1], t[2]};
    key.rotation = {r[0], r[1], r[2], 0.0f};
    key.scale = {s[0], s[1], s[2]};
    key.eulerOrder = 2;
    Matrix base;
    TransformKey::ToMatrix(key, base);
    SetBaseMatrix(base);
    return true;
}

bool TrackSampled::InitFrom(const void* record) {
    if (!record) return false;
    const auto& t = *static_cast<const TrackSampledTemplate*>(record);
    if (!t.keyTimes || t.keyCount == 0) return false;
    for (std::uint16_t i = 0; i < t.keyCount; ++i) {
        if (!std::isfinite(t.keyTimes[i])) return false;
    }
    DropData();
    TrackData* data = TrackDataMgr::GetInstance().CreateEmpty();
    if (!data) return false;
    data->flags[0] = t.loop;
    data->flags[1] = t.goAndReturn;
    data->flags[2] = t.faceMoveDirection;
    data->flags[3] = t.faceMode;
    data->keyTimes.Assign(t.keyTimes, t.keyCount);
    data->channels.resize(1);
    TrackChannel& c = data->channels[0];
    c.keyCount = t.keyCount;
    c.hasPositionKeys = t.positions ? t.hasPositionKeys : 0;
    c.hasRotationKeys = t.rotations ? t.hasRotationKeys : 0;
    c.hasScaleKeys = t.scales ? t.hasScaleKeys : 0;
    c.eulerRotation = 0;
    c.Resize();
    if (t.positions) std::copy(t.positions, t.positions + c.positions.size(), c.positions.begin());
    if (t.rotations) std::copy(t.rotations, t.rotations + c.rotations.size(), c.rotations.begin());
    if (t.scales) std::copy(t.scales, t.scales + c.scales.size(), c.scales.begin());
    Bind(data, 0, false);
    m_ownsData = 1;
    return true;
}

std::uint16_t TrackSampled::FindKey(float time) {
    if (!m_data || m_data->GetKeyCount() == 0) return 0;
    m_key = m_data->keyTimes.FindForward(time, m_key, nullptr);
    return m_key;
}

bool TrackSampled::TestFlag800() const { return m_data && (m_data->channelFlags & 0x800) != 0; }

void TrackSampled::Evaluate() {
    TransformKey key;
    if (m_data && m_channel < m_data->channels.size() && m_data->GetKeyCount() > 0) {
        const KeyTimeTable& table = m_data->keyTimes;
        float t = static_cast<float>(m_clock.time);
        const std::uint16_t count = table.Count();
        const bool back = m_goAndReturn && t > static_cast<float>(m_clock.length) * 0.5f;
        if (back) t = static_cast<float>(m_clock.length) - t;
        // From the last key on there is no interval to find: the last key holds.
        const float* times = table.Times();
        if (t >= times[count - 1]) {
            m_key = count - 1;
        } else if (m_key + 1 < count && times[m_key] <= t && t < times[m_key + 1]) {
            // Still inside the interval of the last frame: most frames are.
        } else {
            m_key = back ? table.FindBackward(t, m_key, nullptr) : table.FindForward(t, m_key, nullptr);
        }
        if (m_key >= count) m_key = count - 1;
        // The fraction from the key times: none past the last key or over an empty span.
        float fraction = 0.0f;
        if (m_key + 1 < count) {
            const float span = times[m_key + 1] - times[m_key];
            if (span > 0.0f) fraction = std::clamp((t - times[m_key]) / span, 0.0f, 1.0f);
        }
        m_data->channels[m_channel].Sample(m_key, fraction, key);
    }
    m_position = key.position;
    m_scale = key.scale;
    if (key.eulerOrder != 0) EulerToMatrix(key.rotation.x, key.rotation.y, key.rotation.z, m_rotation, key.eulerOrder);
    else QuaternionToMatrix(key.rotation, m_rotation);
    TrackBase::Evaluate();
}

}  // namespace quor::world
