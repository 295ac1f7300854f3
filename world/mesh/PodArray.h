#pragma once
#include <cstddef>
#include <vector>

#include "world/core/Memory.h"

namespace quor {

// An owned array of plain values that can be allocated without initialising them, for the
// big vertex arrays that a read overwrites whole anyway (zero-filling them first costs as much
// as the read itself). Big arrays come in large pages (LargeBlockAlloc). T must be trivially
// copyable.
template <class T>
class PodArray {
public:
    PodArray() = default;
    PodArray(PodArray&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    PodArray& operator=(PodArray&& other) noexcept {
        if (this != &other) {
            clear();
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }
    PodArray(const PodArray&) = delete;
    PodArray& operator=(const PodArray&) = delete;
    ~PodArray() { clear(); }

    // count elements with unspecified values; false when the memory is not there.
    bool AllocateUninitialised(std::size_t count) {
        clear();
        if (count == 0) return true;
        return Allocate(count, false);
    }
    // count elements whose bytes are all zero; big blocks come straight from zeroed pages.
    bool AllocateZeroed(std::size_t count) {
        clear();
        if (count == 0) return true;
        return Allocate(count, true);
    }
    bool Assign(std::size_t count, const T& value) {
        if (!AllocateUninitialised(count)) return false;
        for (std::size_t i = 0; i < count; ++i) data_[i] = value;
        return true;
    }
    void clear() {
        LargeBlockFree(data_, size_ * sizeof(T));
        data_ = nullptr;
        size_ = 0;
    }

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data(); }
    T* end() { return data() + size_; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size_; }

    friend bool operator==(const PodArray& a, const std::vector<T>& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!(a[i] == b[i])) return false;
        }
        return true;
    }

private:
    bool Allocate(std::size_t count, bool zeroed) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) return false;
        T* p = static_cast<T*>(LargeBlockAlloc(count * sizeof(T), zeroed));
        if (!p) return false;
        data_ = p;
        size_ = count;
        return true;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace quor
