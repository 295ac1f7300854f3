#include "world/fx/SpeedRateFx.h"

#include "platform/host/IClient.h"
#include "platform/host/IXmlNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/XmlNodePtr.h"
#include "world/fx/KeyLists.h"

namespace quor::world {

SpeedRateFx::~SpeedRateFx() { RestoreTimeScale(); }

bool SpeedRateFx::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    XmlNodePtr keys(node->FirstChildElement("SpeedRateFrame"));
    if (keys) ReadFloatKeyList(keys.Get(), m_keys);
    m_loaded = 1;
    return true;
}

void SpeedRateFx::Update() {
    FxBase::Update();
    // A node without a life span is at its end from the start.
    float x = m_lifeSpan != 0.0f ? m_time / m_lifeSpan : 1.0f;
    if (m_keys.KeyCount() > 0) x = m_keys.EvaluateNormalised(x);
    if (client::IClient* client = Interfaces().client) {
        client->SetTimeScale(x);
        m_scaleSet = true;
    }
}

void SpeedRateFx::RestoreTimeScale() {
    if (!m_scaleSet) return;
    m_scaleSet = false;
    if (client::IClient* client = Interfaces().client) client->SetTimeScale(1.0f);
}

void SpeedRateFx::Release() {
    RestoreTimeScale();
    FxBase::Release();
}

}  // namespace quor::world
