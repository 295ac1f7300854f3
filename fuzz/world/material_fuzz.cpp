// Feeds arbitrary bytes to the renderer's material reader, as a mesh's material block and as a
// ".mtl" document. What loads is handed out whole and comes back whole: after the release no
// object of the renderer is alive and no release went wrong.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/host/MaterialFormat.h"
#include "platform/host/RecordingRenderer.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::host::MaterialGroupDesc group;
    std::string error;
    if (quor::host::ReadMaterialGroup(data, size, group, error)) {
        Require(group.slots.size() <= quor::host::kMaxMaterialSlots);
        Require(group.defaultSlot >= -1 && group.defaultSlot < std::int32_t(group.slots.size()));
        for (const auto& slot : group.slots) {
            for (const auto& stage : slot.material.stages) Require(stage.index < quor::host::kMaxMaterialStages);
        }
    } else {
        Require(!error.empty() && group.slots.empty());
    }
    quor::host::MaterialDesc material;
    error.clear();
    if (!quor::host::ReadMaterial(data, size, material, error)) Require(!error.empty() && material.stages.empty());

    quor::host::RecordingRenderer renderer;
    renderer.SetRecordLimit(0);
    if (quor::render::IMaterialGroup* g = renderer.CreateMaterialGroup(data, std::uint32_t(size), -3)) {
        const std::uint32_t count = g->GetSlotCount();
        Require(count == group.slots.size());
        std::uint32_t values[4];
        for (std::uint32_t i = 0; i < count; ++i) Require(g->GetSlotName(i) && g->GetSlotValues(i, values));
        Require(!g->GetSlotName(count) && !g->GetSlotValues(count, values));
        renderer.ReleaseMaterial(g);
    }
    Require(renderer.LiveObjects() == 0 && renderer.BadReleases() == 0);
    return 0;
}
