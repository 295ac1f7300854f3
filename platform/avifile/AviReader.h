#pragma once
// Parses an AVI file back (the kind RiffAviWriter writes: one uncompressed video stream with
// an idx1 index) so tests and the demo can check what was written. Bounded: every field is
// read at an explicit offset after checking the bytes left, and any inconsistency fails the
// whole parse with its reason.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quor::avi {

struct AviFrame {
    uint32_t flags = 0;       // index flags (AVIIF_KEYFRAME)
    size_t dataOffset = 0;    // absolute file offset of the frame bytes
    uint32_t size = 0;
};

struct AviFile {
    uint32_t microSecPerFrame = 0;
    uint32_t totalFrames = 0;      // from the main header
    uint32_t streams = 0;
    uint32_t width = 0;
    int32_t height = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t length = 0;           // from the stream header
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    std::vector<AviFrame> frames;  // in index order
};

std::optional<AviFile> ParseAvi(const uint8_t* data, size_t size, std::string* error = nullptr);

// Reads the file whole (refusing anything over maxBytes) and parses it.
std::optional<AviFile> ParseAviFile(const std::string& path, std::string* error = nullptr,
                                    size_t maxBytes = size_t{1} << 30);

}  // namespace quor::avi
