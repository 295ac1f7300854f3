#pragma once
#include <cstdint>

#include "world/fx/FxBase.h"

namespace quor::world {

class Camera;

// Moves the scene's active camera back and forth along a direction and turns it back and forth
// about an axis while it plays, each channel a triangle over its own delay and duration, and
// returns the camera exactly to where it started.
class CameraShakeFx : public FxBase {
public:
    CameraShakeFx();
    ~CameraShakeFx() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void SetPlaying(bool play) override;
    void Reset() override;
    void Deactivate() override;
    void Release() override;
    void Update() override;

    bool IsMoving() const { return m_move.active; }
    bool IsTurning() const { return m_turn.active; }
    Camera* ShakenCamera() const { return m_camera; }

    // One channel's timing: the amount is reached at the middle of the duration and taken
    // back by its end.
    struct Channel {
        float amount = 0.0f;
        float done = 0.0f;
        float start = -1.0f;
        float duration = 0.0f;
        float delay = 0.0f;
        bool active = false;
        // The change of the amount from the previous time to t; false while nothing applies.
        // The last step takes back exactly what was applied and ends the channel.
        bool Step(float t, float lastTime, float& change);
        // What is still applied, taken back at once; ends the channel.
        float Finish();
    };

private:
    void ResetShake();
    void FinishShake();
    // The camera taken at play start while it still exists; otherwise the shake ends untouched.
    Camera* LiveCamera();
    void TakeActiveCamera();
    void Move(Camera* camera, float amount);
    void Turn(Camera* camera, float degrees);

    Vec3 m_moveDirection{0.0f, 0.0f, 0.0f};
    Vec3 m_rotateAxis{0.0f, 1.0f, 0.0f};
    float m_lastTime = 0.0f;
    Channel m_move;
    Channel m_turn;
    Camera* m_camera = nullptr;
    std::uint32_t m_cameraId = 0;
};

}  // namespace quor::world
