#pragma once
// TEMPORARY: stand-ins for the core types that are being landed by other branches.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "world/core/Log.h"
#include "world/core/Matrix.h"
#include "world/core/Vector.h"

namespace quor {


struct Bounds {
    Vec3 centre;
    Vec3 half;
    float radius = 0;
    void MergeBox(const Bounds& o) {
        float mn[3], mx[3];
        const float* c = &centre.x; const float* h = &half.x;
        const float* oc = &o.centre.x; const float* oh = &o.half.x;
        for (int i = 0; i < 3; ++i) {
            mn[i] = std::fmin(c[i] - h[i], oc[i] - oh[i]);
            mx[i] = std::fmax(c[i] + h[i], oc[i] + oh[i]);
        }
        float* cw = &centre.x; float* hw = &half.x;
        for (int i = 0; i < 3; ++i) { cw[i] = (mn[i] + mx[i]) / 2; hw[i] = (mx[i] - mn[i]) / 2; }
    }
    void MergeSphere(const Bounds& o) {
        float dx = o.centre.x - centre.x, dy = o.centre.y - centre.y, dz = o.centre.z - centre.z;
        float d = std::sqrt(dx * dx + dy * dy + dz * dz) + o.radius;
        if (d > radius) radius = d;
    }
};


class KeyTimeTable {
public:
    bool Assign(const float* t, std::uint16_t n) {
        if (n == 0) return false;
        times_.assign(t, t + n);
        times_.push_back(2 * times_[n - 1]);
        return true;
    }
    bool AssignIntegers(const std::uint32_t* t, std::uint16_t n) {
        if (n == 0) return false;
        times_.clear();
        for (int i = 0; i < n; ++i) times_.push_back(float(t[i]));
        times_[0] = 0;
        times_.push_back(2 * times_[n - 1]);
        return true;
    }
    std::uint16_t Count() const { return times_.empty() ? 0 : std::uint16_t(times_.size() - 1); }
    const float* Times() const { return times_.data(); }
private:
    std::vector<float> times_;
};

class SharedObject {
public:
    virtual ~SharedObject() = default;
    const std::string& Name() const { return name_; }
    void SetName(const char* n) { name_ = n; }
    std::int32_t RefCount() const { return refCount_; }
    std::string name_;
    std::int32_t refCount_ = 0;
};


}  // namespace quor
