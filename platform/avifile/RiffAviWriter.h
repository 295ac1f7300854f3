#pragma once
// An uncompressed AVI file behind IAVIStream: one video stream of bottom-up DIB frames, each
// stored as a "00db" chunk in the "movi" list, closed by an "idx1" index. The headers are
// written at open with placeholder counts and patched when the file is closed.

#include "platform/avifile/AviStream.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quor::avi {

struct VideoFormat {
    int32_t width = 0;
    int32_t height = 0;        // positive: rows bottom-up, as a DIB
    uint16_t bitCount = 24;    // 16, 24 or 32 bits per pixel, uncompressed
    uint32_t framesPerSecond = 25;
};

// Bytes of one uncompressed frame: rows padded to 4 bytes. 0 for a format it cannot hold.
uint32_t FrameBytes(const VideoFormat& format);

class RiffAviWriter final : public IAVIStream {
public:
    // Null (and the reason in `error`) when the format is unusable or the file cannot be made.
    static std::unique_ptr<RiffAviWriter> Open(const std::string& path, const VideoFormat& format,
                                               std::string* error = nullptr);
    ~RiffAviWriter() override;

    RiffAviWriter(const RiffAviWriter&) = delete;
    RiffAviWriter& operator=(const RiffAviWriter&) = delete;

    // Takes one frame at the next sample index; the frame must be exactly FrameBytes() long.
    AVIRESULT Write(long start, long samples, const void* buffer, long bufferSize,
                    unsigned long flags, long* samplesWritten, long* bytesWritten) override;

    // Writes the index and the final sizes. False when any write failed; the file is then
    // incomplete. Called by the destructor when the owner did not.
    bool Close();

    long FrameCount() const { return static_cast<long>(index_.size()); }
    uint32_t FrameSize() const { return frameBytes_; }
    const std::string& Path() const { return path_; }

private:
    struct IndexEntry {
        uint32_t flags;
        uint32_t offset;  // of the chunk header, from the "movi" identifier
        uint32_t size;
    };

    RiffAviWriter(std::FILE* file, std::string path, const VideoFormat& format);
    bool WriteHeaders();
    bool Put(const void* data, size_t size);
    bool PutU32At(long offset, uint32_t value);

    std::FILE* file_;
    std::string path_;
    VideoFormat format_;
    uint32_t frameBytes_;
    uint64_t moviBytes_ = 4;  // the "movi" identifier itself
    std::vector<IndexEntry> index_;
    bool failed_ = false;
};

}  // namespace quor::avi
