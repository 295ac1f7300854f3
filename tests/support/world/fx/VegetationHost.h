#pragma once
// A bound reference host whose recording renderer the vegetation, label and screen-emitter
// classes draw with; their process-wide shared objects go back before the renderer does.
#include "platform/host/ReferenceGui.h"
#include "platform/host/RecordingRenderer.h"
#include "platform/win32/Clock.h"
#include "tests/support/world/LogCapture.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Random.h"
#include "world/fx/BillBoard2.h"
#include "world/fx/CrossTexture.h"
#include "world/fx/Grass.h"
#include "world/fx/QuadBatch.h"
#include "world/fx/UIParticleEmitter.h"

namespace quor::test {

struct VegetationHost {
    LogCapture log;
    host::RecordingRenderer& renderer = log.bound.host.renderer;
    host::ReferenceGui gui;

    VegetationHost() {
        Interfaces().renderer = &renderer;
        Interfaces().gui = &gui;
        win32::TimeSource::SetManual(1000);
        SeedRand(1);
    }
    ~VegetationHost() {
        world::CrossTexture::ReleaseSharedBuffers();
        world::BillBoard2::ReleaseSharedEffect();
        world::Grass::ReleaseSharedEffect();
        world::UIParticleEmitterMgr::Instance().ReleaseAll();
        world::QuadBatch::Release();
        win32::TimeSource::UseReal();
        Interfaces().renderer = nullptr;
        Interfaces().gui = nullptr;
    }
    VegetationHost(const VegetationHost&) = delete;
    VegetationHost& operator=(const VegetationHost&) = delete;
};

}  // namespace quor::test
