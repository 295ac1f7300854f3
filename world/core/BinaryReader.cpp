#include "world/core/BinaryReader.h"

#include <bit>
#include <cstring>

namespace quor {

namespace {
constexpr bool kHostLittle = std::endian::native == std::endian::little;

std::uint16_t Swap16(std::uint16_t v) { return static_cast<std::uint16_t>((v >> 8) | (v << 8)); }
std::uint32_t Swap32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
}  // namespace

BinaryReader::BinaryReader(const void* data, std::size_t size)
    : data_(static_cast<const std::uint8_t*>(data)), size_(data ? size : 0) {}

const std::uint8_t* BinaryReader::Take(std::size_t count) {
    if (failed_ || count > size_ - offset_) {
        failed_ = true;
        return nullptr;
    }
    const std::uint8_t* p = data_ + offset_;
    offset_ += count;
    return p;
}

bool BinaryReader::Seek(std::size_t offset) {
    if (failed_ || offset > size_) {
        failed_ = true;
        return false;
    }
    offset_ = offset;
    return true;
}

bool BinaryReader::Skip(std::size_t count) {
    Take(count);
    return !failed_;
}

std::uint16_t BinaryReader::LoadU16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return kHostLittle ? v : Swap16(v);
}

std::uint32_t BinaryReader::LoadU32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return kHostLittle ? v : Swap32(v);
}

std::uint64_t BinaryReader::LoadU64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(LoadU32(p)) | (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}

float BinaryReader::LoadF32(const std::uint8_t* p) { return std::bit_cast<float>(LoadU32(p)); }

std::uint8_t BinaryReader::U8() {
    const std::uint8_t* p = Take(1);
    return p ? *p : 0;
}

std::uint16_t BinaryReader::U16() {
    const std::uint8_t* p = Take(2);
    return p ? LoadU16(p) : 0;
}

std::uint32_t BinaryReader::U32() {
    const std::uint8_t* p = Take(4);
    return p ? LoadU32(p) : 0;
}

std::uint64_t BinaryReader::U64() {
    const std::uint8_t* p = Take(8);
    return p ? LoadU64(p) : 0;
}

float BinaryReader::F32() {
    const std::uint8_t* p = Take(4);
    return p ? LoadF32(p) : 0.0f;
}

bool BinaryReader::Bytes(void* out, std::size_t count) {
    if (count == 0) return !failed_;
    const std::uint8_t* p = Take(count);
    if (!p) {
        std::memset(out, 0, count);
        return false;
    }
    std::memcpy(out, p, count);
    return true;
}

const std::uint8_t* BinaryReader::Span(std::size_t count) { return Take(count); }

namespace {
// Reads count little-endian elements of T; a little-endian host copies them straight through.
template <typename T, T (*Load)(const std::uint8_t*)>
bool ReadElements(BinaryReader& reader, T* out, std::size_t count) {
    if (!reader.CheckCount(count, sizeof(T))) {
        if (count) std::memset(out, 0, count * sizeof(T));
        return false;
    }
    const std::uint8_t* p = reader.Span(count * sizeof(T));
    if (count == 0) return true;
    if constexpr (kHostLittle) {
        std::memcpy(out, p, count * sizeof(T));
    } else {
        for (std::size_t i = 0; i < count; ++i) out[i] = Load(p + sizeof(T) * i);
    }
    return true;
}
}  // namespace

bool BinaryReader::F32s(float* out, std::size_t count) {
    return ReadElements<float, &BinaryReader::LoadF32>(*this, out, count);
}

bool BinaryReader::U16s(std::uint16_t* out, std::size_t count) {
    return ReadElements<std::uint16_t, &BinaryReader::LoadU16>(*this, out, count);
}

bool BinaryReader::U32s(std::uint32_t* out, std::size_t count) {
    return ReadElements<std::uint32_t, &BinaryReader::LoadU32>(*this, out, count);
}

bool BinaryReader::CheckCount(std::uint64_t count, std::size_t elementSize) {
    if (failed_) return false;
    const std::uint64_t left = size_ - offset_;
    // Division keeps a huge count from overflowing the product.
    if (elementSize != 0 && count > left / elementSize) {
        failed_ = true;
        return false;
    }
    return true;
}

bool BinaryReader::Has(std::size_t offset, std::size_t count) const {
    return offset <= size_ && count <= size_ - offset;
}

std::uint8_t BinaryReader::U8At(std::size_t offset) const { return Has(offset, 1) ? data_[offset] : 0; }

std::uint16_t BinaryReader::U16At(std::size_t offset) const {
    return Has(offset, 2) ? LoadU16(data_ + offset) : 0;
}

std::uint32_t BinaryReader::U32At(std::size_t offset) const {
    return Has(offset, 4) ? LoadU32(data_ + offset) : 0;
}

float BinaryReader::F32At(std::size_t offset) const {
    return Has(offset, 4) ? LoadF32(data_ + offset) : 0.0f;
}

}  // namespace quor
