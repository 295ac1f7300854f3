#include "apps/world_host/FigureDemo.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "apps/world_host/PictureCheck.h"
#include "platform/glrender/GlRenderer.h"
#include "world/core/Camera.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/IScene.h"

namespace quor::demo {

namespace {

constexpr int kSkeletal = 1;
const char* const kReportedBones[] = {"Head", "LHand", "RHand", "LFoot"};

std::string NameOf(world::IModel* model, int index) {
    const char* name = index >= 0 ? model->GetAnimationName(index) : nullptr;
    return name ? name : "-";
}

}  // namespace

FigureDemo::FigureDemo(world::IScene* scene, world::IModel* model, const FigureDemoOptions& options)
    : m_model(model), m_options(options) {
    if (!m_model || !scene || m_options.play.empty()) return;
    // The camera at the origin looking down +z, as the picture's camera.
    if (!scene->GetActiveCamera())
        if (world::Camera* camera = scene->CreateCamera(true)) {
            Matrix at;
            const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            std::memcpy(at.m, identity, sizeof identity);
            camera->SetWorldMatrix(at);
        }
    // In front of the picture's camera (at the origin, looking down +z), feet below the eye.
    m_model->GetSpaceObject(0)->SetPosition(Vec3{0.0f, -1.0f, 3.0f});
    const int index = m_model->FindAnimation(m_options.play.c_str(), false);
    const bool played = index != 0xFFFF && m_model->PlaySkeletalAnimation(index, -1.0f, 16, -1.0f, 1, 1.0f);
    std::printf("figure play: %s %s, %d bones, %d animations\n", m_options.play.c_str(),
                played ? "playing" : "not found", m_model->GetBoneCount(), m_model->GetAnimationCount(kSkeletal));
}

void FigureDemo::AfterFrame(int frame, host::GlRenderer* gl) {
    if (!m_model) return;
    if (!m_options.upper.empty() && frame == m_options.frames / 4 + 1) {
        // The split keeps the whole-body clip on the legs, from where it stands, while the new
        // current clip drives the upper body.
        const int index = m_model->FindAnimation(m_options.upper.c_str(), false);
        const int walk = m_model->GetCurrentAnimation(kSkeletal);
        const float at = m_model->GetAnimationTime(kSkeletal);
        const bool played = index != 0xFFFF && walk >= 0 && m_model->PlaySkeletalAnimation(index, 0.0f, 16, 0.0f, 1, 1.0f) &&
                            m_model->PlaySplitAnimation(true, walk, at, 1, 1.0f);
        m_lower = played ? NameOf(m_model, walk) : std::string();
        std::printf("figure upper: %s %s from frame %d, legs on %s\n", m_options.upper.c_str(),
                    played ? "playing" : "not played", frame, m_lower.empty() ? "-" : m_lower.c_str());
    }
    // The queued events are read in place, then taken from the queue.
    std::string events;
    const int queued = m_model->GetAnimationEventCount();
    for (int i = 0; i < queued; ++i) {
        if (const char* event = m_model->GetAnimationEvent(i)) events += std::string(events.empty() ? "" : " ") + event;
    }
    while (m_model->PopAnimationEvent()) {
    }
    std::string bones;
    for (const char* name : kReportedBones) {
        const std::uint16_t bone = m_model->FindBone(name);
        if (bone == 0xFFFF) continue;
        Matrix m;
        m_model->GetBoneWorldMatrix(bone, m);
        char text[96];
        std::snprintf(text, sizeof text, "%s%s (%.2f, %.2f, %.2f)", bones.empty() ? "" : ", ", name, m.m[12], m.m[13],
                      m.m[14]);
        bones += text;
    }
    // The world bound of the current clip's key.
    Vec3 centre, half;
    m_model->GetWorldBound(&centre, nullptr, &half, 1);
    std::printf("figure frame %d: clip %s%s%s, time %.1f ms, events %s, bones %s, bound (%.2f, %.2f, %.2f) half (%.2f, "
                "%.2f, %.2f)\n",
                frame, NameOf(m_model, m_model->GetCurrentAnimation(kSkeletal)).c_str(),
                m_lower.empty() ? "" : " over legs on ", m_lower.c_str(), m_model->GetAnimationTime(kSkeletal),
                events.empty() ? "-" : events.c_str(), bones.c_str(), centre.x, centre.y, centre.z, half.x, half.y,
                half.z);
    // Picture k of n after frame ceil(k * frames / n).
    const int n = m_options.pictures;
    if (!gl || n <= 0 || m_written >= n || m_options.frames <= 0) return;
    const int due = ((m_written + 1) * m_options.frames + n - 1) / n;
    if (frame < due) return;
    ++m_written;
    const std::filesystem::path base(m_options.picture);
    const std::filesystem::path path =
        base.parent_path() / (base.stem().string() + "-" + std::to_string(m_written) + base.extension().string());
    std::error_code made;
    if (!path.parent_path().empty()) std::filesystem::create_directories(path.parent_path(), made);
    const bool written = gl->WritePng(path.string());
    std::printf("figure picture %d: %s %s\n", m_written, path.string().c_str(), written ? "written" : "not written");
    if (written) CheckModelPicture(path.string(), kDemoClearArgb);
}

}  // namespace quor::demo
