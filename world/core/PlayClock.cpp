#include "world/core/PlayClock.h"

#include <cmath>

#include "world/core/FrameTimeControl.h"

namespace quor {

namespace {
// Beyond this many wraps in one tick the rest are counted in one step, so that a
// degenerate range or a huge step cannot keep a tick spinning.
constexpr int kWrapSteps = 64;

// How many whole spans fit in distance, and the remainder; a degenerate span or a
// distance that is not finite counts as one wrap with nothing left over.
void Wrap(double distance, double span, std::uint32_t& loopCount, double& rest) {
    if (span < PlayClock::kZero || !std::isfinite(distance) || distance < 0.0) {
        loopCount += 1;
        rest = 0.0;
        return;
    }
    const double whole = std::floor(distance / span) + static_cast<double>(loopCount);
    loopCount = whole >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(whole);
    rest = std::fmod(distance, span);
}
}  // namespace

PlayClock::PlayClock() { HandFrameTimeControlToClient(); }

void PlayClock::Clear() {
    playing = 0;
    time = 0.0;
    length = 0.0;
    rangeStart = 0.0;
    rangeEnd = 0.0;
}

void PlayClock::ResetOpenEnded() {
    length = -1.0;
    rangeEnd = -1.0;
    rangeStart = 0.0;
    loop = 0;
    reverse = 0;
    loopCount = 0;
    state = 0;
    previousState = 0;
}

void PlayClock::SetLength(float ms) {
    if (!(static_cast<double>(ms) > kZero)) return;
    length = static_cast<double>(ms) < kShortestSpan ? kShortestSpan : static_cast<double>(ms);
    rangeStart = 0.0;
    rangeEnd = ms;
}

void PlayClock::SetRange(float startMs, float endMs) {
    if (!(length > 0.0)) return;
    double start = startMs;
    double end = endMs;
    if (start < 0.0) start = 0.0;
    if (end - kShortestSpan < start) end = start + kShortestSpan;
    if (end > length) end = length;
    if (end - kShortestSpan < start) start = end - kShortestSpan;
    rangeStart = start;
    rangeEnd = end;
    if (time < start || time > end) {
        state = 1;
        time = reverse ? end : start;
    }
}

void PlayClock::SetSpeed(float s) {
    // An open-ended clock has no clip to keep the step inside; half its "length" would
    // be negative and turn the speed around.
    if (length < 0.0) {
        speed = s;
        return;
    }
    const double ms = GetFrameMilliseconds();
    const float half = static_cast<float>(length) * 0.5f;
    if (ms * s <= half)
        speed = s;
    else
        speed = static_cast<float>(half / ms);
}

bool PlayClock::Play() {
    if (length == 0.0) return false;
    playing = 1;
    if (length < 0.0) {
        time = 0.0;
        reverse = 0;
        return true;
    }
    if (!reverse && time > rangeEnd - kZero)
        time = rangeStart;
    else if (reverse && time < rangeStart + kZero)
        time = rangeEnd;
    return true;
}

void PlayClock::Seek(float t) {
    previousState = state;
    state = 0;
    time = t;
    if (length >= kZero) {
        const double span = rangeEnd - rangeStart;
        if (time > rangeEnd && span > 0.0) time = std::fmod(static_cast<double>(t), span) + rangeStart;
        if (time < rangeStart + kZero) {
            time = rangeStart;
            state = 1;
        } else if (time > rangeEnd - kZero) {
            time = rangeEnd;
            state = 2;
        }
    } else if (length >= 0.0) {
        time = 0.0;
    } else if (time < rangeStart + kZero) {
        time = rangeStart;
        state = 1;
    }
}

bool PlayClock::Tick() {
    if (!playing) return false;
    const double frame = GetFrameMilliseconds();
    if (frame == 0.0) FrameTimeControl::Instance().NoteStandingClock();
    const double step = frame * static_cast<double>(speed);
    if (length < kZero) {
        if (length < 0.0) {
            time += step;
            return true;
        }
        return false;
    }
    previousState = state;
    state = 0;
    const double span = rangeEnd - rangeStart;

    if (!reverse) {
        time += step;
        int wraps = 0;
        while (time > rangeEnd - kZero) {
            if (!loop) {
                playing = 0;
                state = 2;
                time = rangeEnd;
                return true;
            }
            if (++wraps > kWrapSteps || span < kZero) {
                double rest = 0.0;
                Wrap(time - rangeStart, span, loopCount, rest);
                time = rangeStart + rest;
                state = 1;
                break;
            }
            time -= span;
            if (time < rangeStart) time = rangeStart;
            ++loopCount;
            state = 1;
        }
        if (loop && time + step > rangeEnd - kZero) state = 2;
        return true;
    }

    time -= step;
    if (time >= rangeStart + kZero) return true;
    int wraps = 0;
    while (time < rangeStart + kZero) {
        if (!loop) {
            playing = 0;
            state = 2;
            time = rangeStart;
            return true;
        }
        if (++wraps > kWrapSteps || span < kZero) {
            double rest = 0.0;
            Wrap(rangeEnd - time, span, loopCount, rest);
            time = rangeEnd - rest;
            state = 1;
            if (time - step < rangeStart + kZero) state = 2;
            break;
        }
        time += span;
        if (time > rangeEnd) time = rangeEnd;
        ++loopCount;
        state = 1;
        if (time - step < rangeStart + kZero) state = 2;
    }
    return true;
}

}  // namespace quor
