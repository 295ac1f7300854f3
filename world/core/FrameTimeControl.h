#pragma once
#include <atomic>

#include "platform/host/IFrameTimeControl.h"

namespace quor {

// The module-wide frame step, set by the host: every play clock advances by
// speed x 1000 / frame rate milliseconds per tick. All zero until the host sets it,
// so clocks stand still until then.
class FrameTimeControl final : public IFrameTimeControl {
public:
    static FrameTimeControl& Instance();

    int SetFrameRate(int rate) override;
    // Answers the stored frame rate.
    int SetSpeed(float speed) override;

    int FrameRate() const { return m_rate.load(std::memory_order_relaxed); }
    float Speed() const { return m_speed.load(std::memory_order_relaxed); }
    double FrameMilliseconds() const { return m_msPerFrame.load(std::memory_order_relaxed); }

    // Back to all zero (and the standing-clock warning not yet given), for tests.
    void Reset();
    // A clock that plays ticks while the speed is 0: the first time, a warning says why
    // nothing moves (the host has not set the speed).
    void NoteStandingClock();

private:
    FrameTimeControl() = default;
    void Recompute();

    std::atomic<int> m_rate{0};
    std::atomic<float> m_speed{0.0f};
    std::atomic<double> m_msPerFrame{0.0};
    std::atomic<bool> m_standingWarned{false};
};

int GetFrameRate();
// The module's frame step, or on this thread the step of the enclosing ScopedFrameStep.
double GetFrameMilliseconds();

// Within its scope every clock ticked on this thread steps by the given milliseconds: an
// effect's tracks run on the effect's own clock. Scopes nest.
class ScopedFrameStep {
public:
    explicit ScopedFrameStep(double milliseconds);
    ~ScopedFrameStep();
    ScopedFrameStep(const ScopedFrameStep&) = delete;
    ScopedFrameStep& operator=(const ScopedFrameStep&) = delete;

private:
    double m_saved;
};

// Hands the frame-time control to the host client of the interface table, once per
// client; nothing while there is no client. Called by every new clock and again when
// the module is initialised, so a clock made before the client existed is not missed.
void HandFrameTimeControlToClient();
// The next client counts as new again (the interface table was emptied).
void ForgetFrameTimeHandOver();

}  // namespace quor
