#include "platform/avifile/AviReader.h"

#include "platform/avifile/AviStream.h"

#include <cstdio>
#include <cstring>

namespace quor::avi {

namespace {

// Fixed-width little-endian reads at explicit offsets, each checked against the bytes held.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Size() const { return size_; }
    bool Has(size_t offset, size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    bool U32(size_t offset, uint32_t& v) const {
        if (!Has(offset, 4)) return false;
        const uint8_t* p = data_ + offset;
        v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
        return true;
    }
    bool U16(size_t offset, uint16_t& v) const {
        if (!Has(offset, 2)) return false;
        v = static_cast<uint16_t>(data_[offset] | data_[offset + 1] << 8);
        return true;
    }
    bool Tag(size_t offset, const char* tag) const {
        return Has(offset, 4) && std::memcmp(data_ + offset, tag, 4) == 0;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

struct Chunk {
    size_t id;      // offset of the identifier
    uint32_t size;  // of the body
    size_t body;    // offset of the body
    size_t next;    // offset of the following chunk (body padded to even)
};

// A chunk header at `at` whose body must end within `end`.
bool ReadChunk(const ByteReader& r, size_t at, size_t end, Chunk& c) {
    if (at > end || end - at < 8) return false;
    if (!r.U32(at + 4, c.size)) return false;
    c.id = at;
    c.body = at + 8;
    if (c.size > end - c.body) return false;
    c.next = c.body + c.size + (c.size & 1);
    if (c.next > end) c.next = end;  // a missing pad byte after the last chunk is tolerated
    return true;
}

bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

bool ParseStrl(const ByteReader& r, const Chunk& list, AviFile& out, bool& haveStrh,
               bool& haveStrf, std::string* error) {
    const size_t end = list.body + list.size;
    for (size_t at = list.body + 4; at < end;) {
        Chunk c;
        if (!ReadChunk(r, at, end, c)) return Fail(error, "truncated stream header list");
        if (r.Tag(c.id, "strh") && !haveStrh) {
            if (c.size < 56) return Fail(error, "stream header too short");
            if (!r.Tag(c.body, "vids")) return Fail(error, "first stream is not video");
            r.U32(c.body + 20, out.scale);
            r.U32(c.body + 24, out.rate);
            r.U32(c.body + 32, out.length);
            haveStrh = true;
        } else if (r.Tag(c.id, "strf") && !haveStrf) {
            if (c.size < 40) return Fail(error, "stream format too short");
            uint32_t biSize = 0, h = 0;
            r.U32(c.body, biSize);
            if (biSize < 40 || biSize > c.size) return Fail(error, "bad bitmap header size");
            r.U32(c.body + 4, out.width);
            r.U32(c.body + 8, h);
            out.height = static_cast<int32_t>(h);
            r.U16(c.body + 14, out.bitCount);
            r.U32(c.body + 16, out.compression);
            r.U32(c.body + 20, out.sizeImage);
            haveStrf = true;
        }
        at = c.next;
    }
    return true;
}

}  // namespace

std::optional<AviFile> ParseAvi(const uint8_t* data, size_t size, std::string* error) {
    if (!data && size) size = 0;
    const ByteReader r(data, size);
    if (!r.Tag(0, "RIFF") || !r.Tag(8, "AVI ")) {
        Fail(error, "not a RIFF AVI file");
        return std::nullopt;
    }
    Chunk riff;
    if (!ReadChunk(r, 0, size, riff) || riff.size < 4) {
        Fail(error, "RIFF size overruns the file");
        return std::nullopt;
    }
    const size_t riffEnd = riff.body + riff.size;

    AviFile out;
    bool haveAvih = false, haveStrh = false, haveStrf = false;
    bool haveMovi = false, haveIdx = false;
    Chunk movi{}, idx{};
    for (size_t at = riff.body + 4; at < riffEnd;) {
        Chunk c;
        if (!ReadChunk(r, at, riffEnd, c)) {
            Fail(error, "chunk overruns the RIFF");
            return std::nullopt;
        }
        if (r.Tag(c.id, "LIST")) {
            if (c.size < 4) {
                Fail(error, "list without a type");
                return std::nullopt;
            }
            if (r.Tag(c.body, "hdrl")) {
                const size_t end = c.body + c.size;
                for (size_t in = c.body + 4; in < end;) {
                    Chunk h;
                    if (!ReadChunk(r, in, end, h)) {
                        Fail(error, "truncated header list");
                        return std::nullopt;
                    }
                    if (r.Tag(h.id, "avih") && !haveAvih) {
                        if (h.size < 56) {
                            Fail(error, "main header too short");
                            return std::nullopt;
                        }
                        r.U32(h.body, out.microSecPerFrame);
                        r.U32(h.body + 16, out.totalFrames);
                        r.U32(h.body + 24, out.streams);
                        haveAvih = true;
                    } else if (r.Tag(h.id, "LIST") && h.size >= 4 && r.Tag(h.body, "strl") &&
                               !haveStrh) {
                        if (!ParseStrl(r, h, out, haveStrh, haveStrf, error))
                            return std::nullopt;
                    }
                    in = h.next;
                }
            } else if (r.Tag(c.body, "movi") && !haveMovi) {
                movi = c;
                haveMovi = true;
            }
        } else if (r.Tag(c.id, "idx1") && !haveIdx) {
            idx = c;
            haveIdx = true;
        }
        at = c.next;
    }
    if (!haveAvih) { Fail(error, "no main header"); return std::nullopt; }
    if (!haveStrh || !haveStrf) { Fail(error, "no video stream header"); return std::nullopt; }
    if (!haveMovi) { Fail(error, "no movi list"); return std::nullopt; }
    if (!haveIdx) { Fail(error, "no idx1 index"); return std::nullopt; }
    if (idx.size % 16 != 0) { Fail(error, "index size is not a multiple of 16"); return std::nullopt; }

    // Count the frame chunks of the movi list; every one must be listed by the index.
    const size_t moviEnd = movi.body + movi.size;
    size_t chunksInMovi = 0;
    for (size_t at = movi.body + 4; at < moviEnd;) {
        Chunk c;
        if (!ReadChunk(r, at, moviEnd, c)) {
            Fail(error, "frame chunk overruns the movi list");
            return std::nullopt;
        }
        if (!r.Tag(c.id, "JUNK")) ++chunksInMovi;
        at = c.next;
    }

    const size_t entries = idx.size / 16;
    if (entries != chunksInMovi) {
        Fail(error, "index and movi list disagree on the frame count");
        return std::nullopt;
    }
    out.frames.reserve(entries);
    const size_t base = movi.body;  // offsets count from the "movi" identifier
    for (size_t i = 0; i < entries; ++i) {
        const size_t e = idx.body + 16 * i;
        uint32_t flags = 0, offset = 0, length = 0;
        r.U32(e + 4, flags);
        r.U32(e + 8, offset);
        r.U32(e + 12, length);
        Chunk c;
        if (offset < 4 || !ReadChunk(r, base + offset, moviEnd, c)) {
            Fail(error, "index entry points outside the movi list");
            return std::nullopt;
        }
        if (std::memcmp(data + e, data + c.id, 4) != 0 || c.size != length) {
            Fail(error, "index entry does not match its frame chunk");
            return std::nullopt;
        }
        out.frames.push_back({flags, c.body, c.size});
    }
    if (out.totalFrames != entries || out.length != entries) {
        Fail(error, "header frame counts disagree with the index");
        return std::nullopt;
    }
    return out;
}

std::optional<AviFile> ParseAviFile(const std::string& path, std::string* error,
                                    size_t maxBytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        Fail(error, "cannot open the file");
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    uint8_t block[65536];
    size_t n = 0;
    bool tooBig = false;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) {
        if (bytes.size() + n > maxBytes) {
            tooBig = true;
            break;
        }
        bytes.insert(bytes.end(), block, block + n);
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (tooBig || readError) {
        Fail(error, tooBig ? "file too large" : "read error");
        return std::nullopt;
    }
    return ParseAvi(bytes.data(), bytes.size(), error);
}

}  // namespace quor::avi
