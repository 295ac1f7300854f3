#pragma once

namespace quor::render {

// A per-frame host object a 3D scene drives (the terrain is one). The scene uses the third to
// seventh operations; the first two belong to the host.
class ITickObject {
public:
    virtual void Release() = 0;                         // 0
    virtual void SetOption(int option, int value) = 0;  // 1
    virtual void Update() = 0;                          // 2
    virtual void Render() = 0;                          // 3
    virtual void SetScene(void* scene) = 0;             // 4
    virtual void OnLostDevice() = 0;                    // 5
    virtual void OnResetDevice() = 0;                   // 6

protected:
    ~ITickObject() = default;
};

}  // namespace quor::render
