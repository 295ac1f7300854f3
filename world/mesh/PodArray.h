#pragma once
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace quor {

// An owned array of plain values that can be allocated without initialising them, for the
// big vertex arrays that a read overwrites whole anyway (zero-filling them first costs as much
// as the read itself). T must be trivially copyable.
template <class T>
class PodArray {
public:
    PodArray() = default;
    PodArray(PodArray&&) noexcept = default;
    PodArray& operator=(PodArray&&) noexcept = default;

    // count elements with unspecified values; false when the memory is not there.
    bool AllocateUninitialised(std::size_t count) {
        clear();
        if (count == 0) return true;
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) return false;
        T* p = static_cast<T*>(std::malloc(count * sizeof(T)));
        if (!p) return false;
        data_.reset(p);
        size_ = count;
        return true;
    }
    // count elements whose bytes are all zero; big blocks come straight from zeroed pages.
    bool AllocateZeroed(std::size_t count) {
        clear();
        if (count == 0) return true;
        T* p = static_cast<T*>(std::calloc(count, sizeof(T)));
        if (!p) return false;
        data_.reset(p);
        size_ = count;
        return true;
    }
    bool Assign(std::size_t count, const T& value) {
        if (!AllocateUninitialised(count)) return false;
        for (std::size_t i = 0; i < count; ++i) data_.get()[i] = value;
        return true;
    }
    void clear() {
        data_.reset();
        size_ = 0;
    }

    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data_.get()[i]; }
    const T& operator[](std::size_t i) const { return data_.get()[i]; }
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
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::unique_ptr<T, Free> data_;
    std::size_t size_ = 0;
};

}  // namespace quor
