#pragma once
// Double-precision 3-vector of the kernel, the coordinate type of every world point.

class WqMatrix33D;

class WqVector3D {
public:
    double x = 0.0, y = 0.0, z = 0.0;

    WqVector3D() = default;
    WqVector3D(double ax, double ay, double az) : x(ax), y(ay), z(az) {}

    static const WqVector3D zero;

    void copy(const WqVector3D& v) { *this = v; }
    void copy(double ax, double ay, double az) { x = ax; y = ay; z = az; }
    void copy(const double* v) { x = v[0]; y = v[1]; z = v[2]; }
    void copy(const float* v) { x = v[0]; y = v[1]; z = v[2]; }

    WqVector3D Plus(const WqVector3D& v) const { return {x + v.x, y + v.y, z + v.z}; }
    WqVector3D Minus(const WqVector3D& v) const { return {x - v.x, y - v.y, z - v.z}; }
    WqVector3D Multi(double s) const { return {x * s, y * s, z * s}; }
    // Row vector times matrix: result[j] = sum_i v[i] * m[i][j].
    WqVector3D Multi(const WqMatrix33D& m) const;
    WqVector3D Cross(const WqVector3D& v) const
    {
        return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
    }
    double Dot(const WqVector3D& v) const { return x * v.x + y * v.y + z * v.z; }
    double Length2() const { return Dot(*this); }
    double Length() const;
    // False, and the vector unchanged, when it is too short to have a direction.
    bool Normarize();

    WqVector3D& operator+=(const WqVector3D& v) { x += v.x; y += v.y; z += v.z; return *this; }
    WqVector3D& operator-=(const WqVector3D& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    WqVector3D& operator*=(double s) { x *= s; y *= s; z *= s; return *this; }
    WqVector3D& operator/=(double s) { x /= s; y /= s; z /= s; return *this; }
    WqVector3D operator+(const WqVector3D& v) const { return Plus(v); }
    WqVector3D operator-(const WqVector3D& v) const { return Minus(v); }
    WqVector3D operator-() const { return {-x, -y, -z}; }
    WqVector3D operator*(double s) const { return Multi(s); }
    bool operator==(const WqVector3D& v) const { return x == v.x && y == v.y && z == v.z; }

    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

// Single-precision 3-vector of the kernel.
class WqVector3 {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;
    WqVector3() = default;
    WqVector3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
    explicit WqVector3(const WqVector3D& v)
        : x(static_cast<float>(v.x)), y(static_cast<float>(v.y)), z(static_cast<float>(v.z)) {}
    WqVector3D ToDouble() const { return {x, y, z}; }
};
