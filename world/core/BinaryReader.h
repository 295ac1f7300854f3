#pragma once
#include <cstddef>
#include <cstdint>

namespace quor {

// The one way this library reads binary files. The files were written on 32-bit little-endian
// Windows; every field is decoded from bytes at an explicit offset, never by overlaying a struct.
//
// Every read checks the bytes left. The first read that does not fit sets a sticky failure
// flag: from then on every read returns zero (or false, or null) and the position stays where
// the failure happened, so a loader may read a whole record and test Ok() once at the end.
// Counts taken from a file are checked against the bytes remaining (CheckCount) before anything
// is allocated for them.
class BinaryReader {
public:
    BinaryReader() = default;
    BinaryReader(const void* data, std::size_t size);

    const std::uint8_t* Data() const { return data_; }
    std::size_t Size() const { return size_; }
    std::size_t Offset() const { return offset_; }
    std::size_t Remaining() const { return size_ - offset_; }
    bool AtEnd() const { return offset_ >= size_; }
    bool Ok() const { return !failed_; }
    bool Failed() const { return failed_; }
    // Marks the read as failed (a value read was out of its range, for example).
    void Fail() { failed_ = true; }

    // Moves to an absolute offset; an offset past the end fails.
    bool Seek(std::size_t offset);
    bool Skip(std::size_t count);

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    std::uint64_t U64();
    std::int8_t I8() { return static_cast<std::int8_t>(U8()); }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    float F32();

    // Copies count raw bytes; on failure the output is zero-filled.
    bool Bytes(void* out, std::size_t count);
    // count little-endian floats / u16 / u32 into out; on failure the output is zero-filled.
    bool F32s(float* out, std::size_t count);
    bool U16s(std::uint16_t* out, std::size_t count);
    bool U32s(std::uint32_t* out, std::size_t count);
    // The next count bytes in place (valid while the image lives), or null on failure.
    const std::uint8_t* Span(std::size_t count);

    // True when count elements of elementSize bytes fit in what remains; otherwise fails the
    // read. Use it on every count taken from a file before allocating for it.
    bool CheckCount(std::uint64_t count, std::size_t elementSize);

    // Reads at an absolute offset without moving; out-of-range peeks answer zero and do not
    // set the failure flag (they answer questions such as "is there a magic word here?").
    bool Has(std::size_t offset, std::size_t count) const;
    std::uint8_t U8At(std::size_t offset) const;
    std::uint16_t U16At(std::size_t offset) const;
    std::uint32_t U32At(std::size_t offset) const;
    float F32At(std::size_t offset) const;

    // Decoders of little-endian bytes that the caller has already bounded.
    static std::uint16_t LoadU16(const std::uint8_t* p);
    static std::uint32_t LoadU32(const std::uint8_t* p);
    static std::uint64_t LoadU64(const std::uint8_t* p);
    static float LoadF32(const std::uint8_t* p);

private:
    // Null when the read does not fit (failure set), else the start of the bytes; advances.
    const std::uint8_t* Take(std::size_t count);

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t offset_ = 0;
    bool failed_ = false;
};

}  // namespace quor
