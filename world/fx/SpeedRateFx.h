#pragma once
#include "world/core/track/KeyCurve.h"
#include "world/fx/FxBase.h"

namespace quor::world {

// Sets the host client's global time scale every frame from a key list spread over the
// node's life span, to slow the whole game down or speed it up for a moment.
class SpeedRateFx : public FxBase {
public:
    SpeedRateFx() = default;
    ~SpeedRateFx() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void Update() override;
    // Gives the client back its normal speed when this node changed it.
    void Release() override;

    const KeyCurve& Keys() const { return m_keys; }

private:
    void RestoreTimeScale();

    KeyCurve m_keys;
    // Set once the node has given the client a scale, cleared when it restores 1.
    bool m_scaleSet = false;
};

}  // namespace quor::world
