#pragma once
// Small value vectors of the engine: float vectors for geometry and colours,
// double vectors for the exact predicates, and the 8-bit and 16-bit colour
// quadruples. Everything is inline, plain and heap-free.
//
// Normalising follows one rule everywhere: the squares of the float components
// are summed in double and the vector is divided by the square root only when
// that sum exceeds 1e-20, so zero vectors stay zero.
//
// Indexing names each member by a choice, never by stepping a pointer past
// the first one: that step leaves the member, and a compiler may then take
// the read for a read of that member alone (clang's type-based alias
// analysis does, and drops the stores to the other members as dead).

#include <cmath>
#include <cstdint>

namespace qel {

constexpr double NormalizeEpsilon = 1e-20;

struct vec2 {
    float x = 0, y = 0;
    constexpr vec2() = default;
    constexpr vec2(float x_, float y_) : x(x_), y(y_) {}
    float& operator[](int i) { return i == 0 ? x : y; }
    float operator[](int i) const { return i == 0 ? x : y; }
    vec2& operator+=(vec2 b) { x += b.x; y += b.y; return *this; }
    vec2& operator-=(vec2 b) { x -= b.x; y -= b.y; return *this; }
    vec2& operator*=(float s) { x *= s; y *= s; return *this; }
    vec2& operator/=(float s) { x /= s; y /= s; return *this; }
};
inline constexpr vec2 operator+(vec2 a, vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline constexpr vec2 operator-(vec2 a, vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline constexpr vec2 operator-(vec2 a) { return {-a.x, -a.y}; }
inline constexpr vec2 operator*(vec2 a, float s) { return {a.x * s, a.y * s}; }
inline constexpr vec2 operator*(float s, vec2 a) { return {a.x * s, a.y * s}; }
inline constexpr vec2 operator*(vec2 a, vec2 b) { return {a.x * b.x, a.y * b.y}; }
inline constexpr vec2 operator/(vec2 a, float s) { return {a.x / s, a.y / s}; }
inline constexpr bool operator==(vec2 a, vec2 b) { return a.x == b.x && a.y == b.y; }
inline constexpr bool operator!=(vec2 a, vec2 b) { return !(a == b); }
inline double dot(vec2 a, vec2 b) { return double(a.x) * b.x + double(a.y) * b.y; }
inline double length(vec2 a) { return std::sqrt(dot(a, a)); }

struct vec3 {
    float x = 0, y = 0, z = 0;
    constexpr vec3() = default;
    constexpr vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    explicit constexpr vec3(float s) : x(s), y(s), z(s) {}
    float& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
    float* data() { return &x; }
    const float* data() const { return &x; }
    vec3& operator+=(const vec3& b) { x += b.x; y += b.y; z += b.z; return *this; }
    vec3& operator-=(const vec3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
    vec3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    vec3& operator/=(float s) { x /= s; y /= s; z /= s; return *this; }
};
static_assert(sizeof(vec3) == 3 * sizeof(float), "vec3 must stay a packed float triple");

inline constexpr vec3 operator+(const vec3& a, const vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline constexpr vec3 operator-(const vec3& a, const vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline constexpr vec3 operator-(const vec3& a) { return {-a.x, -a.y, -a.z}; }
inline constexpr vec3 operator*(const vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline constexpr vec3 operator*(float s, const vec3& a) { return {a.x * s, a.y * s, a.z * s}; }
inline constexpr vec3 operator*(const vec3& a, const vec3& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline constexpr vec3 operator/(const vec3& a, float s) { return {a.x / s, a.y / s, a.z / s}; }
inline constexpr bool operator==(const vec3& a, const vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline constexpr bool operator!=(const vec3& a, const vec3& b) { return !(a == b); }

// Dot product in double precision (the convention for lengths and angles).
inline double dot(const vec3& a, const vec3& b) {
    return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}
// Cross product formed in double and stored as float.
inline vec3 cross(const vec3& a, const vec3& b) {
    return {float(double(a.y) * b.z - double(a.z) * b.y), float(double(a.z) * b.x - double(a.x) * b.z),
            float(double(a.x) * b.y - double(a.y) * b.x)};
}
// Cross product in float, for hot loops that do not need the wider steps.
inline vec3 crossf(const vec3& a, const vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length2(const vec3& a) { return dot(a, a); }
inline double length(const vec3& a) { return std::sqrt(dot(a, a)); }
inline double distance(const vec3& a, const vec3& b) { return length(a - b); }

// The vector divided by its length when its squared length exceeds 1e-20;
// otherwise the vector itself.
inline vec3 normalize(const vec3& a) {
    const double l2 = dot(a, a);
    if (l2 <= NormalizeEpsilon) return a;
    const double l = std::sqrt(l2);
    return {float(a.x / l), float(a.y / l), float(a.z / l)};
}
// Near zero: every component's magnitude below 1e-20 (compared in float).
inline bool nearZero(const vec3& a) {
    const float e = 1e-20f;
    return std::fabs(a.x) < e && std::fabs(a.y) < e && std::fabs(a.z) < e;
}
// Exactly zero: every component compares equal to 0.
inline bool isZero(const vec3& a) { return a.x == 0.0f && a.y == 0.0f && a.z == 0.0f; }

struct vec4 {
    float x = 0, y = 0, z = 0, w = 0;
    constexpr vec4() = default;
    constexpr vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr vec4(const vec3& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}
    float& operator[](int i) { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
    float operator[](int i) const { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
    constexpr vec3 xyz() const { return {x, y, z}; }
};
inline constexpr vec4 operator+(const vec4& a, const vec4& b) { return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
inline constexpr vec4 operator-(const vec4& a, const vec4& b) { return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w}; }
inline constexpr vec4 operator*(const vec4& a, float s) { return {a.x * s, a.y * s, a.z * s, a.w * s}; }
inline constexpr bool operator==(const vec4& a, const vec4& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

struct dvec2 {
    double x = 0, y = 0;
    constexpr dvec2() = default;
    constexpr dvec2(double x_, double y_) : x(x_), y(y_) {}
    double& operator[](int i) { return i == 0 ? x : y; }
    double operator[](int i) const { return i == 0 ? x : y; }
};
inline constexpr dvec2 operator+(const dvec2& a, const dvec2& b) { return {a.x + b.x, a.y + b.y}; }
inline constexpr dvec2 operator-(const dvec2& a, const dvec2& b) { return {a.x - b.x, a.y - b.y}; }
inline constexpr dvec2 operator*(const dvec2& a, double s) { return {a.x * s, a.y * s}; }
inline constexpr bool operator==(const dvec2& a, const dvec2& b) { return a.x == b.x && a.y == b.y; }
inline constexpr double dot(const dvec2& a, const dvec2& b) { return a.x * b.x + a.y * b.y; }

struct dvec3 {
    double x = 0, y = 0, z = 0;
    constexpr dvec3() = default;
    constexpr dvec3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
    explicit constexpr dvec3(const vec3& v) : x(v.x), y(v.y), z(v.z) {}
    double& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    double operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
    explicit operator vec3() const { return {float(x), float(y), float(z)}; }
};
inline constexpr dvec3 operator+(const dvec3& a, const dvec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline constexpr dvec3 operator-(const dvec3& a, const dvec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline constexpr dvec3 operator*(const dvec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline constexpr bool operator==(const dvec3& a, const dvec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline constexpr double dot(const dvec3& a, const dvec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline constexpr dvec3 cross(const dvec3& a, const dvec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Four-byte colour; a shader receives each channel divided by 255.
struct bvec4 {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    constexpr bvec4() = default;
    constexpr bvec4(std::uint8_t r_, std::uint8_t g_, std::uint8_t b_, std::uint8_t a_) : r(r_), g(g_), b(b_), a(a_) {}
    std::uint8_t& operator[](int i) { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
    std::uint8_t operator[](int i) const { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
};
inline constexpr bool operator==(const bvec4& x, const bvec4& y) {
    return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
}
inline constexpr bool operator!=(const bvec4& x, const bvec4& y) { return !(x == y); }

// Four 16-bit channels, 0..65535 standing for 0..1 (material colours, lights).
struct wvec4 {
    std::uint16_t r = 0, g = 0, b = 0, a = 0;
    constexpr wvec4() = default;
    constexpr wvec4(std::uint16_t r_, std::uint16_t g_, std::uint16_t b_, std::uint16_t a_) : r(r_), g(g_), b(b_), a(a_) {}
    std::uint16_t& operator[](int i) { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
    std::uint16_t operator[](int i) const { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
    // Channels as floats in 0..1.
    vec4 toFloat() const { return {r / 65535.0f, g / 65535.0f, b / 65535.0f, a / 65535.0f}; }
    // Byte colour: each channel scaled to 0..255 with rounding.
    bvec4 toBytes() const {
        auto c = [](std::uint16_t v) { return std::uint8_t((unsigned(v) * 255u + 32767u) / 65535u); };
        return {c(r), c(g), c(b), c(a)};
    }
    // Byte colour: the high byte of each channel.
    bvec4 highBytes() const {
        return {std::uint8_t(r >> 8), std::uint8_t(g >> 8), std::uint8_t(b >> 8), std::uint8_t(a >> 8)};
    }
    static wvec4 fromBytes(const bvec4& c) {
        return {std::uint16_t(c.r * 257u), std::uint16_t(c.g * 257u), std::uint16_t(c.b * 257u), std::uint16_t(c.a * 257u)};
    }
};
inline constexpr bool operator==(const wvec4& x, const wvec4& y) {
    return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
}
inline constexpr bool operator!=(const wvec4& x, const wvec4& y) { return !(x == y); }

}  // namespace qel
