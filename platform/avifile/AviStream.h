#pragma once
// The part of the AVIFile interface that frame capture calls: a stream the host has opened,
// written one sample at a time. Results are COM-style: 0 is success, anything else a failure.

#include <cstdint>

using AVIRESULT = long;

// Index flag of a sample that decodes on its own.
constexpr unsigned long AVIIF_KEYFRAME = 0x00000010UL;

constexpr AVIRESULT AVIERR_OK = 0;
// Failure codes keep the familiar values (severity bit set) so a test can tell them apart.
constexpr AVIRESULT AVIERR_BADPARAM = static_cast<AVIRESULT>(static_cast<int32_t>(0x80044066));
constexpr AVIRESULT AVIERR_BADSIZE = static_cast<AVIRESULT>(static_cast<int32_t>(0x80044068));
constexpr AVIRESULT AVIERR_FILEWRITE = static_cast<AVIRESULT>(static_cast<int32_t>(0x8004406D));

class IAVIStream {
public:
    virtual ~IAVIStream() = default;
    // Writes `samples` samples starting at sample index `start`.
    virtual AVIRESULT Write(long start, long samples, const void* buffer, long bufferSize,
                            unsigned long flags, long* samplesWritten, long* bytesWritten) = 0;
};

// Free-function entry, as the system calls it; a null stream is a bad parameter.
AVIRESULT AVIStreamWrite(IAVIStream* stream, long start, long samples, const void* buffer,
                         long bufferSize, unsigned long flags, long* samplesWritten,
                         long* bytesWritten);
