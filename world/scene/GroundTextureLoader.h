#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Thread.h"

namespace quor::render {
class ITexture;
}

namespace quor::world {

class FarLayer;
class MaskPicture;
struct LayerRecord;

// One file the ground wants loaded, made on the render thread and run on the loader's.
struct GroundLoadJob {
    enum Kind : std::int32_t { kBlock = 0, kMask = 1, kFrontLayer = 2, kBackLayer = 3 };

    GroundLoadJob(std::string name, std::int32_t kind, std::int32_t index, std::int32_t x, std::int32_t y,
                  LayerRecord* record);
    ~GroundLoadJob();
    GroundLoadJob(const GroundLoadJob&) = delete;
    GroundLoadJob& operator=(const GroundLoadJob&) = delete;

    // Loads what the kind names; a block image missing in every format becomes a blank texture.
    void Run();
    // Gives back whatever result the owner did not take over.
    void FreeResults();

    std::string name;  // base path, no extension
    render::ITexture* texture = nullptr;
    std::int32_t kind = kBlock;
    std::int32_t index = -1;
    std::int32_t x = 0;
    std::int32_t y = 0;
    MaskPicture* maskPicture = nullptr;
    FarLayer* layer = nullptr;
    LayerRecord* record = nullptr;
    void* textureHandle = nullptr;
    // Made by the owner's first request pass (the ground is ready once those are installed).
    bool firstPass = false;
};

// The ground's background loader. The render thread collects jobs in the pending list and
// hands them over as one batch; the worker runs the batch and hands it back. The busy flag
// decides who owns the request list: set (with release) by the render thread when a batch is
// handed over, cleared (with release) by the worker when it is done; each side reads it with
// acquire before touching the list.
class GroundTextureLoader {
public:
    // inlineMode: no thread; whoever drives the loader runs each batch with RunBatch (tests).
    explicit GroundTextureLoader(bool inlineMode = false);
    ~GroundTextureLoader();
    GroundTextureLoader(const GroundTextureLoader&) = delete;
    GroundTextureLoader& operator=(const GroundTextureLoader&) = delete;

    bool IsBusy() const { return m_busy.load(std::memory_order_acquire); }
    // The batch the worker finished; meaningful only while not busy.
    const std::vector<std::unique_ptr<GroundLoadJob>>& GetFinishedJobs() const { return m_requests; }
    void Add(std::unique_ptr<GroundLoadJob> job);
    // false: clears busy. true: frees the consumed batch (with any result not taken over),
    // makes the pending jobs the next batch, in order, and sets busy.
    void Submit(bool start);
    // Waits (1 ms polls) until the worker is idle, then discards both lists with their results.
    void CancelAll();
    // The same without waiting: the caller has made sure the worker is idle.
    void CancelAllNoWait();
    // Ends the worker: clears running, waits (5 ms polls) until it says it stopped.
    void Stop();

    // Inline mode: runs the handed-over batch on the calling thread; false when there was none.
    bool RunBatch();
    bool IsInline() const { return m_inline; }
    // The mode grounds made without saying take (thread unless set): test programs that must
    // not start threads switch it to inline.
    static void SetInlineByDefault(bool on);
    static bool InlineByDefault();
    bool IsStopped() const { return m_stopped.load(std::memory_order_acquire); }
    int ThreadPriority() const { return m_thread.Priority(); }
    std::size_t PendingCount() const { return m_pending.size(); }

private:
    std::uint32_t ThreadMain();
    void RunRequests();

    win32::Thread m_thread;
    std::atomic<bool> m_running{true};
    std::vector<std::unique_ptr<GroundLoadJob>> m_requests;
    std::vector<std::unique_ptr<GroundLoadJob>> m_pending;
    std::atomic<bool> m_busy{true};
    std::uint32_t m_threadId = 0;
    std::atomic<bool> m_stopped{false};
    const bool m_inline;
};

}  // namespace quor::world
