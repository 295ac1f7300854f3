#pragma once
#include <cstdint>
#include <memory>

namespace quor {

// Key times of key-framed data, searched from the last hit with wrap-around. Entry
// [count] is a sentinel of twice the last key time, so a time past the last key still
// falls into the last interval up to that bound.
class KeyTimeTable {
public:
    KeyTimeTable() = default;
    KeyTimeTable(const KeyTimeTable& other) { Copy(other); }
    KeyTimeTable& operator=(const KeyTimeTable& other) {
        if (this != &other) Copy(other);
        return *this;
    }

    void Copy(const KeyTimeTable& other);
    void Clear();
    // Counts come from files: a count of 0 (or no times) is refused and changes nothing.
    bool Assign(const float* times, std::uint16_t count);
    // As Assign, from whole milliseconds; key [0] is then forced to 0.
    bool AssignIntegers(const std::uint32_t* times, std::uint16_t count);
    void Scale(float factor);

    // The key interval [i, i + 1) holding t, searched forward (or backward) from start;
    // fraction receives the position inside it. 0 with fraction untouched when none holds t.
    std::uint16_t FindForward(float t, std::uint16_t start, float* fraction) const;
    std::uint16_t FindBackward(float t, std::uint16_t start, float* fraction) const;

    std::uint16_t Count() const { return m_count; }
    double Length() const { return m_length; }
    // count + 1 entries (the last is the sentinel); null when empty.
    const float* Times() const { return m_times.get(); }

private:
    bool Prepare(std::uint16_t count);
    void Finish();
    bool Holds(std::uint16_t i, float t, float* fraction) const;

    std::unique_ptr<float[]> m_times;
    std::uint16_t m_count = 0;
    std::uint16_t m_capacity = 0;
    double m_length = 0.0;
};

// out[i] = a[i] + (b[i] - a[i]) x f for four components (colour keys).
void Vector4Lerp(float out[4], const float a[4], const float b[4], float f);

}  // namespace quor
