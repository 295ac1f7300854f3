#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/IRenderer.h"
#include "platform/win32/RecentRecords.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RenderCamera.h"

namespace quor::host {

// The reference host's renderer as far as the system uses it: makes and takes back
// primitives, effects and render cameras (the cameras do real projection maths), records
// every call in order, and counts live objects so that leaks and double releases show.
// Released objects stay readable until the renderer goes, so tests can inspect them after
// the system let go of them. Loader threads call the renderer too, hence the lock.
class RecordingRenderer final : public render::IRenderer {
public:
    RecordingRenderer() = default;
    RecordingRenderer(const RecordingRenderer&) = delete;
    RecordingRenderer& operator=(const RecordingRenderer&) = delete;

    render::IPrimitive* CreatePrimitive(int kind, std::uint32_t vertexFormat) override;
    void ReleasePrimitive(render::IPrimitive* primitive) override;
    render::IEffect* CreateEffect() override;
    void ReleaseEffect(render::IEffect* effect) override;
    render::IRenderCamera* CreateRenderCamera() override;
    void ReleaseRenderCamera(render::IRenderCamera* camera) override;

    // The latest calls (see win32::RecentRecords) and how many came since the last ClearCalls.
    std::vector<std::string> Calls() const;
    std::uint64_t CallCount() const;
    // How many calls are kept; 0 switches recording off.
    void SetRecordLimit(std::size_t limit);
    void ClearCalls();
    int LivePrimitives() const;
    int LiveEffects() const;
    int LiveRenderCameras() const;
    // Releases of objects this renderer did not hand out or had already taken back.
    int BadReleases() const;

    // Injected failure: while set, CreatePrimitive records the call and answers null.
    void SetFailPrimitives(bool fail);

    // The most recently made object of each kind (null before the first).
    RecordingPrimitive* LastPrimitive() const;
    RecordingEffect* LastEffect() const;
    RenderCamera* LastRenderCamera() const;

private:
    template <class T>
    struct Pool {
        std::vector<std::unique_ptr<T>> all;
        // The interface pointers handed out and not yet taken back.
        std::vector<const void*> live;
    };
    template <class T>
    bool Take(Pool<T>& pool, const void* object);

    mutable std::mutex m_mutex;
    win32::RecentRecords<std::string> m_calls;
    Pool<RecordingPrimitive> m_primitives;
    Pool<RecordingEffect> m_effects;
    Pool<RenderCamera> m_cameras;
    int m_badReleases = 0;
    bool m_failPrimitives = false;
};

}  // namespace quor::host
