#include "platform/avifile/RecordingAviStream.h"

namespace quor::avi {

AVIRESULT RecordingAviStream::Write(long start, long samples, const void* buffer, long bufferSize,
                                    unsigned long flags, long* samplesWritten,
                                    long* bytesWritten) {
    Call call{start, samples, bufferSize, flags, false, {}};
    if (buffer && bufferSize > 0) {
        const auto* p = static_cast<const uint8_t*>(buffer);
        call.bytes.assign(p, p + bufferSize);
    }
    if (failAt_ >= 0 && start == failAt_) {
        call.failed = true;
        calls_.push_back(std::move(call));
        return failResult_;
    }
    calls_.push_back(std::move(call));
    ++written_;
    if (samplesWritten) *samplesWritten = samples;
    if (bytesWritten) *bytesWritten = bufferSize;
    return AVIERR_OK;
}

}  // namespace quor::avi
