#pragma once

namespace quor::render {

class ILightSet;
class IRenderCamera;
class ISceneLightState;

// A view the renderer draws a frame into: the lights and light state it draws with and the
// camera it looks through.
class IRenderView {
public:
    virtual void SetLights(ILightSet* lights, ISceneLightState* state) = 0;
    virtual void SetCamera(IRenderCamera* camera) = 0;
    // Forgets what was queued for the view.
    virtual void Clear() = 0;

protected:
    ~IRenderView() = default;
};

}  // namespace quor::render
