#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/ILightSet.h"
#include "platform/host/IRenderView.h"

namespace quor::host {

// A light of the recording light set: keeps what every operation set, so that what the world
// handed over can be read back, and logs the operation numbers it got in order.
class RecordingRenderLight final : public render::IRenderLight {
public:
    RecordingRenderLight(int kind, std::uint16_t index) : type(kind), index(index) {}

    void SetPosition(const float* xyz) override { Copy(position, xyz, 3, 0); }
    const float* GetPosition() override { return Log(1), position; }
    void SetDirection(const float* xyz) override { Copy(direction, xyz, 3, 2); }
    const float* GetDirection() override { return Log(3), direction; }
    void SetDiffuse(const float* rgba) override { Copy(diffuse, rgba, 4, 4); }
    const float* GetDiffuse() override { return Log(5), diffuse; }
    void SetSpecular(const float* rgba) override { Copy(specular, rgba, 4, 6); }
    const float* GetSpecular() override { return Log(7), specular; }
    void SetAmbient(const float* rgba) override { Copy(ambient, rgba, 4, 8); }
    const float* GetAmbient() override { return Log(9), ambient; }
    void SetIntensity(const float* rgba) override { Copy(intensity, rgba, 4, 10); }
    void SetRange(float value) override { Log(11), range = value; }
    float GetRange() override { return Log(12), range; }
    void SetAttenuation(float a0, float a1, float a2) override;
    void GetAttenuation(float* a0, float* a1, float* a2) override;
    void SetInnerAngle(float radians) override { Log(15), inner = radians; }
    float GetInnerAngle() override { return Log(16), inner; }
    void SetOuterAngle(float radians) override { Log(17), outer = radians; }
    float GetOuterAngle() override { return Log(18), outer; }
    void SetEnabled(bool on) override { Log(19), enabled = on; }
    bool IsEnabled() override { return Log(20), enabled; }
    int GetType() override { return Log(21), type; }
    void SetType(int value) override { Log(22), type = value; }
    std::uint32_t GetIndex() override { return Log(23), index; }

    // How many times operation `op` was called.
    int Count(int op) const;

    float position[3] = {0, 0, 0};
    float direction[3] = {0, 0, 1};
    float diffuse[4] = {1, 1, 1, 1};
    float specular[4] = {1, 1, 1, 1};
    float ambient[4] = {1, 1, 1, 1};
    float intensity[4] = {1, 1, 1, 1};
    float range = 0.0f;
    float attenuation[3] = {1, 0, 0};
    float inner = 0.0f;
    float outer = 0.0f;
    bool enabled = false;
    int type;
    std::uint16_t index;
    bool removed = false;
    std::vector<int> ops;

private:
    void Log(int op) { ops.push_back(op); }
    void Copy(float* to, const float* from, int n, int op);
};

// The recording renderer's light set: lights by index, kept readable after removal (marked
// removed) so tests can check what the world last gave them.
class RecordingLightSet final : public render::ILightSet {
public:
    std::uint16_t CreateLight(int kind, std::uint16_t hint) override;
    render::IRenderLight* GetLight(std::uint16_t index) override;
    void RemoveLight(std::uint16_t index) override;
    void Clear(int mode) override;

    // Lights not removed.
    int LiveLights() const;
    // Every light made, removed ones included, by index.
    RecordingRenderLight* Light(std::uint16_t index) const;
    std::vector<std::string> calls;
    // Injected failure: CreateLight answers 0xFFFF.
    bool full = false;

private:
    std::vector<std::unique_ptr<RecordingRenderLight>> m_lights;
};

// A render view of the recording renderer: what it was given and how often it was cleared.
class RecordingRenderView final : public render::IRenderView {
public:
    explicit RecordingRenderView(int kind) : kind(kind) {}
    void SetLights(render::ILightSet* set, render::ISceneLightState* state) override {
        lights = set;
        lightState = state;
    }
    void SetCamera(render::IRenderCamera* value) override { camera = value; }
    void Clear() override { ++clears; }

    int kind;
    render::ILightSet* lights = nullptr;
    render::ISceneLightState* lightState = nullptr;
    render::IRenderCamera* camera = nullptr;
    int clears = 0;
};

// Light sets and render views a renderer hands out, live and released, with bad releases
// counted. Released objects stay readable until the store goes.
struct RecordingViewStore {
    std::vector<std::unique_ptr<RecordingLightSet>> lightSets;
    std::vector<RecordingLightSet*> liveLightSets;
    std::vector<std::unique_ptr<RecordingRenderView>> views;
    std::vector<RecordingRenderView*> liveViews;
    int badReleases = 0;

    // Null when the object is not live here; otherwise it leaves the live list.
    template <class T>
    static bool Take(std::vector<T*>& live, const void* object) {
        for (auto it = live.begin(); it != live.end(); ++it) {
            if (static_cast<const void*>(*it) == object) {
                live.erase(it);
                return true;
            }
        }
        return false;
    }
    // Deletes a released object (a store that keeps none, see RecordingStore::keepReleased).
    template <class T>
    static void Forget(std::vector<std::unique_ptr<T>>& all, const void* object) {
        for (auto it = all.begin(); it != all.end(); ++it) {
            if (static_cast<const void*>(it->get()) == object) {
                all.erase(it);
                return;
            }
        }
    }
};

}  // namespace quor::host
