#pragma once
#include <cstdint>
#include <string>

#include "world/core/track/KeyCurve.h"
#include "world/fx/FxBase.h"

namespace quor::world {

class ModelBase;

// An effect node that owns a model loaded from a mesh file: plays one of its animations while
// the node plays, sits at the node's world transform plus the position offset, and takes its
// alpha and scale from two key lists spread over the node's life span.
class ModelFx : public FxBase {
public:
    ModelFx();
    ~ModelFx() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void SetPlaying(bool play) override;
    void Deactivate() override;
    void Release() override;
    void Update() override;
    void Render() override;
    void SetPlaySpeed(float speed) override;
    void SetZWrite(std::int32_t value) override;
    int GetTriangleCount() override;
    bool GetBoundingBox(Vec3* min, Vec3* max) override;
    using FxBase::UpdateCulling;
    bool UpdateCulling() override;
    IModel* GetModel() override;
    bool OnScenePrepare() override;
    void OnSceneFinish() override;
    virtual void SetModelBlendMode(std::uint32_t flag, std::int32_t value);  // 60

    // "DirType" to the model's direction mode: 0 gives 1, 1 gives 2, 2 gives 0, others pass.
    static int DirectionMode(int dirType);

    ModelBase* Model() const { return m_model; }
    std::int32_t AnimationKind() const { return m_animKind; }
    std::int32_t AnimationIndex() const { return m_animIndex; }
    const Vec3& ScaleFactor() const { return m_scaleFactor; }
    std::uint8_t AlphaByte() const { return m_alphaByte; }
    const std::string& AlphaParamName() const { return m_alphaParamName; }

protected:
    // The empty model the file is loaded into (tests give their own).
    virtual ModelBase* CreateModel();

private:
    ModelBase* m_model = nullptr;
    std::int32_t m_animKind = 3;
    std::int32_t m_animIndex = 0;
    std::string m_alphaParamName = "Alpha";
    Vec3 m_scaleFactor{0.0f, 0.0f, 0.0f};
    KeyCurve m_scaleKeys;
    KeyCurve m_alphaKeys;
    std::uint8_t m_alphaByte = 0;
};

}  // namespace quor::world
