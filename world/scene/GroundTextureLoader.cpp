#include "world/scene/GroundTextureLoader.h"

#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/scene/FarLayer.h"
#include "world/scene/MaskPicture.h"

namespace quor::world {

namespace {

// The block image formats, tried in this order.
constexpr const char* kBlockExtensions[] = {".dds", ".jpg", ".tga"};
// LoadTexture's width argument 21 asks for A8R8G8B8; -3 takes the mip levels from the file.
constexpr std::int32_t kArgbFormat = 21;
constexpr std::int32_t kMipsFromFile = -3;
constexpr std::int32_t kBlankSide = 256;

std::atomic<bool> g_inlineByDefault{false};

}  // namespace

void GroundTextureLoader::SetInlineByDefault(bool on) { g_inlineByDefault.store(on); }
bool GroundTextureLoader::InlineByDefault() { return g_inlineByDefault.load(); }

GroundLoadJob::GroundLoadJob(std::string jobName, std::int32_t jobKind, std::int32_t jobIndex, std::int32_t jobX,
                             std::int32_t jobY, LayerRecord* jobRecord)
    : name(std::move(jobName)), kind(jobKind), index(jobIndex), x(jobX), y(jobY), record(jobRecord) {}

GroundLoadJob::~GroundLoadJob() { FreeResults(); }

void GroundLoadJob::Run() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (!renderer) return;
    switch (kind) {
    case kBlock: {
        std::string path;
        for (const char* extension : kBlockExtensions) {
            path = name + extension;
            texture = renderer->LoadTexture(path.c_str(), kArgbFormat, 0, kMipsFromFile, 0, 0, 0);
            if (texture) break;
        }
        if (!texture) {
            LogError("2d场景地面贴图：%s 不存在,请检查资源!", path.c_str());
            texture = renderer->CreateTexture(kBlankSide, kBlankSide, 0, 0, 1, 0);
        }
        textureHandle = texture ? texture->GetSurface() : nullptr;
        break;
    }
    case kMask:
        maskPicture = new MaskPicture(name.c_str(), float(x), float(y));
        maskPicture->SetRecord(record);
        textureHandle = maskPicture->GetTextureHandle();
        break;
    case kFrontLayer:
    case kBackLayer: {
        const float position[2] = {float(x), float(y)};
        layer = new FarLayer(name.c_str(), position);
        layer->SetRecord(record);
        textureHandle = layer->GetTextureHandle();
        break;
    }
    default:
        break;
    }
}

void GroundLoadJob::FreeResults() {
    delete maskPicture;
    maskPicture = nullptr;
    delete layer;
    layer = nullptr;
    render::IRenderer* renderer = Interfaces().renderer;
    if (texture && kind == kBlock) {
        // A texture without a surface handle can only go back by pointer.
        if (textureHandle && renderer)
            renderer->UnloadTexture(textureHandle, 0);
        else if (renderer)
            renderer->ReleaseTexture(texture);
        texture = nullptr;
        textureHandle = nullptr;
    }
}

// --- GroundTextureLoader ---------------------------------------------------------------------

GroundTextureLoader::GroundTextureLoader(bool inlineMode) : m_inline(inlineMode) {
    if (m_inline) {
        m_stopped.store(true, std::memory_order_release);
        return;
    }
    m_thread.Start([this] { return ThreadMain(); });
    m_threadId = m_thread.Id();
    m_thread.SetPriority(win32::THREAD_PRIORITY_LOWEST);
}

GroundTextureLoader::~GroundTextureLoader() {
    // The owner stops the worker first; a loader dropped without that still must not leave a
    // thread running over freed lists.
    if (!m_inline && !IsStopped()) {
        while (IsBusy()) win32::Sleep(1);
        Stop();
    }
    m_thread.Join();
    CancelAllNoWait();
}

std::uint32_t GroundTextureLoader::ThreadMain() {
    while (m_running.load(std::memory_order_acquire)) {
        win32::Sleep(10);
        if (m_busy.load(std::memory_order_acquire)) {
            RunRequests();
            m_busy.store(false, std::memory_order_release);
        }
    }
    m_stopped.store(true, std::memory_order_release);
    return 0;
}

void GroundTextureLoader::RunRequests() {
    for (const auto& job : m_requests)
        if (job) job->Run();
}

bool GroundTextureLoader::RunBatch() {
    if (!m_inline || !IsBusy()) return false;
    RunRequests();
    m_busy.store(false, std::memory_order_release);
    return true;
}

void GroundTextureLoader::Add(std::unique_ptr<GroundLoadJob> job) {
    if (job) m_pending.push_back(std::move(job));
}

void GroundTextureLoader::Submit(bool start) {
    if (!start) {
        m_busy.store(false, std::memory_order_release);
        return;
    }
    // Results still in a consumed job were not taken over: they go with it.
    m_requests.clear();
    m_requests.swap(m_pending);
    m_busy.store(true, std::memory_order_release);
}

void GroundTextureLoader::CancelAll() {
    // Nothing runs an inline batch while its driver is here.
    if (!m_inline)
        while (IsBusy() && !IsStopped()) win32::Sleep(1);
    CancelAllNoWait();
}

void GroundTextureLoader::CancelAllNoWait() {
    m_requests.clear();
    m_pending.clear();
}

void GroundTextureLoader::Stop() {
    m_running.store(false, std::memory_order_release);
    if (m_inline) return;
    while (!IsStopped()) win32::Sleep(5);
}

}  // namespace quor::world
