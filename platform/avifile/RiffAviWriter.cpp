#include "platform/avifile/RiffAviWriter.h"

#include "platform/avifile/RiffLayout.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quor::avi {

namespace {

void PutLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutTag(uint8_t* p, const char* tag) { std::memcpy(p, tag, 4); }

// RIFF sizes are 32-bit; keep room for the index and the final header patch.
constexpr uint64_t kMaxRiffBytes = 0xFFFFFFF0ULL;

}  // namespace

uint32_t FrameBytes(const VideoFormat& f) {
    if (f.width <= 0 || f.height <= 0) return 0;
    if (f.bitCount != 16 && f.bitCount != 24 && f.bitCount != 32) return 0;
    const uint64_t stride = ((static_cast<uint64_t>(f.width) * f.bitCount + 31) / 32) * 4;
    const uint64_t bytes = stride * static_cast<uint64_t>(f.height);
    if (bytes == 0 || bytes > kMaxRiffBytes / 2) return 0;
    return static_cast<uint32_t>(bytes);
}

std::unique_ptr<RiffAviWriter> RiffAviWriter::Open(const std::string& path,
                                                   const VideoFormat& format,
                                                   std::string* error) {
    if (FrameBytes(format) == 0 || format.framesPerSecond == 0) {
        if (error) *error = "unsupported video format";
        return nullptr;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        if (error) *error = "cannot create " + path;
        return nullptr;
    }
    std::unique_ptr<RiffAviWriter> writer(new RiffAviWriter(file, path, format));
    if (!writer->WriteHeaders()) {
        if (error) *error = "cannot write the headers of " + path;
        return nullptr;
    }
    return writer;
}

RiffAviWriter::RiffAviWriter(std::FILE* file, std::string path, const VideoFormat& format)
    : file_(file), path_(std::move(path)), format_(format), frameBytes_(FrameBytes(format)) {}

RiffAviWriter::~RiffAviWriter() { Close(); }

bool RiffAviWriter::Put(const void* data, size_t size) {
    if (failed_ || !file_) return false;
    if (size && std::fwrite(data, 1, size, file_) != size) failed_ = true;
    return !failed_;
}

bool RiffAviWriter::PutU32At(long offset, uint32_t value) {
    uint8_t b[4];
    PutLE32(b, value);
    if (std::fseek(file_, offset, SEEK_SET) != 0) return false;
    return std::fwrite(b, 1, 4, file_) == 4;
}

bool RiffAviWriter::WriteHeaders() {
    using namespace layout;
    uint8_t h[kMoviData] = {};
    PutTag(h + 0, "RIFF");
    PutTag(h + 8, "AVI ");
    PutTag(h + kHdrlList, "LIST");
    PutLE32(h + kHdrlList + 4, kHdrlSize);
    PutTag(h + kHdrlList + 8, "hdrl");

    uint8_t* avih = h + kAvihChunk;
    PutTag(avih, "avih");
    PutLE32(avih + 4, kAvihBytes);
    uint8_t* a = avih + 8;
    PutLE32(a + 0, 1000000u / format_.framesPerSecond);             // microseconds per frame
    PutLE32(a + 4, static_cast<uint32_t>(std::min<uint64_t>(          // bytes per second
        uint64_t{frameBytes_} * format_.framesPerSecond, 0xFFFFFFFFu)));
    PutLE32(a + 12, kAvifHasIndex);
    PutLE32(a + 24, 1);                                               // streams
    PutLE32(a + 28, frameBytes_);                                     // suggested buffer
    PutLE32(a + 32, static_cast<uint32_t>(format_.width));
    PutLE32(a + 36, static_cast<uint32_t>(format_.height));

    PutTag(h + kStrlList, "LIST");
    PutLE32(h + kStrlList + 4, kStrlSize);
    PutTag(h + kStrlList + 8, "strl");

    uint8_t* strh = h + kStrhChunk;
    PutTag(strh, "strh");
    PutLE32(strh + 4, kStrhBytes);
    uint8_t* s = strh + 8;
    PutTag(s + 0, "vids");
    PutTag(s + 4, "DIB ");
    PutLE32(s + 20, 1);                                               // scale
    PutLE32(s + 24, format_.framesPerSecond);                         // rate
    PutLE32(s + 36, frameBytes_);                                     // suggested buffer
    PutLE32(s + 40, 0xFFFFFFFFu);                                     // default quality
    PutLE16(s + 52, static_cast<uint16_t>(std::min<int32_t>(format_.width, 0x7FFF)));
    PutLE16(s + 54, static_cast<uint16_t>(std::min<int32_t>(format_.height, 0x7FFF)));

    uint8_t* strf = h + kStrfChunk;
    PutTag(strf, "strf");
    PutLE32(strf + 4, kStrfBytes);
    uint8_t* b = strf + 8;
    PutLE32(b + 0, kStrfBytes);
    PutLE32(b + 4, static_cast<uint32_t>(format_.width));
    PutLE32(b + 8, static_cast<uint32_t>(format_.height));
    PutLE16(b + 12, 1);
    PutLE16(b + 14, format_.bitCount);
    PutLE32(b + 16, 0);                                               // uncompressed
    PutLE32(b + 20, frameBytes_);

    PutTag(h + kMoviList, "LIST");
    PutTag(h + kMoviList + 8, "movi");
    return Put(h, sizeof h);
}

