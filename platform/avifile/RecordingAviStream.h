#pragma once
// Test double of an AVI stream: records every write and can be told to fail at one sample.

#include "platform/avifile/AviStream.h"

#include <cstdint>
#include <vector>

namespace quor::avi {

class RecordingAviStream final : public IAVIStream {
public:
    struct Call {
        long start;
        long samples;
        long bufferSize;
        unsigned long flags;
        bool failed;
        std::vector<uint8_t> bytes;  // copy of the buffer (empty when it was null)
    };

    // The write of sample index `sample` fails with `result`; -1 turns failure off.
    void FailAtSample(long sample, AVIRESULT result = AVIERR_FILEWRITE) {
        failAt_ = sample;
        failResult_ = result;
    }

    AVIRESULT Write(long start, long samples, const void* buffer, long bufferSize,
                    unsigned long flags, long* samplesWritten, long* bytesWritten) override;

    const std::vector<Call>& Calls() const { return calls_; }
    long Written() const { return written_; }  // successful writes

private:
    std::vector<Call> calls_;
    long failAt_ = -1;
    AVIRESULT failResult_ = AVIERR_FILEWRITE;
    long written_ = 0;
};

}  // namespace quor::avi