AVIRESULT RiffAviWriter::Write(long start, long samples, const void* buffer, long bufferSize,
                               unsigned long flags, long* samplesWritten, long* bytesWritten) {
    if (samplesWritten) *samplesWritten = 0;
    if (bytesWritten) *bytesWritten = 0;
    if (!file_ || failed_) return AVIERR_FILEWRITE;
    // Uncompressed video holds one frame per chunk and cannot leave gaps.
    if (samples != 1 || start != FrameCount() || !buffer) return AVIERR_BADPARAM;
    if (bufferSize < 0 || static_cast<unsigned long>(bufferSize) != frameBytes_)
        return AVIERR_BADSIZE;
    const uint32_t size = frameBytes_;
    const uint32_t padded = size + (size & 1);
    const uint64_t after = layout::kMoviList + 8 + moviBytes_ + 8 + padded +
                           8 + uint64_t{16} * (index_.size() + 1);
    if (after > kMaxRiffBytes) return AVIERR_FILEWRITE;

    uint8_t head[8];
    PutTag(head, "00db");
    PutLE32(head + 4, size);
    const uint8_t pad = 0;
    if (!Put(head, 8) || !Put(buffer, size) || (size & 1 && !Put(&pad, 1)))
        return AVIERR_FILEWRITE;
    index_.push_back({(flags & AVIIF_KEYFRAME) ? static_cast<uint32_t>(AVIIF_KEYFRAME) : 0u,
                      static_cast<uint32_t>(moviBytes_), size});
    moviBytes_ += 8 + padded;
    if (samplesWritten) *samplesWritten = 1;
    if (bytesWritten) *bytesWritten = static_cast<long>(size);
    return AVIERR_OK;
}

bool RiffAviWriter::Close() {
    if (!file_) return !failed_;
    using namespace layout;
    std::vector<uint8_t> idx(8 + 16 * index_.size());
    PutTag(idx.data(), "idx1");
    PutLE32(idx.data() + 4, static_cast<uint32_t>(16 * index_.size()));
    for (size_t i = 0; i < index_.size(); ++i) {
        uint8_t* e = idx.data() + 8 + 16 * i;
        PutTag(e, "00db");
        PutLE32(e + 4, index_[i].flags);
        PutLE32(e + 8, index_[i].offset);
        PutLE32(e + 12, index_[i].size);
    }
    bool ok = Put(idx.data(), idx.size());
    if (ok) {
        const uint32_t frames = static_cast<uint32_t>(index_.size());
        const uint64_t riffEnd = kMoviList + 8 + moviBytes_ + idx.size();
        ok = PutU32At(4, static_cast<uint32_t>(riffEnd - 8)) &&
             PutU32At(kAvihChunk + 8 + 16, frames) &&
             PutU32At(kStrhChunk + 8 + 32, frames) &&
             PutU32At(kMoviList + 4, static_cast<uint32_t>(moviBytes_));
    }
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    if (!ok) failed_ = true;
    return ok;
}

}  // namespace quor::avi
